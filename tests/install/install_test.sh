#!/usr/bin/env bash
# Installs the build into fresh folders and runs the README demo there:
# the full install (tools + emulator) must do the lot round trip with the
# installed emulator; the tools-only install must have no PortalLib, so a
# tool run there logs that the library cannot be loaded.
#   install_test.sh <build folder> <scratch folder>
set -euo pipefail
build=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"

fail() { echo "FAIL: $*" >&2; exit 1; }

# ---- full install: both components --------------------------------------------
full="$scratch/full"
cmake --install "$build" --prefix "$full" >/dev/null
bin="$full/bin"
for f in QKLOTR QKLOTW QKTOTIK QKPLDW QKINIMODEM QKPASS qkrun portalemu libPortalLib.so; do
  [ -e "$bin/$f" ] || fail "$f is not installed in bin/"
done
[ "$(find "$bin" -maxdepth 1 -name 'QK*' -type f | wc -l)" -eq 64 ] || fail "not 64 tools in bin/"
for f in tools.md qkrun.md emulator.md; do
  [ -f "$full/share/doc/qktools/$f" ] || fail "share/doc/qktools/$f is missing"
done

work="$scratch/work"
mkdir -p "$work" && cd "$work"
"$bin/portalemu" seed-demo >/dev/null
[ -f PARGAT.INI ] || fail "seed-demo wrote no PARGAT.INI"
"$bin/QKLOTR" S 1 0 4 >/dev/null
[ -s QKLOTR.ASC ] || fail "QKLOTR.ASC is empty"
sed -e 's/^S 01 /S 02 /' -e 's/BANANAS/BANANAS CANARY/' QKLOTR.ASC > SECTION2.ASC
grep -q 'BANANAS CANARY' SECTION2.ASC || fail "the demo lots changed: no BANANAS record"
"$bin/QKLOTW" S 2 0 4 SECTION2.ASC >/dev/null
"$bin/qkrun" QKLOTR S 2 0 4 CHECK.ASC >/dev/null 2>qkrun.err || fail "qkrun reported a failure: $(cat qkrun.err)"
cmp SECTION2.ASC CHECK.ASC || fail "round trip through section 2 changed the bytes"
[ ! -s ordenes.err ] || fail "the error log is not empty: $(cat ordenes.err)"
# The calls went to the installed emulator, in this folder's state.
"$bin/portalemu" journal | grep '^lotw 83 2 ' >/dev/null || fail "no lotw call in the installed emulator's journal"

# ---- the reference entry: printed, and nothing else done ------------------------
quiet="$scratch/describe"
mkdir -p "$quiet" && cd "$quiet"
QK_DESCRIBE=1 "$bin/QKLOTR" S 1 0 4 > entry.md
head -n 1 entry.md | grep -qx '## QKLOTR' || fail "QK_DESCRIBE=1 printed no entry"
[ "$(ls -A)" = "entry.md" ] || fail "QK_DESCRIBE=1 touched the folder: $(ls -A)"

# ---- tools only: no emulator, no library ---------------------------------------
tools="$scratch/tools-only"
cmake --install "$build" --prefix "$tools" --component tools >/dev/null
[ -x "$tools/bin/QKLOTR" ] && [ -x "$tools/bin/qkrun" ] || fail "tools component lacks QKLOTR or qkrun"
[ ! -e "$tools/bin/libPortalLib.so" ] && [ ! -e "$tools/bin/portalemu" ] || fail "tools component holds the emulator"
bare="$scratch/bare"
mkdir -p "$bare" && cd "$bare"
status=0
"$tools/bin/qkrun" QKLOTR S 1 0 4 >/dev/null 2>qkrun.err || status=$?
[ "$status" -eq 1 ] || fail "qkrun status $status without a gateway library (expected 1)"
grep -q 'Error: 43|Unable load PORTALLIB.DLL' ordenes.err || fail "no 43 logged without a library: $(cat ordenes.err)"
echo "install: full and tools-only installs behave"
