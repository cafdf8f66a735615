#!/usr/bin/env bash
# Uploads a file of 1,000,000 lines (80 bytes each, all addressed to section
# 0 and within the range) with QKLOTW through the emulator, with the journal
# off and the emulator accepting every record without storing it, and times
# it against `wc -l` on the same file. Prints the median of several runs of
# each and their ratio.
#
#   bench/upload_bench.sh [bin-folder] [runs] [lines]
#
# bin-folder defaults to build/release/bin (cmake --preset release &&
# cmake --build build/release --target QKLOTW PortalLib).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$here/build/release/bin}" && pwd)
runs=${2:-7}
lines=${3:-1000000}

for need in "$bin/QKLOTW" "$bin/libPortalLib.so"; do
  [ -e "$need" ] || { echo "missing $need: build QKLOTW and PortalLib first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf 'IP_DESTI=127.0.0.1\r\nPORT_DESTI=2003\r\nPORT_LOCAL=2003\r\nREINTENTS=4\r\nTIMEOUT=2\r\nDISPLAY=0\r\nDEBUG=0\r\nINGREDIENTS=10\r\n\r\n[TABLE]\r\nNUM_ENTRIES=1\r\nSEC1=0 TERM1=0 MASTER1=1 IPASIG1=127.0.0.10\r\n' > PARGAT.INI

# "S 00 nnnnnnn " header, text up to 78 characters, CR LF: 80 bytes a line.
awk -v n="$lines" 'BEGIN {
  pad = "ARTICLE-TEXT-0123456789-ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789-abcdefghijklmnopq";
  for (i = 0; i < n; i++) { h = sprintf("S 00 %07d ", i); printf "%s%s\r\n", h, substr(pad, 1, 78 - length(h)) }
}' > QKLOTW.ASC
[ "$(wc -c < QKLOTW.ASC)" -eq $((lines * 80)) ] || { echo "generated file has the wrong size" >&2; exit 1; }

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

time_tool() {
  rm -rf portallib-state ordenes.err
  local t0 t1
  t0=$(now)
  PORTALLIB_JOURNAL=0 PORTALLIB_ACCEPT_ALL=1 "$bin/QKLOTW" S 0 0 $((lines - 1)) < /dev/null > /dev/null
  t1=$(now)
  if [ -s ordenes.err ]; then echo "QKLOTW logged:" >&2; cat ordenes.err >&2; exit 1; fi
  echo $(( (t1 - t0) / 1000 ))
}

time_wc() {
  local t0 t1
  t0=$(now)
  wc -l QKLOTW.ASC > /dev/null
  t1=$(now)
  echo $(( (t1 - t0) / 1000 ))
}

# Warm the page cache and check that every line is sent.
rm -rf portallib-state
PORTALLIB_JOURNAL=0 PORTALLIB_FAULTS="lotw#$lines=8" "$bin/QKLOTW" S 0 0 $((lines - 1)) < /dev/null > /dev/null
if ! grep -q 'Error: 08' ordenes.err; then
  echo "QKLOTW did not send all $lines lines" >&2
  exit 1
fi

tool_us=$(for _ in $(seq "$runs"); do time_tool; done | median)
wc_us=$(for _ in $(seq "$runs"); do time_wc; done | median)

echo "lines:        $lines (80 bytes each)"
echo "runs:         $runs (median)"
echo "QKLOTW:       $((tool_us / 1000)).$(printf '%03d' $((tool_us % 1000))) ms"
echo "wc -l:        $((wc_us / 1000)).$(printf '%03d' $((wc_us % 1000))) ms"
awk -v a="$tool_us" -v b="$wc_us" 'BEGIN { printf "ratio:        %.2f x wc -l\n", a / b }'
