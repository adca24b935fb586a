#!/usr/bin/env bash
# Runs a windowed Windows program under Wine on a virtual X display of its
# own, with its exit code.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-gui-session.sh"
"$here/wine-run.sh" "$@"
