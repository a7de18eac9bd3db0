#!/usr/bin/env bash
# Builds the Debian package marrow-viewer: a Release tree of its own
# (build/package, no tests or benchmarks) with Debian's hardening flags
# from dpkg-buildflags, then cpack's Debian generator over the install
# rules. Prints the path of the .deb on its last line.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh" package
build="$root/build/package"

# Every hardening feature, immediate binding (bindnow) too.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake does not read CPPFLAGS, so the preprocessor's flags
# (-D_FORTIFY_SOURCE) go in with the compiler's.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZAZOZAV_BUILD_TESTS=OFF -DZAZOZAV_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"

rm -f "$build"/marrow-viewer_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/marrow-viewer_*.deb
