#!/usr/bin/env bash
# Deterministic data sets for the client benchmark: the same bytes and the
# same modification times on every run and every machine (seeded generator).
#
#   make_datasets.sh generate DEST small|large|mixed [SCALE] [LIMIT]
#       small: 20000*SCALE files of 1-16 KiB in a nested tree
#       large: 8 files of 128 MiB*SCALE (random, incompressible)
#       mixed: 400*SCALE office files of 1 KiB - 20 MiB, half compressible text
#       LIMIT keeps only the first LIMIT files of the set: the same paths and
#       bytes as in the full set, for the slow standard pacing profile
#   make_datasets.sh change DEST
#       rewrites 4 KiB inside 1% of the files (at least one) with other bytes
#       and gives them a later modification time; the next "generate" puts the
#       original bytes back.
#   make_datasets.sh info DEST      prints "FILES BYTES"
#
# DEST.stamp remembers what DEST holds; DEST.dirty lists files "change" touched.
set -euo pipefail

usage() { sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 2 ] || usage

case "$1" in
  info)
    find "$2" -type f -printf '%s\n' | awk '{n++; b+=$1} END {printf "%d %d\n", n, b}'
    exit 0
    ;;
  generate | change) ;;
  *) usage ;;
esac

exec python3 - "$@" <<'PY'
import math, os, random, shutil, sys

KIB = 1024
MIB = 1024 * KIB
BASE_MTIME = 1704067200      # 2024-01-01 00:00:00 UTC, every generated file
CHANGED_MTIME = 1706745600   # 2024-02-01 00:00:00 UTC, the files "change" rewrote
CHUNK = 4 * MIB
VERSION = 1                  # bump when the generator's output changes


def SmallSpecs(scale):
    count = max(1, round(20000 * scale))
    for i in range(count):
        rng = random.Random(f"small/{i}")
        size = rng.randint(1 * KIB, 16 * KIB)
        # Every fourth file is text, the rest binary.
        kind = "text" if i % 4 == 0 else "random"
        yield f"d{i // 1000:02d}/s{(i // 50) % 20:02d}/f{i:05d}.dat", size, kind, f"small/{i}"


