#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test under ctest.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

# The client's layers point one way (fails fast, before the build).
bash scripts/check-layers.sh

build_dir="${SOLVANE_BUILD_DIR:-build}"
jobs="${SOLVANE_JOBS:-2}"

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOLVANE_TESTS=ON "$@"
cmake --build "$build_dir" -j "$jobs"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" --timeout 600

# The two Debian packages build and hold what an installation needs
# (SOLVANE_CHECK_PACKAGES=0 skips).
if [ "${SOLVANE_CHECK_PACKAGES:-1}" != 0 ]; then
  SOLVANE_JOBS="$jobs" bash packaging/check-packages.sh "$build_dir"
fi

# The programs without the desktop client: nothing outside src/ui may need Qt
# Widgets (SOLVANE_CHECK_NOGUI=0 skips).
if [ "${SOLVANE_CHECK_NOGUI:-1}" != 0 ]; then
  cmake -S . -B "${build_dir}-nogui" -DCMAKE_BUILD_TYPE=Release -DSOLVANE_GUI=OFF -DSOLVANE_TESTS=OFF
  cmake --build "${build_dir}-nogui" -j "$jobs" --target solvane-cli solvane-server
fi

# The parsers and the request dispatch under libFuzzer, for a bounded time
# (SOLVANE_FUZZ_SECONDS per target; 0 skips).
fuzz_seconds="${SOLVANE_FUZZ_SECONDS:-30}"
if [ "$fuzz_seconds" -gt 0 ]; then
  SOLVANE_FUZZ_BUILD_DIR="${build_dir}-fuzz" bash scripts/fuzz.sh "$fuzz_seconds"
fi
