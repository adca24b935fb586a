#!/usr/bin/env bash
# The desktop program as a user starts it: without a display, or with one
# that cannot be opened, it counts in the terminal like --print; under a real
# X server (Xvfb) with a window manager (openbox) its window appears through
# X11 even on a Wayland session, asks to be kept above the others until On
# Top is cleared (the same window, keeping the focus), takes Qt's own options
# before the paths, names what it could not read on standard error as the
# terminal mode does, and Escape and Alt+Q each end it with exit code 0 while
# a long scan is still running. (The close box is tested in-process in
# main_window_test.)
# Usage: program_test.sh HEAPWISE
set -euo pipefail
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$scratch/tree/sub" "$scratch/big"
printf 'abc' >"$scratch/tree/a"
printf 'hidden' >"$scratch/tree/sub/.h"
# A tree of 1,000 folders named 2,000 times: a scan that takes half a minute
# or more, so it is still running when the window is told to quit.
mkdir -p "$scratch"/big/{1..10}/{1..100}
long_scan=()
for _ in $(seq 2000); do long_scan+=("$scratch/big"); done

# No display: the terminal mode, exactly as --print.
expected=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --print "$scratch/tree")
actual=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$scratch/tree")
[[ $actual == "$expected" ]] || fail "without a display: '$actual' is not '$expected'"
[[ $expected == *"File Count:   2  (H)"* ]] || fail "unexpected terminal texts: $expected"
# --print never opens the display, not even one that does not exist.
actual=$(DISPLAY=:999 "$program" --print "$scratch/tree")
[[ $actual == "$expected" ]] || fail "--print with a display set: '$actual'"
# A display that cannot be opened, or a platform Qt has no plugin for: one
# line says so, then the terminal mode (Qt's options left out), and the window
# program started by itself does the same.
window_program=$(dirname "$program")/heapwise-window
for display in DISPLAY=:999 WAYLAND_DISPLAY=heapwise-test-none "DISPLAY=:999 QT_QPA_PLATFORM=xcb" \
    QT_QPA_PLATFORM=heapwise-none; do
    for start in "$program" "$window_program"; do
        status=0
        # shellcheck disable=SC2086 # $display is one or two assignments
        actual=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $display "$start" -reverse "$scratch/tree" \
            2>"$scratch/err") || status=$?
        [[ $status == 0 && $actual == "$expected" ]] ||
            fail "$display ${start##*/}: exit code $status, '$actual'"
        [[ $(<"$scratch/err") == "heapwise: cannot open the display; counting in the terminal" ]] ||
            fail "$display ${start##*/}: '$(<"$scratch/err")'"
    done
done

if [[ -z ${HEAPWISE_UNDER_XVFB:-} ]]; then
    command -v xvfb-run >/dev/null || fail "xvfb-run is missing (tools/install-deps.sh --tests)"
    HEAPWISE_UNDER_XVFB=1 exec xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24 -nolisten tcp" \
        "$0" "$@"
fi

# As in a desktop session, where Qt finds its runtime folder.
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# An X server that refuses the program (xvfb-run's server asks for the
# cookie it wrote): the program's own line alone, then the terminal mode.
actual=$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XAUTHORITY="$scratch/no-cookie" "$program" "$scratch/tree" 2>"$scratch/err")
[[ $actual == "$expected" ]] || fail "refused by the X server: '$actual'"
[[ $(<"$scratch/err") == "heapwise: cannot open the display; counting in the terminal" ]] ||
    fail "refused by the X server: '$(<"$scratch/err")'"

