#!/usr/bin/env bash
# Builds the tool, makes a demo folder of out-of-order screenshots and runs the
# tool in it. Pass a folder to use instead of a new temporary one: it must not
# exist yet or be empty. A folder that holds anything is refused and left as
# it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -gt 0 ]; then
  demo=$1
  if [ -e "$demo" ] || [ -L "$demo" ]; then
    if ! [ -d "$demo" ] || ! [ -r "$demo" ] || [ -n "$(ls -A "$demo")" ]; then
      echo "demo.sh: $demo is not an empty folder; nothing was changed." >&2
      echo "Give a folder that does not exist yet or is empty, or none for a new temporary one." >&2
      exit 1
    fi
  fi
fi

# What the build needs; installed here when this runs as root on Debian.
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "demo.sh needs ${missing[*]}. On Debian or Ubuntu, install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi

cmake -S "$root" -B "$root/build-demo" -DSHOTRENUM_TESTS=OFF >/dev/null
cmake --build "$root/build-demo" --target shotrenum >/dev/null

demo=${demo:-$(mktemp -d /tmp/shotrenum-demo.XXXXXX)}
mkdir -p "$demo"
cd "$demo"
# Five captures whose numbers do not follow the order they were taken in,
# one gap and one lower-case name.
touch -d '2024-03-01 10:00:00.125' G0000007.pcx
touch -d '2024-03-01 10:05:00.500' G0000002.pcx
touch -d '2024-03-01 10:10:00.999' g0000003.pcx
touch -d '2024-03-01 10:15:00' G0000000.pcx
touch -d '2024-03-01 10:20:00' G0000011.pcx
listing() { ls -l --time-style=+'%Y-%m-%d %H:%M:%S.%N' "$demo"; }
echo "demo folder: $demo"
listing
echo
"$root/build-demo/shotrenum"
echo
listing
echo
echo "result log:"
iconv -f CP932 -t UTF-8 "$demo"/VeltraskoLog_*.csv 2>/dev/null || cat "$demo"/VeltraskoLog_*.csv
