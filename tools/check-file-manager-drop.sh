#!/usr/bin/env bash
# A drag from a real file manager onto the desktop program, for checking by
# eye: under Xvfb, drags a file and then a folder from PCManFM onto the window
# (the pointer moved by xdotool, the X11 drag-and-drop protocol spoken by the
# two programs themselves), saves a screenshot and prints what
# `heapwise --print` gives for the same two paths: the window must show the
# same four texts. Installs pcmanfm, xdotool and ImageMagick where missing.
#   tools/check-file-manager-drop.sh [SCREENSHOT]   (default build/file-manager-drop.png)
set -euo pipefail
cd "$(dirname "$0")/.."
shot=$(realpath -m "${1:-build/file-manager-drop.png}")
tools/install-deps.sh
missing=()
for package in pcmanfm xdotool imagemagick xvfb; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if (( ${#missing[@]} )); then
    as_root=(); (( EUID == 0 )) || as_root=(sudo)
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/files/folder/sub"
head -c 1234 /dev/zero >"$work/files/report.txt"
head -c 100 /dev/zero >"$work/files/folder/a"
head -c 50 /dev/zero >"$work/files/folder/sub/b"

display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
sleep 1
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
