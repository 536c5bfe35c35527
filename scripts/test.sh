#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: once with
# warnings as errors, once more under AddressSanitizer + UndefinedBehaviorSanitizer,
# and once as the Windows .exe (cross-built with MinGW-w64, run under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ libgtest-dev python3 tzdata
  g++-mingw-w64-x86-64-posix googletest wine64)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

jobs=$(nproc)
build() {  # build DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DSHOTRENUM_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== native build"
build build
ctest --test-dir build --output-on-failure

echo "== native build under AddressSanitizer + UndefinedBehaviorSanitizer"
build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHOTRENUM_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure

echo "== Windows build (MinGW-w64, static), tests under Wine"
build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
ctest --test-dir build-win --output-on-failure
