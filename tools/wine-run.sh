#!/usr/bin/env bash
# Runs a Windows program under Wine (of HEAPWISE_WINE_ARCH, tools/wine-env.sh)
# in the project's own prefix for it (made on first use), quietly, with its
# exit code. Used by CTest for the cross-built tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/$wine_prefix_name}
mkdir -p "$(dirname "$WINEPREFIX")"
# Tests start in parallel: only the first one makes the prefix.
exec 9>"$WINEPREFIX.lock"
flock 9
wine_make_prefix
flock -u 9
exec 9>&-
exec "$wine_loader" "$@"
