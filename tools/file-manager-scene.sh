# Sourced by the checks by eye with a real file manager: installs what they
# need, builds the release program, makes $work with a file and a folder to
# count (files/report.txt of 1,234 bytes; files/folder holding a and sub/b)
# and starts Xvfb on a display of its own (DISPLAY exported). Whatever the
# caller starts goes into pids, which end with the caller, as $work does.
tools/install-deps.sh pcmanfm libfm-modules xdotool imagemagick xvfb
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
