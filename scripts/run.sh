#!/usr/bin/env bash
# The system's main job on this machine: installs what is needed, builds,
# starts solvane-server with its embedded store under ./var/server (creating
# the demo user "demo" / "demo123" on first start), then backs up a sample
# folder with solvane-cli, restores it elsewhere and checks that the copies
# are identical. With a display, the desktop client then opens signed in to
# the server. With SOLVANE_KEEP_SERVER=1 the server keeps running
# afterwards (Ctrl-C stops it).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/install-deps.sh

build_dir="${SOLVANE_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "${SOLVANE_JOBS:-2}" --target solvane-server solvane-cli

case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac
server="$build_dir/server/solvane-server"
cli="$build_dir/src/cli/solvane-cli"
var="$root/var"
data="$var/server"
mkdir -p "$var"

if ! "$server" admin --data "$data" user list 2>/dev/null | grep -q '^demo	'; then
  "$server" admin --data "$data" user add demo --name 演示用户 --password demo123 --can-delete
fi

"$server" --data "$data" --listen 127.0.0.1:0 >"$var/server.log" 2>&1 &
server_pid=$!
trap 'kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$var/server.log" 2>/dev/null && break
  sleep 0.1
done
listen=$(sed -n 's/^listening on //p' "$var/server.log" | head -n 1)
[ -n "$listen" ] || { echo "the server did not start; see $var/server.log" >&2; exit 1; }
echo "solvane-server listening on $listen (data in $data)"

# A sample folder: office-like files of several sizes, one nested folder.
sample="$var/sample"
if [ ! -d "$sample" ]; then
  mkdir -p "$sample/报告/2026" "$sample/photos"
  for i in $(seq 1 20); do printf '会议纪要 %d\n%s\n' "$i" "$(date)" >"$sample/报告/2026/纪要-$i.txt"; done
  head -c 3000000 /dev/urandom >"$sample/photos/scan.bin"
  head -c 700000 /dev/urandom >"$sample/budget.xls"
fi

# The client keeps its settings like the desktop client does; here under var/.
export XDG_CONFIG_HOME="$var/client-config"
export SOLVANE_PASSWORD=demo123

echo "== backup of $sample"
"$cli" --server "$listen" --user demo backup "$sample"
echo "== the server store"
"$cli" ls "$sample"
restored="$var/restored"
rm -rf "$restored"
echo "== restore into $restored"
"$cli" restore --to "$restored" "$sample"
if diff -r "$sample" "$restored$sample" >/dev/null; then
  echo "the restored copy in $restored$sample is identical to $sample"
else
  echo "the restored copy differs from the original" >&2
  exit 1
fi

# With a desktop (and not in CI) the desktop client opens signed in to this
# server: the CLI saved server and user; remembering the user makes the
# client's automatic login use them.
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  cmake --build "$build_dir" -j "${SOLVANE_JOBS:-2}" --target solvane
  bash scripts/remember-user.sh "$XDG_CONFIG_HOME/Kestrune/Solvane.ini"
  echo "== the desktop client, signed in as demo (\"退出系统\" ends it)"
  "$build_dir/src/ui/solvane" || true
fi

if [ "${SOLVANE_KEEP_SERVER:-0}" = 1 ]; then
  echo "server keeps running on $listen; Ctrl-C stops it"
  wait $server_pid
fi