# A window manager that follows the Extended Window Manager Hints, as a
# desktop's does: it keeps the state of a shown window.
command -v openbox >/dev/null || fail "openbox is missing (tools/install-deps.sh --tests)"
openbox --sm-disable >/dev/null 2>&1 &
window_manager=$!
trap 'kill "$window_manager" 2>/dev/null; rm -rf "$scratch"' EXIT
for ((round = 0; round < 100; ++round)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

title='^Heapwise - Drop Files to Count$'

# Polls (every tenth of a second, for up to a minute, or $2 tenths) for the
# visible main window whose _NET_WM_STATE does ($1 = above) or does not ($1 =
# normal) ask to be kept above the others; prints its id.
window_kept() {
    local id state
    for ((round = 0; round < ${2:-600}; ++round)); do
        for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
            state=$(xprop -id "$id" _NET_WM_STATE 2>/dev/null) || continue
            if [[ $1 == above && $state == *_NET_WM_STATE_ABOVE* ]] ||
                [[ $1 == normal && $state != *_NET_WM_STATE_ABOVE* ]]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Whether process $1 has ended (a zombie not yet waited for has).
ended() {
    local state=Z
    [[ -r /proc/$1/stat ]] && read -r _ _ state _ <"/proc/$1/stat"
    [[ $state == Z ]]
}

# Presses $2 in the focused window until the program (process $1) has ended,
# again after each five seconds it goes on (see On Top below for why once may
# not be enough), for half a minute at most; returns the program's exit code.
press_until_ended() {
    local round press status=0
    for ((press = 0; press < 6; ++press)); do
        xdotool key --clearmodifiers "$2"
        for ((round = 0; round < 50; ++round)); do
            ended "$1" && break 2
            sleep 0.1
        done
    done
    wait "$1" || status=$?
    return $status
}

# On Top: checked at the start, so the window asks to be kept above; Alt+T
# clears it and sets it again, on the same window, which keeps the focus. On a
# Wayland session that has X11 too, the window still comes up through X11,
# where this works.
XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=heapwise-test-none timeout 120 "$program" "$scratch/tree" &
pid=$!
window=$(window_kept above) || fail "on top: no window kept above"
xdotool windowfocus --sync "$window"
for state in normal above; do
    # A key pressed the moment the window has the X server's focus may come
    # before Qt has made it the active window, and go unheard: pressed again
    # after five seconds without a change (one heard acts within milliseconds).
    now=
    for ((press = 0; press < 6; ++press)); do
        xdotool key --clearmodifiers alt+t
        now=$(window_kept $state 50) && break
    done
    [[ -n $now ]] || fail "on top: Alt+T did not make it $state"
    [[ $now == "$window" ]] || fail "on top: the window was made anew ($window, then $now)"
    [[ $(xdotool getwindowfocus) == "$window" ]] || fail "on top: the window lost the focus ($state)"
done
# An Escape held down in the About box, repeated by the X server, closes the
# box alone; a fresh one then ends the program.
xdotool key --clearmodifiers alt+a
timeout 60 xdotool search --sync --onlyvisible --name '^Heapwise$' >/dev/null || fail "About: no box appeared"
xdotool keydown Escape sleep 1.5 keyup Escape sleep 0.5
! ended "$pid" || fail "About: an Escape held in the box ended the program"
status=0
press_until_ended "$pid" Escape || status=$?
[[ $status == 0 ]] || fail "on top: exit code $status"

# Qt's own options before the paths go to Qt, not to the terminal mode nor to
# the count; what could not be read is named as the terminal mode names it.
"$program" --print "$scratch/missing" "$scratch/tree" >/dev/null 2>"$scratch/print-errors" || true
timeout 120 "$program" -platform xcb -reverse -style=fusion "$scratch/missing" "$scratch/tree" \
    2>"$scratch/window-errors" &
pid=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1) ||
    fail "Qt options: no window appeared ($(cat "$scratch/window-errors"))"
xdotool windowfocus --sync "$window"
status=0
press_until_ended "$pid" Escape || status=$?
[[ $status == 0 ]] || fail "Qt options: exit code $status"
diff "$scratch/print-errors" "$scratch/window-errors" >&2 || fail "the window names what it could not read otherwise"
for way in escape alt-q; do
    unset QT_QPA_PLATFORM
    timeout 120 "$program" "${long_scan[@]}" &
    pid=$!
    window=$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n 1) ||
        fail "$way: no window appeared"
    xdotool windowfocus --sync "$window"
    status=0
    press_until_ended "$pid" "$([[ $way == escape ]] && echo Escape || echo alt+q)" || status=$?
    [[ $status == 0 ]] || fail "$way: exit code $status (124: it did not end)"
done
echo "program_test: all passed"
