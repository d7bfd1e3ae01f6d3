#!/usr/bin/env bash
# Many small files uploaded at once over several connections to a real
# solvane-server on loopback: the files the server stores per second.
#   bench/upload_many_small.sh [--build DIR] [--data DIR] [--no-build] [bench_upload_small options]
# e.g. bench/upload_many_small.sh --connections 8 --files 2000 --size 4096
# --data puts the server's data directory on a chosen file system (default:
# a fresh folder under $TMPDIR).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/lib-server.sh"
build=$here/build-bench
dataParent=""
doBuild=1
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --data) dataParent=$2; shift 2 ;;
    --no-build) doBuild=0; shift ;;
    *) args+=("$1"); shift ;;
  esac
done

if [ "$doBuild" = 1 ]; then
  cmake -S "$here" -B "$build" -DSOLVANE_BENCH=ON -DSOLVANE_GUI=OFF -DSOLVANE_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target solvane-server bench_upload_small >/dev/null
fi

server="$build/server/solvane-server"
if [ -n "$dataParent" ]; then
  mkdir -p "$dataParent"
  data=$(mktemp -d "$dataParent/solvane-small.XXXXXX")
else
  data=$(mktemp -d)
fi
cleanup() {
  StopStarted
  rm -rf "$data" "$data.out"
}
trap cleanup EXIT

AddBenchUser "$server" "$data" bench 4096 >/dev/null 2>&1
StartServer "$server" "$data" "$data.out"

"$build/bench/bench_upload_small" --port "$serverPort" --user bench --password "$benchPassword" \
  "${args[@]}"
