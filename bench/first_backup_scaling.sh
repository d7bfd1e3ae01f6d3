#!/usr/bin/env bash
# How a first backup scales with the number of small files: for each count,
# solvane-cli --fast backs up the first COUNT files of the "small" data set
# (make_datasets.sh) into a fresh solvane-server. Prints per count the wall
# seconds, the server's CPU seconds (user + system, from /proc; less
# disturbed by other load on the machine than the wall time) and files per
# second. Linear cost shows as a constant files/s.
#
#   first_backup_scaling.sh --build DIR [--work DIR] [--counts 5000,20000]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib-server.sh"
trap StopStarted EXIT
build="" work=/tmp/solvane-scaling counts=5000,20000
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --counts) counts=$2; shift 2 ;;
    *) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done
server="$build/server/solvane-server" cli="$build/src/cli/solvane-cli"
{ [ -x "$server" ] && [ -x "$cli" ]; } || { echo "no solvane-server/solvane-cli in '$build'" >&2; exit 1; }
mkdir -p "$work"

# Server CPU seconds of a process, from fields 14 and 15 of /proc/PID/stat.
CpuSeconds() {
  local f
  read -r -a f < <(sed 's/.*) //' "/proc/$1/stat")
  echo "scale=1; (${f[11]} + ${f[12]}) / $(getconf CLK_TCK)" | bc
}

printf '%8s %10s %14s %8s\n' files wall_s server_cpu_s files/s
for count in ${counts//,/ }; do
  data="$work/data/small-$count"
  scale=$(echo "if ($count > 20000) $count / 20000 else 1" | bc -l)
  "$here/make_datasets.sh" generate "$data" small "$scale" "$count" >/dev/null
  run="$work/run-$count"
  rm -rf "$run" && mkdir -p "$run"
  AddBenchUser "$server" "$run/server" bench >"$run/admin.log" 2>&1 ||
    { cat "$run/admin.log" >&2; exit 1; }
  StartServer "$server" "$run/server" "$run/server.log"
  start=$(date +%s.%N)
  env XDG_CONFIG_HOME="$run/config" SOLVANE_PASSWORD="$benchPassword" \
    "$cli" --server "$serverAddr" --user bench --fast backup "$data" >"$run/cli.log" 2>&1 ||
    echo "backup of $count files failed: $run/cli.log" >&2
  wall=$(echo "$(date +%s.%N) - $start" | bc)
  cpu=$(CpuSeconds "$serverPid")
  StopPid "$serverPid"
  printf '%8d %10.1f %14.1f %8.0f\n' "$count" "$wall" "$cpu" "$(echo "$count / $wall" | bc -l)"
done
