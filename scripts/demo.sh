#!/usr/bin/env bash
# A first run against the scale emulator: seed a demo network, download the
# lots of section 1, edit them, upload them to section 2, download them again
# from there and compare, byte for byte.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
bin="$root/build/release/bin"

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo" && cd "$demo"
show() { printf '\n$ %s\n' "$*"; "$@"; }

show "$bin/portalemu" seed-demo
echo; echo "--- PARGAT.INI"; cat PARGAT.INI

show "$bin/QKLOTR" S 1 0 4
echo; echo "--- QKLOTR.ASC (downloaded from section 1)"; cat -A QKLOTR.ASC

# Edit: address the records to section 2 and change one of them.
sed -e 's/^S 01 /S 02 /' -e 's/BANANAS/BANANAS CANARY/' QKLOTR.ASC > SECTION2.ASC
echo; echo "--- SECTION2.ASC (edited)"; cat -A SECTION2.ASC

show "$bin/QKLOTW" S 2 0 4 SECTION2.ASC
show "$bin/QKLOTR" S 2 0 4 CHECK.ASC
echo
if cmp SECTION2.ASC CHECK.ASC; then
  echo "round trip: CHECK.ASC downloaded from section 2 equals SECTION2.ASC, byte for byte"
else
  echo "round trip FAILED"; exit 1
fi

echo; echo "--- ordenes.err (empty: nothing went wrong)"; cat -A ordenes.err
show "$bin/QKLOTR" T 9 0 0 MISSING.ASC
echo; echo "--- ordenes.err after asking a terminal that is not in the table"; cat ordenes.err | iconv -f WINDOWS-1252 -t UTF-8

echo; echo "--- the emulator's call journal"
"$bin/portalemu" journal
