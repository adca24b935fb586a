#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix (made on first
# use), quietly, with its exit code. Used by CTest for the cross-built tests.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/heapwise-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win32
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$(dirname "$WINEPREFIX")"
# Tests start in parallel: only the first one makes the prefix.
exec 9>"$WINEPREFIX.lock"
flock 9
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot --init >/dev/null 2>&1
    wineserver -w
fi
flock -u 9
exec 9>&-
exec wine "$@"
