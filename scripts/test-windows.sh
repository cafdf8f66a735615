#!/usr/bin/env bash
# The Windows build and its end-to-end tests under Wine.
#
# 1. Cross-builds the `windows` preset (32-bit console programs) and checks
#    that every PortalLib.dll exports its entry points by their plain names.
# 2. Builds the native end-to-end test runner (the dev preset's
#    qk_e2e_tests); it starts the Windows tools through Wine.
# 3. Runs the tests against the 32-bit build under Wine, with one persistent
#    wineserver for the whole run, in two shards side by side.
#
# Where this machine cannot run 32-bit programs at all (a kernel without
# 32-bit emulation), the same sources are also built as 64-bit Windows
# programs and the tests run against those under Wine, so that the Windows
# side of the platform layer is still exercised; the script says so loudly.
# QK_WINDOWS_REQUIRE_32=1 makes that case a failure instead.
#
# Environment: QK_JOBS (default 2), QK_WERROR, QK_WINDOWS_BUILD (default
# build/windows), QK_NATIVE_BUILD (default build/dev).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

jobs=${QK_JOBS:-2}
werror=${QK_WERROR:-OFF}
win=${QK_WINDOWS_BUILD:-build/windows}
native=${QK_NATIVE_BUILD:-build/dev}
case $win in /*) ;; *) win=$root/$win ;; esac
case $native in /*) ;; *) native=$root/$native ;; esac

step() { printf '\n==== %s\n' "$*"; }
now() { date +%s; }

step "32-bit Windows cross build ($win)"
cmake --preset windows -B "$win" -DQK_WERROR="$werror" >/dev/null
cmake --build "$win" -j "$jobs"

# The tools resolve every entry point with GetProcAddress by its plain name:
# the gateway must export them undecorated (no "_name@16" of __stdcall).
check_exports() {
  local dll=$1 objdump=$2 names
  names=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
  if [ -z "$names" ]; then echo "$dll: exports nothing" >&2; return 1; fi
  if grep -E '@|^_' <<<"$names" >&2; then
    echo "$dll: the names above are decorated" >&2
    return 1
  fi
  for n in setdebug opensocket closesockets lotr lotw DumpMax totik inimodem; do
    case $dll in */PortalLib_no_$n/*) continue ;; esac
    grep -qx "$n" <<<"$names" || { echo "$dll: does not export $n" >&2; return 1; }
  done
  echo "$dll: $(wc -l <<<"$names") plain exports"
}
for dll in "$win"/bin/PortalLib.dll "$win"/variants/*/PortalLib.dll; do
  check_exports "$dll" i686-w64-mingw32-objdump
done

step "native end-to-end test runner ($native)"
cmake --preset dev -B "$native" -DQK_WERROR="$werror" >/dev/null
cmake --build "$native" -j "$jobs" --target qk_e2e_tests

step "end-to-end tests under Wine"
export WINEDEBUG=-all
export WINEPREFIX=$win/wineprefix
# No prompt for the .NET and HTML engines when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

started_server=0
stop_wine() { [ "$started_server" = 1 ] && wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

t0=$(now)
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # persistent: one server for every tool run (2: already up)
started_server=1

# The first program run makes the prefix. /usr/bin/wine runs 32-bit programs
# (and picks the 32-bit loader whenever it is installed).
launcher=wine
tools=$win
if ! (cd "$WINEPREFIX" && wine "$win/bin/portalemu.exe" --help >/dev/null 2>&1); then
  if [ "${QK_WINDOWS_REQUIRE_32:-0}" = 1 ]; then
    echo "Wine cannot run the 32-bit programs on this machine" >&2
    exit 1
  fi
  printf '\n!!!! Wine cannot run 32-bit programs here (%s).\n' \
    "$(dmesg 2>/dev/null | grep -m1 -o '32-bit emulation disabled' || echo 'no 32-bit support')"
  printf '!!!! Testing a 64-bit Windows build of the same sources instead.\n\n'
  launcher=/usr/lib/wine/wine64
  export WINELOADER=$launcher
  tools=$win-x64
  cmake -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQK_WERROR="$werror" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
  cmake --build "$tools" -j "$jobs"
  (cd "$WINEPREFIX" && "$launcher" "$tools/bin/portalemu.exe" --help >/dev/null)
fi
echo "wine ready in $(( $(now) - t0 )) s"

scratch=$tools/e2e-scratch
rm -rf "$scratch"
t1=$(now)
pids=()
shards=$jobs
for ((i = 0; i < shards; i++)); do
  QK_E2E_LAUNCHER=$launcher QK_E2E_BIN_DIR="$tools/bin" QK_E2E_EXE_SUFFIX=.exe \
  QK_E2E_SCRATCH="$scratch" GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i \
    "$native/bin/qk_e2e_tests" >"$tools/e2e-wine-$i.log" 2>&1 &
  pids+=($!)
done
status=0
for ((i = 0; i < shards; i++)); do
  wait "${pids[$i]}" || status=1
done
# The failures in full, then each shard's summary (skipped tests by name).
for ((i = 0; i < shards; i++)); do
  log=$tools/e2e-wine-$i.log
  awk '/^\[ RUN      \]/{buf=""} {buf=buf $0 "\n"} /^\[  FAILED  \] .*\(/{printf "%s", buf}' "$log"
  sed -n '/^\[==========\] .* ran\./,$p' "$log"
done
skipped=$(cat "$tools"/e2e-wine-*.log | grep -c '^\[  SKIPPED \] .* ms)$' || true)
echo "end-to-end tests under Wine ($(basename "$tools")): $(( $(now) - t1 )) s, $skipped skipped, status $status"
exit $status
