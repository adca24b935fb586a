#!/usr/bin/env bash
# A drag from a real file manager onto the desktop program, for checking by
# eye: under Xvfb, drags a file and then a folder from PCManFM onto the window
# (the pointer moved by xdotool, the X11 drag-and-drop protocol spoken by the
# two programs themselves), saves a screenshot and prints what
# `heapwise --print` gives for the same two paths: the window must show the
# same four texts. Installs pcmanfm, xdotool and ImageMagick where missing
# (tools/file-manager-scene.sh).
#   tools/check-file-manager-drop.sh [SCREENSHOT]   (default build/file-manager-drop.png)
set -euo pipefail
cd "$(dirname "$0")/.."
shot=$(realpath -m "${1:-build/file-manager-drop.png}")
source tools/file-manager-scene.sh
# The file manager fills the top-left 640 x 480 in icon view: "folder" is the
# first icon, the file the second.
HOME=$work pcmanfm --no-desktop "$work/files" >/dev/null 2>&1 & pids+=($!)
build/release/heapwise >/dev/null 2>&1 & pids+=($!)
window=$(xdotool search --sync --name 'Heapwise - Drop Files to Count' | head -n 1)
xdotool search --sync --name files >/dev/null
xdotool windowmove "$window" 700 100
sleep 2

drag() {  # from-x from-y
    xdotool mousemove "$1" "$2"; sleep 0.3
    xdotool mousedown 1; sleep 0.3
    for x in $(seq "$1" 40 880); do xdotool mousemove "$x" 150; sleep 0.05; done
    sleep 0.5; xdotool mousemove 885 152; sleep 0.5
    xdotool mouseup 1; sleep 1.5
}
drag 300 100  # report.txt
drag 206 100  # folder
mkdir -p "$(dirname "$shot")"
import -window root "$shot"
echo "screenshot: $shot"
echo "what the window must show:"
LC_ALL=${LC_ALL:-C.UTF-8} build/release/heapwise --print "$work/files/report.txt" "$work/files/folder"
