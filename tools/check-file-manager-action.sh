#!/usr/bin/env bash
# "Count with Heapwise" from a real file manager's context menu, for checking
# by eye: installs the release build into a scratch folder, starts PCManFM
# under Xvfb with that folder's share/ among XDG_DATA_DIRS (so it reads the
# installed file-manager action) and its bin/ on PATH, selects a file and a
# folder, opens the context menu on them and picks the entry (the pointer and
# keys driven by xdotool). It saves screenshots of the menu and of the window
# that opens, and prints the window program's command line and what
# `heapwise --print` gives for the same two paths: the window must show the
# same four texts. Installs pcmanfm, libfm-modules (which holds PCManFM's support
# for actions), xdotool and ImageMagick where missing
# (tools/file-manager-scene.sh).
#   tools/check-file-manager-action.sh [SCREENSHOT]   (default build/file-manager-action.png)
set -euo pipefail
cd "$(dirname "$0")/.."
shot=$(realpath -m "${1:-build/file-manager-action.png}")
source tools/file-manager-scene.sh
DESTDIR=$work/root cmake --install build/release --prefix /usr >/dev/null
mkdir -p "$work/home"
export HOME=$work/home
export XDG_DATA_DIRS=$work/root/usr/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}
export PATH=$work/root/usr/bin:$PATH
# The file manager fills the top-left 640 x 480 in icon view: "folder" is the
# first icon, the file the second.
pcmanfm --no-desktop "$work/files" >/dev/null 2>&1 & pids+=($!)
xdotool search --sync --name files >/dev/null
sleep 2
xdotool mousemove 206 100 click 1; sleep 0.5
xdotool key ctrl+a; sleep 0.5          # both items
xdotool mousemove 300 100 click 3; sleep 1.5
menu_shot=$work/menu.png
import -window root "$menu_shot"
# The actions sit just above Properties, the menu's last entry: from the
# bottom, Up lands on Properties and a second Up (past the separator) on the
# one action installed here.
xdotool key Up Up Return
window=$(xdotool search --sync --name 'Heapwise - Drop Files to Count' | head -n 1)
pids+=("$(xdotool getwindowpid "$window")")
sleep 2
mkdir -p "$(dirname "$shot")"
import -window root "$shot"
cp "$menu_shot" "${shot%.png}-menu.png"
echo "screenshots: ${shot%.png}-menu.png (the context menu), $shot (the window)"
echo "the window program's command line:"
tr '\0' ' ' <"/proc/${pids[-1]}/cmdline"; echo
echo "what the window must show:"
LC_ALL=${LC_ALL:-C.UTF-8} build/release/heapwise --print "$work/files/folder" "$work/files/report.txt"
