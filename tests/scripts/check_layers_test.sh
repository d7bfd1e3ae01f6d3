#!/usr/bin/env bash
# The layer check passes on the tree and fails on each kind of fault planted
# in a copy of it: an include pointing up, a frame outside src/wire and
# src/api, a Qt Widgets header below the desktop client, SQL in the server
# outside server/storage.
set -euo pipefail
repo="$(cd "$(dirname "$0")/../.." && pwd)"
check="$repo/scripts/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$check" "$repo" || { echo "the tree itself fails the layer check" >&2; exit 1; }

planted=(
  'src/session/Planted.h|#include "engine/TaskEngine.h"'
  'src/tasks/Planted.h|#include "client/Unit_PublicInfo.h"'
  'src/api/Planted.h|#include "tasks/TPostBag.h"'
  'src/cli/Planted.cpp|void f(solvane::TQorPack& p);'
  'src/engine/Planted.cpp|#include <QWidget>'
  'server/handlers/Planted.cpp|void f(Database& db) { Statement st(db, "SELECT 1"); }'
  'server/auth/Planted.cpp|int f(sqlite3* db) { return sqlite3_exec(db, "", 0, 0, 0); }'
  'server/admin/Planted.h|inline void f(Database& db) { Statement(db, "DELETE FROM users").Run(); }'
)
for case in "${planted[@]}"; do
  file=${case%%|*}
  line=${case#*|}
  rm -rf "$work/tree" && mkdir -p "$work/tree"
  cp -r "$repo/src" "$repo/common" "$repo/server" "$work/tree/"
  printf '%s\n' "$line" >"$work/tree/$file"
  if bash "$check" "$work/tree" 2>/dev/null; then
    echo "not caught: $line in $file" >&2
    exit 1
  fi
done
echo "layer check: the tree passes, every planted fault is caught"
