#!/usr/bin/env bash
# Client benchmark: solvane-cli against solvane-server on loopback, in both
# pacing profiles, side by side with rsync's daemon, restic and borg on the
# same deterministic data sets. Steps per data set and tool: first backup, an
# unchanged second run, a run after 1% of the files changed, and a full
# restore into an empty folder (checked byte for byte with diff -r).
# Prints a table and writes it to WORK/results.md. See bench/README.md.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
source "$here/lib-server.sh"

work=/tmp/solvane-bench
scale=1
build="$repo/build-bench"
doBuild=1
sets=small,large,mixed,office
officeClients=4
officeFiles=5000
profiles=standard,fast
peers=rsync,restic,borg
standardFiles=1000
keep=0
reportOnly=0
commandLine="$0 $*"

usage() {
  cat >&2 <<EOF
usage: $0 [--work DIR] [--scale F] [--build DIR] [--no-build]
          [--sets small,large,mixed,office] [--profiles standard,fast]
          [--peers rsync,restic,borg,rsync-local] [--standard-files N] [--keep] [--report-only]
  --work DIR          data sets, repositories and results (default /tmp/solvane-bench)
  --scale F           scales the data sets (small: file count, large: file size,
                      mixed: file count); default 1
  --build DIR         build folder of solvane-server and solvane-cli (default <repo>/build-bench)
  --no-build          use the programs already in the build folder
  --peers             rsync: rsync's daemon on 127.0.0.1 (rsync -a to and from
                      rsync://127.0.0.1:PORT/bench/); rsync-local: a local
                      rsync -a copy (not run unless named); restic, borg: local
                      repositories. A peer that is not installed is skipped
                      (bash bench/install-peers.sh installs them all)
  --sets              office: CLIENTS solvane-cli processes (fast profile) back up
                      FILES small files each into one server at once (first backup,
                      then an unchanged run); the row gives the server's files/s
  --office C,F        CLIENTS and FILES of the office set (default 4,5000)
  --standard-files N  the standard profile (about 0.1 s per file) runs only on the
                      first N files of a larger set; default 1000
  --keep              keep repositories, copies and restores after each data set
  --report-only       print the table of the last run in the work folder again
EOF
  exit 2
}

while [ $# -gt 0 ]; do
  case "$1" in
    --work) work=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --no-build) doBuild=0; shift ;;
    --sets) sets=$2; shift 2 ;;
    --profiles) profiles=$2; shift 2 ;;
    --peers) peers=$2; shift 2 ;;
    --standard-files) standardFiles=$2; shift 2 ;;
    --office) officeClients=${2%,*}; officeFiles=${2#*,}; shift 2 ;;
    --keep) keep=1; shift ;;
    --report-only) reportOnly=1; shift ;;
    -h | --help) usage ;;
    *) echo "unknown option: $1" >&2; usage ;;
  esac
done

Fail() { echo "error: $*" >&2; exit 1; }
# A peer's tool in the table (rsync is its daemon), its command and the
# Debian package that brings it.
PeerTool() { case "$1" in rsync) echo rsync-daemon ;; *) echo "$1" ;; esac; }
PeerCommand() { case "$1" in rsync-*) echo rsync ;; *) echo "$1" ;; esac; }
PeerPackage() { case "$1" in rsync-*) echo rsync ;; borg) echo borgbackup ;; *) echo "$1" ;; esac; }
Has() { [[ ",$1," == *",$2,"* ]]; }
Load1() { cut -d' ' -f1 /proc/loadavg; }

