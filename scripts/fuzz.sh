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
artifacts="$build_dir/artifacts"
mkdir -p "$artifacts"
for target in FuzzWireParsers FuzzDispatch; do
  corpus="$build_dir/corpus/$target"
  log="$build_dir/$target.log"
  mkdir -p "$corpus"
  echo "fuzzing $target for ${seconds}s"
  set +e
  "$build_dir/tests/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1
  rc=$?
  set -e
  grep -E 'stat::number_of_executed_units' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz target $target failed (exit $rc); inputs in $artifacts" >&2
    exit 1
  fi
done
