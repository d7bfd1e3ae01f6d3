#!/usr/bin/env bash
# Uploads and downloads a 1 GiB file through a real solvane-server on
# loopback, compares SHA-256 and reports the server's peak RSS (VmHWM).
#   bench/upload_1g.sh [BUILD_DIR] [SIZE_BYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
size=${2:-1073741824}
source "$here/bench/lib-server.sh"

cmake -S "$here" -B "$build" -DSOLVANE_BENCH=ON -DSOLVANE_GUI=OFF -DSOLVANE_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target solvane-server bench_transfer_large >/dev/null

server="$build/server/solvane-server"
data=$(mktemp -d)
cleanup() {
  StopStarted
  rm -rf "$data" "$data.out"
}
trap cleanup EXIT

AddBenchUser "$server" "$data" bench 4096 >/dev/null 2>&1
StartServer "$server" "$data" "$data.out"

echo "server pid $serverPid on port $serverPort, data $data"
"$build/bench/bench_transfer_large" --port "$serverPort" --pid "$serverPid" --user bench \
  --password "$benchPassword" --size "$size"