mkdir -p "$work" || Fail "cannot create $work"
work=$(cd "$work" && pwd)
case "$work/" in "$repo"/*) Fail "the work folder must lie outside the repository" ;; esac
[ -x /usr/bin/time ] || Fail "/usr/bin/time is missing (apt-get install -y time, or bash bench/install-peers.sh)"

logs="$work/logs"
results="$work/results.tsv"
meta="$work/meta.txt"

# Renders WORK/results.tsv as a markdown table: printed and written to
# WORK/results.md.
Report() {
  { [ -s "$results" ] && [ -s "$meta" ] && [ -s "$meta.variants" ]; } || Fail "no results in $work"
  python3 - "$results" "$meta" "$work/results.md" <<'PY'
import csv, sys

resultsPath, metaPath, markdownPath = sys.argv[1:4]
rows = list(csv.DictReader(open(resultsPath), delimiter="\t"))
meta = open(metaPath).read().splitlines()
variants = [line.split("\t") for line in open(metaPath + ".variants").read().splitlines()]
peers = [p for p in ("rsync-daemon", "rsync-local", "restic", "borg") if any(r["tool"] == p for r in rows)]
labels = {"rsync-daemon": "rsync daemon", "rsync-local": "rsync local"}


def Label(tool):
    return labels.get(tool, tool)


seconds = {(r["variant"], r["step"], r["tool"]): float(r["seconds"]) for r in rows if r["rc"] == "0"}


def Rate(perSecond):
    return f"{perSecond:.0f}" if perSecond >= 10 else f"{perSecond:.1f}"


def Mib(kib):
    return f"{int(kib) / 1024:.1f}" if kib and kib != "0" else "-"


def Ratio(row, peer):
    if not row["tool"].startswith("solvane"):
        return ""
    ours = seconds.get((row["variant"], row["step"], row["tool"]))
    theirs = seconds.get((row["variant"], row["step"], peer))
    if ours is None or theirs is None:
        return "n/a"
    return f"{ours / theirs:.2f}" if theirs > 0 else "n/a"


def BestRatio(row):
    if not row["tool"].startswith("solvane"):
        return ""
    ours = seconds.get((row["variant"], row["step"], row["tool"]))
    theirs = [seconds[(row["variant"], row["step"], p)] for p in peers
              if (row["variant"], row["step"], p) in seconds]
    if ours is None or not theirs or min(theirs) <= 0:
        return "n/a"
    return f"{ours / min(theirs):.2f}"


header = ["data set", "step", "tool", "s", "MB/s", "files/s", "client peak MiB", "server peak MiB"]
header += [f"÷{Label(p)}" for p in peers] + ["÷best", "load", "note"]
lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
for r in rows:
    secs = float(r["seconds"])
    failed = r["rc"] != "0"
    cells = [
        r["variant"], r["step"], Label(r["tool"]), f"{secs:.2f}" + (" FAILED" if failed else ""),
        f"{int(r['bytes']) / 1e6 / secs:.1f}" if secs > 0 else "-",
        Rate(int(r["files"]) / secs) if secs > 0 else "-",
        Mib(r["clientKiB"]), Mib(r["serverKiB"]),
    ]
    cells += [Ratio(r, p) for p in peers] + [BestRatio(r), r["load1"], r["note"] + (f" (exit {r['rc']})" if failed else "")]
    lines.append("| " + " | ".join(cells) + " |")

out = ["# Client benchmark", ""]
out += [f"- {line}" for line in meta]
out += ["", "Data sets:", ""]
out += [f"- {v[0]}: {v[1]} files, {int(v[2]) / 1e6:.1f} MB (load {v[3]} when it started)" for v in variants]
out += [
    "",
    "s = wall seconds; MB/s and files/s = the whole data set divided by s; "
    "÷peer = solvane's time divided by the peer's on the same data set and step "
    "(below 1: solvane faster); ÷best = solvane's time divided by the fastest peer's; load = 1-minute load average when the step started. "
    "rsync daemon = rsync -a to and from rsync's daemon on 127.0.0.1 (client peak MiB is the "
    "rsync client's; the daemon's side is not measured); rsync local = rsync -a between two local folders. "
    "A data set named SET-firstN holds the first N files of SET: the standard pacing "
    "profile (about 0.1 s per file and step) runs there instead of on the whole set. "
    "The office set is several solvane-cli processes (fast profile) backing up their own "
    "small files into one server at once: s is until the last one ended, files/s the "
    "server's as a whole, client peak MiB the largest client's.",
    "",
] + lines
text = "\n".join(out) + "\n"
open(markdownPath, "w").write(text)
print()
print(text)
PY
  echo "written to $work/results.md (logs in $logs)"
}

if [ "$reportOnly" = 1 ]; then
  Report
  exit 0
fi

# ---------------------------------------------------------------- programs --
if [ "$doBuild" = 1 ]; then
  echo "building solvane-server and solvane-cli in $build"
  if ! { cmake -S "$repo" -B "$build" -DSOLVANE_BENCH=ON -DCMAKE_BUILD_TYPE=Release >"$work/build.log" 2>&1 &&
    cmake --build "$build" -j2 --target solvane-server solvane-cli >>"$work/build.log" 2>&1; }; then
    tail -20 "$work/build.log" >&2
    Fail "the build failed (log: $work/build.log)"
  fi
fi
server="$build/server/solvane-server"
cli="$build/src/cli/solvane-cli"
{ [ -x "$server" ] && [ -x "$cli" ]; } || Fail "solvane-server or solvane-cli missing in $build"

tools=()
Has "$profiles" fast && tools+=(solvane-fast)
Has "$profiles" standard && tools+=(solvane-standard)
skipped=()
for peer in ${peers//,/ }; do
  case "$peer" in
    rsync | rsync-local | restic | borg) ;;
    *) Fail "unknown peer: $peer (rsync, rsync-local, restic, borg)" ;;
  esac
  tool=$(PeerTool "$peer")
  if command -v "$(PeerCommand "$tool")" >/dev/null; then
    tools+=("$tool")
  else
    install="apt-get install -y $(PeerPackage "$tool"), or bash bench/install-peers.sh for all peers"
    skipped+=("$tool (not installed: $install)")
    echo "note: $tool skipped: $(PeerCommand "$tool") is not installed ($install)" >&2
  fi
done

# ----------------------------------------------------------------- results --
rm -rf "$logs"
mkdir -p "$logs" "$work/data" "$work/run"
printf 'variant\tfiles\tbytes\tstep\ttool\tseconds\trc\tclientKiB\tserverKiB\tload1\tnote\n' >"$results"

gSecs=0 gRc=0 gRss=0
# Runs a command under /usr/bin/time; sets gSecs (wall), gRc and gRss (KiB).
Measure() {
  local log=$1 timeFile="$1.time" t0 t1
  shift
  t0=$(date +%s%N)
  /usr/bin/time -v -o "$timeFile" "$@" >"$log" 2>&1
  gRc=$?
  t1=$(date +%s%N)
  gSecs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
  gRss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$timeFile")
  gRss=${gRss:-0}
}

Record() { # variant files bytes step tool serverKiB load note
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "$gSecs" "$gRc" \
    "$gRss" "$6" "$7" "$8" >>"$results"
  printf '  %-9s %-17s %9ss  rc=%s  %s\n' "$4" "$5" "$gSecs" "$gRc" "$8"
}

# ------------------------------------------------------------ solvane side --
# The servers and rsync daemons of a data set are ended (StopStarted) when
# it is done, and all of them when the script ends.
declare -A solvanePid solvaneAddr
trap StopStarted EXIT

StartSolvane() { # tool runDir
  local tool=$1 dir=$2
  AddBenchUser "$server" "$dir/server" bench >"$logs/$tool-admin.log" 2>&1 ||
    Fail "user add failed: $logs/$tool-admin.log"
  StartServer "$server" "$dir/server" "$dir/server.log" || Fail "solvane-server did not start"
  solvanePid[$tool]=$serverPid
  solvaneAddr[$tool]=$serverAddr
}

# Peak resident memory of the server during one step: clear_refs value 5
# resets VmHWM to the current resident size.
ResetServerPeak() { echo 5 >"/proc/$1/clear_refs" 2>/dev/null || true; }
ServerPeak() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }

SolvaneNote() { # log step
  local line
  line=$(grep '^summary:' "$1" | tail -n 1)
  [ -n "$line" ] || { echo "no summary line"; return; }
  awk -v line="$line" -v step="$2" 'BEGIN {
    n = split(line, fields, /[ =]/)
    for (i = 2; i < n; i += 2) value[fields[i]] = fields[i + 1]
    bytes = value["TotalDoneFileSize"] / 1e6
    printf "%s %d files, %.*f MB", step == "restore" ? "received" : "sent",
      value["FileDoneCount"], bytes < 1 ? 3 : 1, bytes
    if (value["FileErrorCount"] > 0) printf ", %d failed", value["FileErrorCount"]
  }'
}

RunSolvane() { # tool step src runDir restoreDir log
  local tool=$1 step=$2 src=$3 dir=$4 out=$5 log=$6 fast=()
  [ "$tool" = solvane-fast ] && fast=(--fast)
  local run=(env XDG_CONFIG_HOME="$dir/config" SOLVANE_PASSWORD="$benchPassword"
    "$cli" --server "${solvaneAddr[$tool]}" --user bench "${fast[@]}")
  if [ "$step" = restore ]; then
    Measure "$log" "${run[@]}" restore --to "$out" "$src"
  else
    Measure "$log" "${run[@]}" backup "$src"
  fi
}

# --------------------------------------------------------------- peer side --
# The repository, password and cache of restic and borg, all under runDir.
restic=() borg=()
PeerCommands() { # runDir
  restic=(env "RESTIC_REPOSITORY=$1/repo" RESTIC_PASSWORD=bench-pw "RESTIC_CACHE_DIR=$1/cache" restic -q)
  borg=(env "BORG_BASE_DIR=$1/base" BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes)
}

# rsync's daemon of the data set being run: its port, and its module
# "bench" as an address.
rsyncPort="" rsyncModule=""

# A TCP port of 127.0.0.1 that nothing listens on right now.
FreePort() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Starts rsync's daemon on 127.0.0.1 with a free port and a configuration of
# its own under runDir: module "bench" is runDir/copy, written to as the
# current user, without chroot. Another program may take the port between
# FreePort and the daemon's bind: then it tries another.
StartRsyncDaemon() { # runDir
  local dir=$1 conf="$1/rsyncd.conf" pid
  {
    echo "use chroot = no"
    echo "reverse lookup = no"
    # As root the daemon would otherwise write as nobody.
    if [ "$(id -u)" = 0 ]; then echo "uid = $(id -un)"; echo "gid = $(id -gn)"; fi
    echo "[bench]"
    echo "  path = $dir/copy"
    echo "  read only = no"
    echo "  munge symlinks = no"
  } >"$conf"
  for _ in 1 2 3 4 5; do
    rsyncPort=$(FreePort) || return 1
    rsyncModule="rsync://127.0.0.1:$rsyncPort/bench"
    rsync --daemon --no-detach --address=127.0.0.1 --port="$rsyncPort" --config="$conf" \
      --log-file="$logs/rsyncd.log" >>"$logs/rsyncd.log" 2>&1 &
    pid=$!
    TrackPid "$pid"
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      # Ready once it lists its module.
      if rsync --contimeout=2 "rsync://127.0.0.1:$rsyncPort/" >"$dir/modules.txt" 2>/dev/null &&
        grep -q '^bench' "$dir/modules.txt"; then
        return 0
      fi
      sleep 0.1
    done
    StopPid "$pid"
  done
  return 1
}

RunPeer() { # tool step src runDir restoreDir log
  local tool=$1 step=$2 src=$3 dir=$4 out=$5 log=$6
  PeerCommands "$dir"
  case "$tool:$step" in
    rsync-daemon:restore) Measure "$log" rsync -a "$rsyncModule/" "$out/" ;;
    rsync-daemon:*) Measure "$log" rsync -a "$src/" "$rsyncModule/" ;;
    rsync-local:restore) Measure "$log" rsync -a "$dir/copy/" "$out/" ;;
    rsync-local:*) Measure "$log" rsync -a "$src/" "$dir/copy/" ;;
    restic:restore) Measure "$log" "${restic[@]}" restore latest --target "$out" ;;
    restic:*) Measure "$log" "${restic[@]}" backup --host bench "$src" ;;
    borg:restore) Measure "$log" env -C "$out" "${borg[@]:1}" borg extract "$dir/repo::changed" ;;
    borg:*) Measure "$log" "${borg[@]}" borg create "$dir/repo::$step" "$src" ;;
  esac
}

PreparePeer() { # tool runDir
  PeerCommands "$2"
  case "$1" in
    rsync-daemon)
      mkdir -p "$2/copy"
      StartRsyncDaemon "$2" || Fail "rsync's daemon did not start: $logs/rsyncd.log"
      ;;
    rsync-local) mkdir -p "$2/copy" ;;
    restic)
      "${restic[@]}" init >"$logs/restic-init.log" 2>&1 ||
        Fail "restic init failed: $logs/restic-init.log"
      ;;
    borg)
      "${borg[@]}" borg init --encryption=none "$2/repo" >"$logs/borg-init.log" 2>&1 ||
        Fail "borg init failed: $logs/borg-init.log"
      ;;
  esac
}

# Where a tool's restore puts the data set.
RestoredCopy() { # tool src restoreDir
  case "$1" in
    solvane-* | restic) echo "$3$2" ;;
    borg) echo "$3/${2#/}" ;;
    rsync-*) echo "$3" ;;
  esac
}

# ---------------------------------------------------------------- variants --
RunVariant() { # name src tool...
  local name=$1 src=$2
  shift 2
  local variantTools=("$@") info files bytes tool step dir out log note peak load
  info=$("$here/make_datasets.sh" info "$src")
  files=${info% *}
  bytes=${info#* }
  echo "== $name: $files files, $bytes bytes; tools: ${variantTools[*]}; load $(Load1)"
  echo "$name	$files	$bytes	$(Load1)" >>"$meta.variants"

  rm -rf "$work/run/$name"
  for tool in "${variantTools[@]}"; do
    dir="$work/run/$name/$tool"
    mkdir -p "$dir" "$dir/restore"
    case "$tool" in
      solvane-*) StartSolvane "$tool" "$dir" ;;
      *) PreparePeer "$tool" "$dir" ;;
    esac
  done

  for step in first unchanged changed restore; do
    if [ "$step" = changed ]; then
      echo "  (changed $("$here/make_datasets.sh" change "$src") files)"
    fi
    for tool in "${variantTools[@]}"; do
      dir="$work/run/$name/$tool"
      out="$dir/restore"
      log="$logs/$name-$tool-$step.log"
      load=$(Load1)
      peak=""
      case "$tool" in
        solvane-*)
          ResetServerPeak "${solvanePid[$tool]}"
          RunSolvane "$tool" "$step" "$src" "$dir" "$out" "$log"
          peak=$(ServerPeak "${solvanePid[$tool]}")
          note=$(SolvaneNote "$log" "$step")
          ;;
        *)
          RunPeer "$tool" "$step" "$src" "$dir" "$out" "$log"
          note=""
          ;;
      esac
      if [ "$step" = restore ]; then
        if diff -r "$src" "$(RestoredCopy "$tool" "$src" "$out")" >"$log.diff" 2>&1; then
          note="${note:+$note, }identical"
        else
          note="${note:+$note, }RESTORE DIFFERS ($log.diff)"
        fi
      fi
      Record "$name" "$files" "$bytes" "$step" "$tool" "$peak" "$load" "$note"
    done
  done

  StopStarted
  [ "$keep" = 1 ] || rm -rf "$work/run/$name"
}

# ------------------------------------------------------------------ office --
# Several desktops backing up at once into one server: each client its own
# user, data set and configuration; the clock runs until the last one ends.
RunOffice() {
  local name="office-${officeClients}x${officeFiles}" dir="$work/run/office" i step load peak
  local totalFiles=0 totalBytes=0 info scale pids=() rc=0 rss
  scale=$(awk -v f="$officeFiles" 'BEGIN { printf "%.6f", f / 20000 }')
  rm -rf "$dir"
  mkdir -p "$dir"
  for i in $(seq "$officeClients"); do
    "$here/make_datasets.sh" generate "$work/data/office$i" small "$scale" || Fail "data set office$i"
    info=$("$here/make_datasets.sh" info "$work/data/office$i")
    totalFiles=$((totalFiles + ${info% *}))
    totalBytes=$((totalBytes + ${info#* }))
  done
  echo "== $name: $totalFiles files, $totalBytes bytes; load $(Load1)"
  echo "$name	$totalFiles	$totalBytes	$(Load1)" >>"$meta.variants"
  StartSolvane solvane-fast "$dir"
  for i in $(seq 2 "$officeClients"); do
    AddBenchUser "$server" "$dir/server" "bench$i" >>"$logs/office-admin.log" 2>&1 ||
      Fail "user add failed: $logs/office-admin.log"
  done
  for step in first unchanged; do
    load=$(Load1)
    ResetServerPeak "${solvanePid[solvane-fast]}"
    local t0 t1
    pids=()
    t0=$(date +%s%N)
    for i in $(seq "$officeClients"); do
      local user=bench
      [ "$i" = 1 ] || user="bench$i"
      /usr/bin/time -v -o "$logs/$name-$step-$i.time" env XDG_CONFIG_HOME="$dir/config$i" \
        SOLVANE_PASSWORD="$benchPassword" "$cli" --server "${solvaneAddr[solvane-fast]}" --user "$user" \
        --fast backup "$work/data/office$i" >"$logs/$name-$step-$i.log" 2>&1 &
      pids+=($!)
    done
    rc=0
    for i in "${pids[@]}"; do wait "$i" || rc=$?; done
    t1=$(date +%s%N)
    gSecs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    gRc=$rc
    gRss=0
    for i in $(seq "$officeClients"); do
      rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$logs/$name-$step-$i.time")
      [ "${rss:-0}" -gt "$gRss" ] && gRss=$rss
    done
    peak=$(ServerPeak "${solvanePid[solvane-fast]}")
    Record "$name" "$totalFiles" "$totalBytes" "$step" solvane-fast "$peak" "$load" \
      "$officeClients clients at once, $(SolvaneNote "$logs/$name-$step-1.log" "$step") by the first"
  done
  StopStarted
  [ "$keep" = 1 ] || rm -rf "$dir"
}

# -------------------------------------------------------------------- main --
rm -f "$meta.variants"
{
  echo "command: $commandLine"
  echo "scale: $scale"
  echo "started: $(date -u '+%Y-%m-%d %H:%M:%S UTC')"
  echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo) RAM, $(uname -sr)"
  echo "load at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  command -v rsync >/dev/null && echo "version: $(rsync --version | head -n 1)"
  command -v restic >/dev/null && echo "version: $(restic version)"
  command -v borg >/dev/null && echo "version: $(borg --version)"
  for note in "${skipped[@]}"; do echo "skipped: $note"; done
} >"$meta"
cat "$meta"

for set in ${sets//,/ }; do
  case "$set" in
    small | large | mixed) ;;
    office)
      RunOffice
      continue
      ;;
    *) Fail "unknown data set: $set" ;;
  esac
  src="$work/data/$set"
  echo "== making data set $set (scale $scale)"
  "$here/make_datasets.sh" generate "$src" "$set" "$scale" || Fail "data set $set"
  info=$("$here/make_datasets.sh" info "$src")
  files=${info% *}

  # The standard profile costs about 0.1 s per file and step: on a large set
  # it runs on the first --standard-files files, beside every other tool.
  mainTools=()
  for tool in "${tools[@]}"; do
    [ "$tool" = solvane-standard ] && [ "$files" -gt "$standardFiles" ] && continue
    mainTools+=("$tool")
  done
  RunVariant "$set" "$src" "${mainTools[@]}"

  if Has "$profiles" standard && [ "$files" -gt "$standardFiles" ]; then
    sub="$set-first$standardFiles"
    "$here/make_datasets.sh" generate "$work/data/$sub" "$set" "$scale" "$standardFiles" || Fail "data set $sub"
    RunVariant "$sub" "$work/data/$sub" "${tools[@]}"
  fi
done

echo "load at end: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$meta"
echo "finished: $(date -u '+%Y-%m-%d %H:%M:%S UTC')" >>"$meta"

Report
