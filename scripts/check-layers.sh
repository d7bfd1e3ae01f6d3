#!/usr/bin/env bash
# Fails when a client library includes a header of a layer above it. The
# layers, lowest first (DESIGN.md §2):
#   platform, wire <- session <- api, mail <- tasks <- engine <- client <- qtbridge, ui, cli
# with common/ (included as "solvane/...") below them all.
# Each folder may include itself and the folders listed for it; anything
# else under src/ is a dependency pointing the wrong way.
# Usage: check-layers.sh [TREE]   (TREE defaults to this repository)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

declare -A allowed=(
  [platform]="platform"
  [wire]="wire"
  [session]="session platform wire"
  [api]="api session platform wire"
  [mail]="mail session platform wire"
  [tasks]="tasks api mail session platform wire"
  [engine]="engine tasks api mail session platform wire"
  [client]="client engine tasks api mail session platform wire"
  [qtbridge]="qtbridge platform"
  [cli]="cli client engine tasks api mail session platform wire qtbridge"
  [ui]="ui client engine tasks api mail session platform wire qtbridge"
)

status=0
for layer in "${!allowed[@]}"; do
  [ -d "src/$layer" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    # A bash match, not a sed per line: the check runs often, on busy machines.
    [[ $hit =~ \#[[:space:]]*include[[:space:]]*\"([a-z]+)/ ]] || continue
    target=${BASH_REMATCH[1]}
    [ -d "src/$target" ] || continue   # not one of our folders
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "layer check: $file includes $target/ (above $layer): ${hit#*:}" >&2
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include "[a-z]+/' "src/$layer" | sed -E 's/^([^:]+):[0-9]+:/\1:/' || true)
done

# Nothing outside src/wire and src/api builds or reads a frame.
if packs=$(grep -rlE '\bTQorPack\b' src --include='*.h' --include='*.cpp' | grep -vE '^src/(wire|api)/'); then
  for f in $packs; do echo "layer check: $f uses TQorPack outside src/wire and src/api" >&2; done
  status=1
fi

# common/ lies below every layer (client and server): its headers include
# only each other and the standard library.
if grep -rnE '^\s*#\s*include "' common | grep -vE '#\s*include "solvane/'; then
  echo "layer check: a header of common/ includes a layer" >&2
  status=1
fi

# Nothing below the desktop client includes a Qt Widgets header.
if grep -rnE '#\s*include <Q(Widget|Dialog|MainWindow|Application)' src --include='*.h' --include='*.cpp' | grep -vE '^src/ui/'; then
  echo "layer check: a Qt Widgets header outside src/ui" >&2
  status=1
fi
# The server's SQL has one owner: only server/storage builds statements or
# calls SQLite; handlers, auth and admin go through its typed stores.
if [ -d server ]; then
  if sql=$(grep -rnE '\bStatement\b|\bsqlite3_[a-z_]+[[:space:]]*\(' server \
      --include='*.h' --include='*.cpp' | grep -vE '^server/storage/'); then
    while IFS= read -r hit; do
      echo "layer check: SQL outside server/storage: $hit" >&2
    done <<<"$sql"
    status=1
  fi
fi
exit $status