def LargeSpecs(scale):
    size = max(MIB, int(128 * MIB * scale) // (64 * KIB) * (64 * KIB))
    for i in range(8):
        yield f"large-{i}.bin", size, "random", f"large/{i}"


DEPARTMENTS = ["finance", "sales", "hr", "engineering", "管理部"]
TEXT_EXT = [".txt", ".csv", ".html", ".xml", ".log", ".eml"]
BINARY_EXT = [".jpg", ".png", ".zip", ".pdf", ".docx", ".xlsx"]


def MixedSpecs(scale):
    count = max(10, round(400 * scale))
    for i in range(count):
        rng = random.Random(f"mixed/{i}")
        bucket = rng.random()
        if i == 0:
            size = 20 * MIB
        elif i == 1:
            size = 1 * KIB
        elif bucket < 0.85:
            size = LogUniform(rng, 1 * KIB, 512 * KIB)
        elif bucket < 0.97:
            size = LogUniform(rng, 512 * KIB, 5 * MIB)
        else:
            size = LogUniform(rng, 5 * MIB, 20 * MIB)
        text = rng.random() < 0.5
        ext = rng.choice(TEXT_EXT if text else BINARY_EXT)
        folder = f"{rng.choice(DEPARTMENTS)}/p{rng.randrange(8):02d}/{rng.randrange(2021, 2025)}"
        yield f"{folder}/doc{i:04d}{ext}", size, "text" if text else "random", f"mixed/{i}"


def LogUniform(rng, low, high):
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


SPECS = {"small": SmallSpecs, "large": LargeSpecs, "mixed": MixedSpecs}

VOCABULARY = [
    "quarterly", "report", "budget", "meeting", "minutes", "invoice", "customer", "order",
    "delivery", "schedule", "project", "review", "approved", "pending", "total", "amount",
    "department", "contract", "supplier", "payment", "account", "balance", "forecast",
    "revenue", "expense", "office", "network", "server", "backup", "policy", "the", "and",
    "of", "for", "with", "on", "to", "in", "by", "is", "was", "will", "be", "from", "this",
    "客户", "合同", "报告", "会议", "预算", "财务", "项目", "审批",
]


def RandomBytes(seed, size):
    rng = random.Random(seed)
    left = size
    while left > 0:
        n = min(CHUNK, left)
        yield rng.randbytes(n)
        left -= n


def TextBytes(seed, size):
    """Office-like text: lines drawn from a pool, so it compresses about 3-5x."""
    rng = random.Random(seed)
    pool = []
    for _ in range(512):
        words = rng.choices(VOCABULARY, k=rng.randint(4, 14))
        words.append(f"{rng.randrange(100000)}.{rng.randrange(100):02d}")
        pool.append((" ".join(words) + "\n").encode())
    left = size
    while left > 0:
        block = b"".join(rng.choices(pool, k=4096))[: min(CHUNK, left)]
        yield block
        left -= len(block)


def WriteFile(path, size, kind, seed):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    produce = TextBytes if kind == "text" else RandomBytes
    with open(path, "wb") as f:
        for block in produce(seed, size):
            f.write(block)
    os.utime(path, (BASE_MTIME, BASE_MTIME))


def Generate(dest, kind, scale, limit):
    if kind not in SPECS:
        sys.exit(f"unknown data set kind: {kind}")
    stampPath, dirtyPath = dest + ".stamp", dest + ".dirty"
    stamp = f"version={VERSION} kind={kind} scale={scale} limit={limit}\n"
    specs = list(SPECS[kind](scale))
    if limit:
        specs = specs[:limit]
    current = os.path.isdir(dest) and os.path.exists(stampPath) and open(stampPath).read() == stamp
    if current and not os.path.exists(dirtyPath):
        return
    if current:
        dirty = set(open(dirtyPath).read().splitlines())
        for rel, size, content, seed in specs:
            if rel in dirty:
                WriteFile(os.path.join(dest, rel), size, content, seed)
        os.remove(dirtyPath)
        return
    for stale in (stampPath, dirtyPath):
        if os.path.exists(stale):
            os.remove(stale)
    shutil.rmtree(dest, ignore_errors=True)
    for rel, size, content, seed in specs:
        WriteFile(os.path.join(dest, rel), size, content, seed)
    with open(stampPath, "w") as f:
        f.write(stamp)


def Change(dest):
    files = sorted(
        os.path.relpath(os.path.join(root, name), dest)
        for root, _, names in os.walk(dest)
        for name in names
    )
    count = max(1, round(len(files) / 100))
    chosen = [files[(j * len(files)) // count] for j in range(count)]
    for rel in chosen:
        path = os.path.join(dest, rel)
        size = os.path.getsize(path)
        offset = size // 2 // 4096 * 4096
        length = min(4096, size - offset)
        with open(path, "r+b") as f:
            f.seek(offset)
            # Inverting the original bytes guarantees that every byte differs.
            original = f.read(length)
            f.seek(offset)
            f.write(bytes(b ^ 0xFF for b in original))
        os.utime(path, (CHANGED_MTIME, CHANGED_MTIME))
    with open(dest + ".dirty", "a") as f:
        f.write("".join(rel + "\n" for rel in chosen))
    print(len(chosen))


args = sys.argv[1:]
if args[0] == "generate":
    if len(args) < 3:
        sys.exit("generate DEST KIND [SCALE] [LIMIT]")
    scale = float(args[3]) if len(args) > 3 else 1.0
    limit = int(args[4]) if len(args) > 4 else 0
    Generate(os.path.abspath(args[1]), args[2], scale, limit)
else:
    Change(os.path.abspath(args[1]))
PY
