#!/usr/bin/env bash
# Installs what is missing, builds the release program and counts the paths
# given: tools/run.sh [QT-OPTION...] PATH... opens the window where a display
# is present (DISPLAY or WAYLAND_DISPLAY set), with Qt's own options
# (-reverse, -style fusion...), and counts in the terminal otherwise; a path
# that begins with '-' comes after "--". Each stage says so in one line on
# standard error, and a stage that fails shows what it printed.
set -euo pipefail
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Runs the stage's command quietly; shows its output where it fails.
stage() {
    local what=$1
    shift
    echo "run.sh: $what" >&2
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "run.sh: $what failed" >&2
        exit 1
    fi
}

stage "installing what is missing" tools/install-deps.sh
stage "configuring (cmake --preset release)" cmake --preset release
stage "building (cmake --build --preset release)" cmake --build --preset release
echo "run.sh: starting build/release/heapwise" >&2
rm -f "$log"
exec build/release/heapwise "$@"
