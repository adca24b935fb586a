#!/usr/bin/env bash
# Takes the README's pictures of the Windows program: the main window after
# counting the core's sources (docs/heapwise-win32.png) and the About box over
# it (docs/heapwise-win32-about.png), under Wine on a virtual X display.
# Builds the 32-bit program with the mingw-release preset first; where the
# kernel refuses 32-bit programs, HEAPWISE_WINE_ARCH=win64 takes the 64-bit
# one (mingw64-release), which looks the same.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
case ${HEAPWISE_WINE_ARCH:=win32} in
win64) preset=mingw64-release compiler=x86_64-w64-mingw32-g++-posix ;;
*) preset=mingw-release compiler=i686-w64-mingw32-g++-posix ;;
esac
export HEAPWISE_WINE_ARCH
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" >/dev/null
program=$root/build/$preset/heapwise.exe

mkdir -p docs
program_pid=
wine_gui_cleanup() { [[ -z $program_pid ]] || kill "$program_pid" 2>/dev/null; }
WINE_GUI_SCREEN=800x600x24 source tools/wine-gui-session.sh

# Waits up to 30 s for `test` to succeed.
await() {
    for _ in $(seq 300); do
        "$@" && return 0
        sleep 0.1
    done
    echo "screenshots-win32: gave up waiting for: $*" >&2
    return 1
}

# Wine's own desktop window draws the frames and captions; the pictures are
# cut from it down to the windows on it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
"$wine_loader" explorer /desktop=heapwise,640x400 "$program" "$(windows_path "$root/core")" &
program_pid=$!

desktop=
find_desktop() { desktop=$(xdotool search --name '^heapwise - Wine desktop$' 2>/dev/null | head -n1) && [[ -n $desktop ]]; }
await find_desktop
capture() {
    local corner
    xwd -silent -id "$desktop" | convert xwd:- /tmp/heapwise-shot-$$.png
    corner=$(convert /tmp/heapwise-shot-$$.png -format '%[pixel:p{0,0}]' info:)
    convert /tmp/heapwise-shot-$$.png -bordercolor "$corner" -border 1 -trim +repage "$1"
    rm -f /tmp/heapwise-shot-$$.png
}
# The counting is quick; wait until the window has painted its results.
painted() { capture /tmp/heapwise-probe-$$.png && [[ $(identify -format '%w' /tmp/heapwise-probe-$$.png) -gt 100 ]]; }
await painted
sleep 2
capture docs/heapwise-win32.png

# The About button, pressed from a small helper on the same Wine desktop.
press=$root/build/$preset/press-button.exe
"$compiler" -O2 -static -o "$press" tools/press-button.cpp
"$wine_loader" explorer /desktop=heapwise,640x400 "$press" "Heapwise - Drop Files to Count" 2500
sleep 2
capture docs/heapwise-win32-about.png
"$wine_loader" explorer /desktop=heapwise,640x400 "$press" "Heapwise" 1
sleep 1
"$wine_loader" explorer /desktop=heapwise,640x400 "$press" "Heapwise - Drop Files to Count" 2502
rm -f /tmp/heapwise-probe-$$.png
wait "$program_pid" || true
program_pid=
echo "docs/heapwise-win32.png docs/heapwise-win32-about.png"
