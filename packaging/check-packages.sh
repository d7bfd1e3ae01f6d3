#!/usr/bin/env bash
# Builds the two Debian packages from a configured build folder and checks
# them: the files land where Debian expects them, the maintainer scripts and
# the settings file are declared, the menu entry validates and the service
# unit verifies (with systemd-analyze where it is installed).
# usage: packaging/check-packages.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"

fail() { echo "package check: $*" >&2; exit 1; }

rm -f "$build_dir"/solvane*.deb
cmake --build "$build_dir" --target package -j "${SOLVANE_JOBS:-2}" >/dev/null
server_deb=$(ls "$build_dir"/solvane-server_*.deb 2>/dev/null | head -n1)
client_deb=$(ls "$build_dir"/solvane_*.deb 2>/dev/null | head -n1)
[ -n "$server_deb" ] || fail "no solvane-server package in $build_dir"
[ -n "$client_deb" ] || fail "no solvane package in $build_dir"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$server_deb" "$root"
dpkg -x "$client_deb" "$root"

expect=(
  usr/bin/solvane-server
  usr/lib/systemd/system/solvane-server.service
  etc/default/solvane-server
  usr/bin/solvane-cli
  usr/share/solvane/ring.wav
)
# The desktop client's files come with the desktop client.
if [ -x "$build_dir/src/ui/solvane" ]; then
  expect+=(
    usr/bin/solvane
    usr/share/applications/solvane.desktop
    usr/share/icons/hicolor/scalable/apps/solvane.svg
    usr/share/icons/hicolor/16x16/apps/solvane.png
    usr/share/icons/hicolor/48x48/apps/solvane.png
    usr/share/icons/hicolor/256x256/apps/solvane.png
    usr/share/solvane/help/index.html
  )
fi
for f in "${expect[@]}"; do
  [ -e "$root/$f" ] || fail "$f is missing (server: $server_deb, client: $client_deb)"
done

[ "$(dpkg-deb -f "$server_deb" Package)" = solvane-server ] || fail "server package name"
[ "$(dpkg-deb -f "$client_deb" Package)" = solvane ] || fail "client package name"
control=$root/control
dpkg-deb -e "$server_deb" "$control"
for script in postinst prerm postrm; do
  [ -x "$control/$script" ] || fail "solvane-server has no executable $script"
done
grep -qx /etc/default/solvane-server "$control/conffiles" || fail "settings file is no conffile"
grep -q "adduser --system" "$control/postinst" || fail "postinst creates no service account"

# The packaged server runs (its libraries are there) and knows its options.
"$root/usr/bin/solvane-server" --help | grep -q -- "--verify-every" || fail "packaged server does not run"

unit=$root/usr/lib/systemd/system/solvane-server.service
for setting in User=solvane StateDirectory=solvane ProtectSystem=strict NoNewPrivileges=yes \
  Restart=on-failure; do
  grep -qx "$setting" "$unit" || fail "the unit lacks $setting"
done

if [ -e "$root/usr/share/applications/solvane.desktop" ]; then
  desktop-file-validate "$root/usr/share/applications/solvane.desktop" ||
    fail "desktop entry does not validate"
fi

if command -v systemd-analyze >/dev/null; then
  # Verified inside the scratch root, next to the system's own units, so
  # ExecStart is checked against the packaged program. systemd-analyze
  # reports a bad setting as a warning with status 0: any output fails.
  cp -rn /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
  out=$(systemd-analyze verify --root="$root" "$unit" 2>&1) ||
    fail "systemd-analyze verify failed: $out"
  [ -z "$out" ] || fail "systemd-analyze verify: $out"
else
  echo "package check: systemd-analyze not installed; the unit was not verified" >&2
fi

echo "package check: $(basename "$server_deb") and $(basename "$client_deb") are complete"
