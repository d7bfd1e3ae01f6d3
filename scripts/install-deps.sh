#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev libgl-dev
  libasio-dev libsqlite3-dev libssl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-wqy-microhei
  clang libclang-rt-14-dev
  file desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
