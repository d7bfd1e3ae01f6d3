#!/usr/bin/env bash
# Throughput of encrypted against plain connections: solvane-cli against
# solvane-server on loopback, a first backup of a few large files and their
# full restore, once with TLS (the default) and once with --plain, in the same
# run and alternating, each mode as a user of its own so every backup is a
# first one. Restores are checked byte for byte. Prints a table with the
# TLS/plain ratio of each step (the goal: at most 1.3).
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
source "$here/lib-server.sh"

work=/tmp/solvane-tls-bench
build="$repo/build"
files=4
sizeMiB=256
rounds=2
profile=--fast

usage() {
  cat >&2 <<USAGE
usage: $0 [--work DIR] [--build DIR] [--files N] [--size-mib M] [--rounds R] [--standard]
  --work DIR     data, server store and restores (default /tmp/solvane-tls-bench)
  --build DIR    build folder holding solvane-server and solvane-cli (default <repo>/build)
  --files N      number of large files (default 4)
  --size-mib M   size of each file in MiB (default 256)
  --rounds R     plain/TLS pairs to run (default 2); the best of each is compared
  --standard     the standard pacing profile instead of the fast one
USAGE
  exit 2
}

while [ $# -gt 0 ]; do
  case "$1" in
    --work) work=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --files) files=$2; shift 2 ;;
    --size-mib) sizeMiB=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --standard) profile=; shift ;;
    -h | --help) usage ;;
    *) echo "unknown option: $1" >&2; usage ;;
  esac
done

Fail() { echo "error: $*" >&2; exit 1; }
server=$(find "$build" -name solvane-server -type f -perm -u+x | head -1)
cli=$(find "$build" -name solvane-cli -type f -perm -u+x | head -1)
[ -x "$server" ] && [ -x "$cli" ] || Fail "build solvane-server and solvane-cli in $build first"

mkdir -p "$work" || Fail "cannot create $work"
work=$(cd "$work" && pwd)
case "$work/" in "$repo"/*) Fail "the work folder must lie outside the repository" ;; esac
data="$work/data"
store="$work/store"
config="$work/config"
results="$work/results.tsv"
rm -rf "$store" "$config" "$work"/restore-* "$results"
mkdir -p "$data" "$config"

# Deterministic incompressible files, made once and kept between runs.
for i in $(seq 1 "$files"); do
  f="$data/large-$i.bin"
  if [ "$(stat -c %s "$f" 2>/dev/null)" != "$((sizeMiB << 20))" ]; then
    openssl enc -aes-128-ctr -pass "pass:solvane-bench-$i" -nosalt -pbkdf2 \
      < <(head -c "$((sizeMiB << 20))" /dev/zero) > "$f" 2>/dev/null || Fail "cannot write $f"
  fi
done
bytes=$(( files * (sizeMiB << 20) ))

trap StopStarted EXIT
StartServer "$server" "$store" "$work/server.log" || Fail "the server did not start"
port=$serverPort

export XDG_CONFIG_HOME="$config" SOLVANE_PASSWORD=bench-pw
Now() { date +%s.%N; }

# Step MODE ROUND: a first backup and a full restore as a fresh user.
Step() {
  local mode=$1 round=$2 user="bench-$1-$2" flags=()
  [ "$mode" = plain ] && flags+=(--plain)
  [ -n "$profile" ] && flags+=("$profile")
  AddBenchUser "$server" "$store" "$user" >/dev/null || Fail "cannot add $user"
  local common=(--server "127.0.0.1:$port" --user "$user" "${flags[@]}")
  local t0 t1 t2 restore="$work/restore-$mode-$round"
  t0=$(Now)
  "$cli" "${common[@]}" backup "$data" > /dev/null 2> "$work/backup-$mode-$round.log" ||
    Fail "backup ($mode) failed, see $work/backup-$mode-$round.log"
  t1=$(Now)
  mkdir -p "$restore"
  "$cli" "${common[@]}" restore --to "$restore" --flat "$data" > /dev/null \
    2> "$work/restore-$mode-$round.log" || Fail "restore ($mode) failed, see $work/restore-$mode-$round.log"
  t2=$(Now)
  for f in "$data"/*.bin; do
    cmp -s "$f" "$restore/$(basename "$f")" || Fail "restored $(basename "$f") differs ($mode)"
  done
  rm -rf "$restore"
  printf '%s\t%s\tbackup\t%s\n%s\t%s\trestore\t%s\n' "$mode" "$round" "$(echo "$t1 - $t0" | bc)" \
    "$mode" "$round" "$(echo "$t2 - $t1" | bc)" >> "$results"
}

for round in $(seq 1 "$rounds"); do
  # Alternate which mode goes first so neither always meets a warm cache.
  if [ $((round % 2)) -eq 1 ]; then order="plain tls"; else order="tls plain"; fi
  for mode in $order; do Step "$mode" "$round"; done
done

python3 - "$results" "$bytes" "$files" "$sizeMiB" <<'PY'
import sys
path, total, files, size = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
rows = [line.split("\t") for line in open(path).read().splitlines()]
best = {}
for mode, rnd, step, secs in rows:
    best[(mode, step)] = min(float(secs), best.get((mode, step), float("inf")))
print(f"{files} files of {size} MiB ({total / 1e6:.0f} MB), best of {len(rows) // 4} round(s)")
print("| step | plain s | plain MB/s | TLS s | TLS MB/s | TLS / plain |")
print("|---|---|---|---|---|---|")
for step in ("backup", "restore"):
    p, t = best[("plain", step)], best[("tls", step)]
    print(f"| first {step} | {p:.2f} | {total / 1e6 / p:.0f} | {t:.2f} | {total / 1e6 / t:.0f} | {t / p:.2f} |")
print("all rounds:", "; ".join(f"{m} {s} r{r} {float(x):.2f}s" for m, r, s, x in rows))
PY
