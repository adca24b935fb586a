#!/usr/bin/env bash
# Draws the PNG icons (hicolor theme sizes 16 to 256) from resources/icons/heapwise.svg,
# the desktop icon, but the small sizes (16, 22, 24) from their own drawings on
# a pixel grid (resources/icons/heapwise-SIZE.svg), as a scaled heap blurs
# there; then the Windows icon, which takes three of them beside its own
# 16-colour drawing (tools/make-icon.py).
# The results are committed; run again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 22 24 32 48 64 128 256; do
    folder=resources/icons/hicolor/${size}x${size}/apps
    mkdir -p "$folder"
    drawing=resources/icons/heapwise-$size.svg
    [[ -e $drawing ]] || drawing=resources/icons/heapwise.svg
    rsvg-convert --width "$size" --height "$size" "$drawing" --output "$folder/heapwise.png"
done
python3 tools/make-icon.py
