#!/usr/bin/env bash
# Uploads and downloads a 1 GiB file through a real solvane-server on
# loopback, compares SHA-256 and reports the server's peak RSS (VmHWM).
#   bench/upload_1g.sh [BUILD_DIR] [SIZE_BYTES]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
size=${2:-1073741824}

cmake -S "$here" -B "$build" -DSOLVANE_BENCH=ON -DSOLVANE_GUI=OFF -DSOLVANE_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target solvane-server bench_transfer_large >/dev/null

server="$build/server/solvane-server"
data=$(mktemp -d)
out="$data.out"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  rm -rf "$data" "$out"
}
trap cleanup EXIT

"$server" admin --data "$data" user add bench --name bench --password bench-pw --space 4096 >/dev/null 2>&1
"$server" --data "$data" --listen 127.0.0.1:0 >"$out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q '^listening on' "$out" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$out" | head -1)
[ -n "$port" ] || { echo "server did not start"; cat "$out"; exit 1; }

echo "server pid $pid on port $port, data $data"
"$build/bench/bench_transfer_large" --port "$port" --pid "$pid" --user bench \
  --password bench-pw --size "$size"
