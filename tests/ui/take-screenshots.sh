#!/usr/bin/env bash
# Pictures of the desktop client for docs/screenshots/, taken under Xvfb at
# 1280x800 against a server of their own: the login dialog (compact and with
# the server settings open), the main window signed in, the task screens
# (file backup, filter page, folder sync, task settings dialog), then the
# progress monitor during a backup and the task report (list and details)
# against the test server of ui_progress_screenshot, and the share and
# authorised areas, the restore screens, the task list and a task property
# dialog, the mail backup screen and a mail task dialog.
# Usage: tests/ui/take-screenshots.sh [BUILD_DIR]   (needs xvfb-run)
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"
build="$(cd "${1:-build}" && pwd)"
server="$build/server/solvane-server"
cli="$build/src/cli/solvane-cli"
gui="$build/src/ui/solvane"
out="$root/docs/screenshots"
work="$(mktemp -d)"
mkdir -p "$out" "$work/tmp"
trap 'kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null || true; rm -rf "$work"' EXIT

"$server" admin --data "$work/data" user add demo --name 演示用户 --password demo123 >/dev/null
"$server" --data "$work/data" --listen 127.0.0.1:0 >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$work/server.log" 2>/dev/null && break
  sleep 0.1
done
listen=$(sed -n 's/^listening on //p' "$work/server.log" | head -n 1)

export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp"
"$cli" --server "$listen" --user demo --password demo123 tasks >/dev/null
screen=(xvfb-run -a -s "-screen 0 1280x800x24")

SOLVANE_SCREENSHOT_LOGIN="$out/login-dialog.png" "${screen[@]}" "$gui"
bash scripts/remember-user.sh "$XDG_CONFIG_HOME/Kestrune/Solvane.ini"
SOLVANE_SCREENSHOT="$out/main-window.png" "${screen[@]}" "$gui"
# File backup, filter page, folder sync and the task settings dialog.
"${screen[@]}" "$build/tests/ui/ui_task_screens_screenshot" "$out"
if [ -x "$build/tests/ui/ui_progress_screenshot" ]; then
  "${screen[@]}" "$build/tests/ui/ui_progress_screenshot" "$out"
fi

# The share and authorised areas, each against a server the tool fills itself.
areas="$build/tests/ui/ui_areas_screenshot"
if [ -x "$areas" ]; then
  for shot in share:share-area share-files:share-area-files folder-dialog:share-folder-dialog \
              auth:auth-area auth-viewers:auth-area-viewers request-dialog:auth-request-dialog; do
    "${screen[@]}" "$areas" "$out/${shot#*:}.png" "${shot%%:*}"
  done
fi
if [ -x "$build/tests/ui/ui_restore_screenshot" ]; then
  "${screen[@]}" "$build/tests/ui/ui_restore_screenshot" "$out"
fi
# The task list and the property dialog of a file backup task.
"${screen[@]}" "$build/tests/ui/ui_task_list_screenshot" "$out"
# The mail backup screen and the property dialog of a mail task.
if [ -x "$build/tests/ui/ui_mail_screenshot" ]; then
  "${screen[@]}" "$build/tests/ui/ui_mail_screenshot" "$out"
fi
ls -l "$out"
