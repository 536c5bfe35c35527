#!/usr/bin/env bash
# Installs what is missing (as root; anyone else is shown the apt-get
# command), then builds and runs every test: once with
# warnings as errors, once more under AddressSanitizer + UndefinedBehaviorSanitizer,
# once as the Windows .exe (cross-built with MinGW-w64, run under Wine), and
# finally builds the release packages (scripts/package.sh) and checks them
# (tests/package_test.py: lintian, the manual page, SHA256SUMS, and two more
# package builds that must give the same bytes).
# Each build is a preset of CMakePresets.json. Prints each stage's time and
# the total.
set -euo pipefail
cd "$(dirname "$0")/.."

now_ms() { echo $(($(date +%s%N) / 1000000)); }
since() {  # since START_MS: the time since then, as "12.3 s"
  local ms=$(($(now_ms) - $1))
  printf '%d.%d s' $((ms / 1000)) $((ms % 1000 / 100))
}
started=$(now_ms)
summary=()
stage() {  # stage NAME COMMAND...: runs the command and reports how long it took
  local name=$1 start
  shift
  echo "== $name"
  start=$(now_ms)
  "$@"
  summary+=("$name: $(since "$start")")
  echo "-- $name: $(since "$start")"
}

install_missing() {
  local packages=(cmake ninja-build g++ libgtest-dev python3 tzdata
    g++-mingw-w64-x86-64-posix googletest wine64 dpkg-dev lintian man-db
    dosfstools fusefat bindfs e2fsprogs btrfs-progs)
  local missing=() package
  for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  if [ "$(id -u)" -eq 0 ]; then
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "test.sh needs ${missing[*]}. On Debian or Ubuntu, install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

jobs=$(nproc)
build_and_test() {  # build_and_test PRESET
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1"
}

stage "packages to install" install_missing
stage "native build" build_and_test release
stage "native build under AddressSanitizer + UndefinedBehaviorSanitizer" build_and_test sanitizers
stage "Windows build (MinGW-w64, static), tests under Wine" build_and_test windows
stage "release packages" sh -c 'scripts/package.sh && python3 tests/package_test.py -v'

echo "== times"
printf '%s\n' "${summary[@]}"
echo "total $(since "$started")"
