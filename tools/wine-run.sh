#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (made on first
# use), quietly, with its exit code. Used by CTest for the cross-built tests.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/heapwise-wine}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
mkdir -p "$(dirname "$WINEPREFIX")"
# Tests start in parallel: only the first one makes the prefix.
exec 9>"$WINEPREFIX.lock"
flock 9
wine_make_prefix
flock -u 9
exec 9>&-
exec wine "$@"
