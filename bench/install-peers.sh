#!/usr/bin/env bash
# Installs what the client benchmark compares solvane with and measures with
# (Debian packages): rsync (its daemon is a peer), restic, borgbackup, and
# GNU time for the peak memory. For the benchmark only: neither the build nor
# the tests need them. Does nothing when all of them are installed.
#   bash bench/install-peers.sh      (as root, or through sudo)
set -euo pipefail

packages=(rsync restic borgbackup time)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
