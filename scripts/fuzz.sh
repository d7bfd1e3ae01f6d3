#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build_dir="${SOLVANE_FUZZ_BUILD_DIR:-build-fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DSOLVANE_FUZZ=ON -DSOLVANE_TESTS=OFF \
  -DSOLVANE_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "${SOLVANE_JOBS:-2}" --target FuzzWireParsers FuzzDispatch
for target in FuzzWireParsers FuzzDispatch; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzzing $target for ${seconds}s"
  "$build_dir/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    "$corpus" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
  # libFuzzer exits non-zero on a crash; the pipeline above hides that, so check.
  if ls crash-* leak-* timeout-* >/dev/null 2>&1; then
    echo "fuzz target $target found a failing input" >&2
    exit 1
  fi
done
