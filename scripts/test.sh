#!/usr/bin/env bash
# Builds and runs every test: the core and GUI tests (GUI offscreen), the
# core tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for a bounded time on its seed corpus.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" test

jobs=$(nproc)
fuzz_seconds=${ZAZOZAV_FUZZ_SECONDS:-20}
export QT_QPA_PLATFORM=offscreen
stages=0

echo "== Build and test (RelWithDebInfo)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest --output-on-failure -j "$jobs")
stages=$((stages + 1))

echo "== Core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZAZOZAV_SANITIZE=ON \
  -DZAZOZAV_BUILD_GUI=OFF -DZAZOZAV_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs" --target core_tests zazozav-cli
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 build/sanitize/core_tests --gtest_brief=1
stages=$((stages + 1))

echo "== Fuzz targets (${fuzz_seconds} s each)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAZOZAV_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs"
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
    "$work" "fuzz/corpus/$name" 2>&1 | tail -n 1
  rm -rf "$work"
  stages=$((stages + 1))
done

echo "all: $stages passed, 0 failed"
