#!/bin/sh
# The Wine prefix the Windows tests run in, made afresh for each ctest run:
#   wine_prefix.sh create WINE_LOADER   |   wine_prefix.sh remove WINE_LOADER
# WINEPREFIX names it. The server is started here, persistent and detached from
# ctest's output: a server that a test's own process started would inherit that
# process's pipes and hold them open until it exits, 3 s after its last client,
# and every run of the tool would wait for that.
set -eu
loader=$2
server=$(dirname "$loader")/wineserver
case $1 in
  create)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$server" -p </dev/null >/dev/null 2>&1
    "$loader" wineboot -i </dev/null >/dev/null 2>&1
    ;;
  remove)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
esac
