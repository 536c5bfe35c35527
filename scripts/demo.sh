#!/usr/bin/env bash
# Builds the tool, makes a demo folder of out-of-order screenshots and runs the
# tool in it. Pass a folder to use instead of a new temporary one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build-demo" -DSHOTRENUM_TESTS=OFF >/dev/null
cmake --build "$root/build-demo" --target shotrenum >/dev/null

demo=${1:-$(mktemp -d /tmp/shotrenum-demo.XXXXXX)}
mkdir -p "$demo"
cd "$demo"
# Five captures whose numbers do not follow the order they were taken in,
# one gap and one lower-case name.
touch -d '2024-03-01 10:00:00.125' G0000007.pcx
touch -d '2024-03-01 10:05:00.500' G0000002.pcx
touch -d '2024-03-01 10:10:00.999' g0000003.pcx
touch -d '2024-03-01 10:15:00' G0000000.pcx
touch -d '2024-03-01 10:20:00' G0000011.pcx
echo "demo folder: $demo"
ls -l --time-style=+%H:%M:%S.%N "$demo"
echo
"$root/build-demo/shotrenum"
echo
ls -l --time-style=+%H:%M:%S.%N "$demo"
echo
echo "result log:"
iconv -f CP932 -t UTF-8 "$demo"/VeltraskoLog_*.csv 2>/dev/null || cat "$demo"/VeltraskoLog_*.csv
