#!/usr/bin/env bash
# Runs the libFuzzer targets of the `fuzz` preset (build them first:
#   cmake --preset fuzz && cmake --build --preset fuzz --target qk_fuzz).
#
#   scripts/fuzz.sh --smoke            every target for QK_FUZZ_SMOKE seconds (30)
#   scripts/fuzz.sh [SECONDS] [NAME..] the named targets (default all) for
#                                      SECONDS each (default 600)
#
# Each target starts from its seed corpus (tests/fuzz/corpus/<name>) and
# adds what it finds new to <build>/fuzz/work/<name>/corpus, so the seeds in the tree only
# change when a finding is added by hand. A finding stops the run with status
# 1 and leaves the input as <build>/fuzz/work/<name>/crash-*; add it to the
# seed corpus and write a regression test for it.
# QK_FUZZ_BUILD names the build folder (default build/fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(realpath -m "${QK_FUZZ_BUILD:-build/fuzz}")
seconds=600
if [ "${1:-}" = "--smoke" ]; then
  seconds=${QK_FUZZ_SMOKE:-30}
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(params params_earlier upload_lines ingredients hex_address args)
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
for t in "${targets[@]}"; do
  exe="$build/fuzz/qk_fuzz_$t"
  seeds="$PWD/tests/fuzz/corpus/$t"
  if [ ! -x "$exe" ]; then
    echo "fuzz.sh: $exe is not built" >&2
    exit 2
  fi
  work="$build/fuzz/work/$t"
  mkdir -p "$work/corpus" "$work/earlier"
  # Findings of an earlier run are kept aside, so that this run counts its own.
  find "$work" -maxdepth 1 -regex '.*/\(crash\|leak\|timeout\|oom\)-.*' -exec mv {} "$work/earlier/" \;
  printf '\n==== %s (%s s)\n' "$t" "$seconds"
  # New inputs go to the work corpus (the first folder); the seeds are read.
  if (cd "$work" && "$exe" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -print_final_stats=1 corpus "$seeds" >log.txt 2>&1); then
    tail -n 12 "$work/log.txt"
  else
    tail -n 60 "$work/log.txt"
    status=1
  fi
  # Report the executions and whatever was found.
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log.txt" | grep -o '[0-9]*$' || echo '?')
  found=$(ls "$work" | grep -c '^\(crash\|leak\|timeout\|oom\)-' || true)
  echo "$t: $runs executions, $found findings"
  [ "$found" = 0 ] || status=1
done
exit $status
