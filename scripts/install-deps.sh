#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# Usage: install-deps.sh run|test|package
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libqscintilla2-qt6-dev libgl-dev)
if [ "${1:-test}" = test ]; then
  # Tests, sanitizers, fuzzing (clang with its runtime) and benchmarks.
  packages+=(libgtest-dev libbenchmark-dev clang libclang-rt-dev)
elif [ "${1:-}" = package ]; then
  # cpack's Debian generator: dpkg-shlibdeps computes Depends and needs
  # file to find the programs; lintian checks the result.
  packages+=(dpkg-dev file lintian)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "error: packages ${missing[*]} are missing and neither root nor sudo is available" >&2
  exit 1
fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
