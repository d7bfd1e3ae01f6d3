# solvane-server for the bench scripts: on 127.0.0.1 with an ephemeral port
# and a data directory of the caller's. Sourced, not run:
#
#   AddBenchUser SERVER DATA USER [SPACE_MB]
#       adds USER (name USER, password bench-pw, default 10000000 MB)
#   StartServer SERVER DATA LOG [OPTIONS...]
#       starts it, waits for its "listening on" line and sets serverPid,
#       serverAddr (127.0.0.1:PORT) and serverPort; returns 1 with the log's
#       tail on stderr when it did not come up within 10 s
#   TrackPid PID      StopStarted ends PID too (e.g. a peer's daemon)
#   StopPid PID       ends one process started here
#   StopStarted       ends every process started here; run it on exit:
#                     trap StopStarted EXIT

benchPassword=bench-pw
startedPids=()
serverPid="" serverAddr="" serverPort=""

AddBenchUser() {
  "$1" admin --data "$2" user add "$3" --name "$3" --password "$benchPassword" \
    --space "${4:-10000000}"
}

TrackPid() { startedPids+=("$1"); }

StartServer() {
  local server=$1 data=$2 log=$3
  shift 3
  "$server" --data "$data" --listen 127.0.0.1:0 "$@" >"$log" 2>&1 &
  serverPid=$!
  TrackPid "$serverPid"
  serverAddr=""
  for _ in $(seq 100); do
    serverAddr=$(sed -n 's/^listening on //p' "$log" | head -n 1)
    [ -n "$serverAddr" ] && break
    kill -0 "$serverPid" 2>/dev/null || break
    sleep 0.1
  done
  serverPort=${serverAddr##*:}
  if [ -z "$serverAddr" ]; then
    echo "solvane-server did not start ($log):" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
}

StopPid() {
  local pid kept=()
  kill "$1" 2>/dev/null && wait "$1" 2>/dev/null || true
  for pid in "${startedPids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  startedPids=("${kept[@]}")
}

StopStarted() {
  local pid
  for pid in "${startedPids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  startedPids=()
}
