#!/usr/bin/env bash
# Installs what is missing, builds the release program and counts the paths
# given: tools/run.sh PATH... opens the window where a display is present
# (DISPLAY or WAYLAND_DISPLAY set), and counts in the terminal otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    exec build/release/heapwise -- "$@"
fi
exec build/release/heapwise --print "$@"
