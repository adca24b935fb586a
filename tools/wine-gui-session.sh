# Sourced by the scripts that run windowed Windows programs under Wine: takes
# the windowed runs' own Wine prefix (runs take turns in it, so that Wine's
# desktop process always belongs to the display of the run in progress), gives
# it Wine's own fonts, and starts a virtual X display of WINE_GUI_SCREEN
# (default 1024x768x24) as DISPLAY. On exit, stops Wine and the display after
# calling wine_gui_cleanup when the caller defines it.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export WINEPREFIX=${HEAPWISE_GUI_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/$wine_prefix_name-gui}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 8>"$WINEPREFIX.run-lock"
flock 8
wine_make_prefix
# Wine's own fonts (Debian: fonts-wine), so the dialogs are measured and drawn
# in the fonts they are made for. Wine does not look for them by itself here.
if [[ -d /usr/share/wine/fonts ]]; then
    for font in /usr/share/wine/fonts/*; do
        [[ -e $WINEPREFIX/drive_c/windows/Fonts/${font##*/} ]] || cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
fi

wine_gui_display_file=$(mktemp)
Xvfb -displayfd 7 -screen 0 "${WINE_GUI_SCREEN:-1024x768x24}" -nolisten tcp 7>"$wine_gui_display_file" 2>/dev/null &
wine_gui_xvfb=$!
wine_gui_stop() {
    if declare -F wine_gui_cleanup >/dev/null; then wine_gui_cleanup || true; fi
    wineserver -k 2>/dev/null || true
    kill "$wine_gui_xvfb" 2>/dev/null || true
    wait "$wine_gui_xvfb" 2>/dev/null || true
    rm -f "$wine_gui_display_file"
}
trap wine_gui_stop EXIT
for _ in $(seq 300); do
    [[ -s $wine_gui_display_file ]] && break
    kill -0 "$wine_gui_xvfb" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s $wine_gui_display_file ]] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$wine_gui_display_file")
