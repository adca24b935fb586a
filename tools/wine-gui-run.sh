#!/usr/bin/env bash
# Runs a windowed Windows program under Wine on a virtual X display of its
# own, with its exit code. Windowed runs use a Wine prefix of their own and
# take turns in it, so that Wine's desktop process always belongs to the
# display of the run in progress.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${HEAPWISE_GUI_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/heapwise-wine-gui}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 8>"$WINEPREFIX.run-lock"
flock 8

# Wine's own fonts (Debian: fonts-wine), so the dialogs are measured in the
# fonts they are drawn for. Wine does not look for them by itself here.
if [[ -d /usr/share/wine/fonts ]]; then
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=} \
            wineboot --init >/dev/null 2>&1
        wineserver -w
    fi
    for font in /usr/share/wine/fonts/*; do
        [[ -e $WINEPREFIX/drive_c/windows/Fonts/${font##*/} ]] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
fi

display_file=$(mktemp)
Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$display_file" 2>/dev/null &
xvfb=$!
stop() {
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -f "$display_file"
}
trap stop EXIT
for _ in $(seq 100); do
    [[ -s $display_file ]] && break
    kill -0 "$xvfb" 2>/dev/null || { echo "wine-gui-run: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s $display_file ]] || { echo "wine-gui-run: Xvfb gave no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")

"$here/wine-run.sh" "$@"
