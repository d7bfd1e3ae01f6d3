#!/usr/bin/env bash
# Installs what is needed, builds, and starts solvane-server with its embedded
# store under ./var/server (a demo user "demo" with password "demo123" is
# created on first start). The server runs in the foreground until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build_dir="${SOLVANE_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "${SOLVANE_JOBS:-2}" --target solvane-server

server="$build_dir/server/solvane-server"
data="var/server"
listen="${SOLVANE_LISTEN:-127.0.0.1:8090}"

if ! "$server" admin --data "$data" user list 2>/dev/null | grep -q '^demo	'; then
  "$server" admin --data "$data" user add demo --name 演示用户 --password demo123 --can-delete
fi

echo "starting solvane-server on $listen (data in $data); demo user: demo / demo123"
exec "$server" --data "$data" --listen "$listen"
