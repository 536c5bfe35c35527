#!/usr/bin/env bash
# Builds the release packages, through the presets of CMakePresets.json and
# CPack, with SHA256SUMS beside them:
#   shotrenum-<version>-windows-x64.zip     shotrenum.exe, shotrenum-preview.exe, README-ja.txt, LICENSE
#   shotrenum-<version>-linux-x86_64.tar.gz shotrenum-<version>-linux-x86_64/bin/shotrenum, man page, documents
#   shotrenum_<version>_amd64.deb           /usr/bin/shotrenum, its manual page, /usr/share/doc/shotrenum
# Two builds of one commit give the same bytes: every time inside the
# packages is the commit's time (SOURCE_DATE_EPOCH, unless already set) and
# entries stand in name order.
#
#   scripts/package.sh       builds in the presets' build/ and build-win/, packages into dist/
#   scripts/package.sh DIR   builds in DIR/build and DIR/build-win (tool only), packages into DIR/dist
#
# Needs what scripts/test.sh installs (MinGW-w64 for the .exe, dpkg-dev for
# the .deb's dependencies).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
umask 022
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || {
    echo "package.sh: outside a git checkout, set SOURCE_DATE_EPOCH (seconds since 1970) for the packages' times" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

if [ $# -gt 0 ]; then
  out=$(mkdir -p "$1" && cd "$1" && pwd)
  dist=$out/dist build_release=$out/build build_windows=$out/build-win
  configure_extra=(-DSHOTRENUM_TESTS=OFF)
else
  dist=$root/dist build_release=$root/build build_windows=$root/build-win
  configure_extra=()
fi

rm -rf "$dist"
for preset in release windows; do
  build=$build_release
  [ "$preset" = windows ] && build=$build_windows
  cmake --preset "$preset" -B "$build" "${configure_extra[@]}" >/dev/null
  cmake --build "$build" --target shotrenum
  (cd "$build" && cpack -B "$dist" >/dev/null)
done
rm -rf "$dist/_CPack_Packages"
python3 packaging/repack.py "$dist"/*.zip "$dist"/*.tar.gz
(cd "$dist" && sha256sum -- *.zip *.tar.gz *.deb >SHA256SUMS)
ls -l "$dist"
