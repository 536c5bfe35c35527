#!/usr/bin/env bash
# Builds the release packages into dist/, through the presets of
# CMakePresets.json and CPack:
#   shotrenum-<version>-windows-x64.zip     shotrenum.exe, README-ja.txt, LICENSE
#   shotrenum-<version>-linux-x86_64.tar.gz bin/shotrenum and the documents
#   shotrenum_<version>_amd64.deb           /usr/bin/shotrenum, /usr/share/doc/shotrenum
# Needs what scripts/test.sh installs (MinGW-w64 for the .exe, dpkg-dev for
# the .deb's dependencies).
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf dist
for preset in release windows; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target shotrenum
  cpack --preset "$preset" >/dev/null
done
rm -rf dist/_CPack_Packages
ls -l dist
