#!/usr/bin/env bash
# Builds everything and runs every test: the debug build, the same tests
# under AddressSanitizer + UndefinedBehaviorSanitizer, a short run of every
# fuzz target, and the 32-bit Windows cross build.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${QK_JOBS:-$(nproc)}
werror=${QK_WERROR:-OFF}
[ "${CI:-}" = "true" ] && werror=ON

bash scripts/install-deps.sh

step() { printf '\n==== %s\n' "$*"; }

step "debug build and tests"
cmake --preset dev -DQK_WERROR="$werror" >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

step "sanitizer build (ASan + UBSan) and tests"
cmake --preset sanitize -DQK_WERROR="$werror" >/dev/null
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --preset sanitize -j "$jobs"

step "fuzz targets (libFuzzer, clang): seed corpora replayed, then a short run of each"
cmake --preset fuzz -DQK_WERROR="$werror" >/dev/null
cmake --build --preset fuzz --target qk_fuzz -j "$jobs"
ctest --test-dir build/fuzz -R '^fuzz_corpus_' --output-on-failure
bash scripts/fuzz.sh --smoke

step "32-bit Windows cross build"
cmake --preset windows -DQK_WERROR="$werror" >/dev/null
cmake --build --preset windows -j "$jobs"

step "end-to-end tests of the Windows build under Wine"
QK_JOBS="$jobs" QK_WERROR="$werror" bash scripts/test-windows.sh

step "packages: Windows .zip and Linux .tar.gz (tools and emulator components)"
(cd build/windows && cpack >/dev/null)
(cd build/dev && cpack >/dev/null)
for p in build/windows/packages/qktools-*-win32-tools.zip build/windows/packages/qktools-*-win32-emulator.zip \
         build/dev/packages/qktools-*-Linux-tools.tar.gz build/dev/packages/qktools-*-Linux-emulator.tar.gz; do
  [ -s "$p" ] || { echo "package missing: $p"; exit 1; }
done
cmake -E tar tf build/windows/packages/qktools-*-win32-tools.zip | grep -x 'bin/QKLOTR.exe' >/dev/null
cmake -E tar tf build/windows/packages/qktools-*-win32-emulator.zip | grep -x 'bin/PortalLib.dll' >/dev/null
tar -tzf build/dev/packages/qktools-*-Linux-tools.tar.gz | grep -x 'bin/QKLOTR' >/dev/null
tar -tzf build/dev/packages/qktools-*-Linux-emulator.tar.gz | grep -x 'bin/libPortalLib.so' >/dev/null
ls build/windows/packages/*.zip build/dev/packages/*.tar.gz
