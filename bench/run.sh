#!/usr/bin/env bash
# The performance benchmarks: builds the release preset, runs every
# benchmark against its baseline in the same run, prints a table and writes
# docs/performance.md.
#
#   bench/run.sh [--runs N] [--no-doc]
#
# --runs N   timed runs of each large benchmark (default 7; the start-up
#            benchmark runs 20 times as many, it is short)
# --no-doc   print the table only, leave docs/performance.md as it is
#
# Environment: BUILD_DIR (default build/release) is the release build folder;
# JOBS (default 2) the parallel build jobs.
#
# Takes a few minutes and about 250 MB of temporary disk space (removed at
# the end). Nothing here is part of the tests or of CI: timings depend on the
# machine and its load, so each figure is a ratio against a baseline timed in
# the same run, interleaved with it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build/release}
jobs=${JOBS:-2}

cd "$here"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset release -B "$build" > /dev/null
fi
cmake --build "$build" -j "$jobs" --target QKBLOQ QKLOTW QKLOTR PortalLib minimal_run minimal_download > /dev/null

command="bench/run.sh $*"
[ -z "${BUILD_DIR:-}" ] || command="BUILD_DIR=${BUILD_DIR#"$here"/} $command"
exec python3 "$here/bench/bench.py" --bin "$build/bin" --doc "$here/docs/performance.md" \
  --command "$command" "$@"
