#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test under ctest.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir="${SOLVANE_BUILD_DIR:-build}"
jobs="${SOLVANE_JOBS:-2}"

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVANE_TESTS=ON "$@"
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 600
