#!/usr/bin/env bash
# Sets "IsSavedUserInfo" to 1 in the clients' settings file (the QSettings
# ini that solvane and solvane-cli share), so the desktop client signs in
# with the saved user code and password at its start.
# Usage: remember-user.sh INI
set -euo pipefail
ini="$1"
mkdir -p "$(dirname "$ini")"
touch "$ini"
prefix='Software\Kestrune\IsSavedUserInfo\'
line='Software\Kestrune\IsSavedUserInfo\%255CSoftware%255CKestrune%255CIsSavedUserInfo=1'
grep -vF "$prefix" "$ini" >"$ini.new" || true
if grep -qx '\[HKEY_LOCAL_MACHINE\]' "$ini.new"; then
  awk -v line="$line" '{ print } $0 == "[HKEY_LOCAL_MACHINE]" { print line }' "$ini.new" >"$ini"
else
  { cat "$ini.new"; printf '\n[HKEY_LOCAL_MACHINE]\n%s\n' "$line"; } >"$ini"
fi
rm -f "$ini.new"
