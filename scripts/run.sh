#!/usr/bin/env bash
# Builds the viewer when needed and opens it on the named trace file, or on
# the bundled sample trace when none is named.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$root/build/run" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZAZOZAV_BUILD_BENCH=OFF -DZAZOZAV_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/run" -j "$(nproc)" --target zazozav zazozav-cli
if [ $# -eq 0 ]; then
  set -- "$root/samples/hr_two_statements.trc"
fi
exec "$root/build/run/gui/zazozav" "$@"
