#!/usr/bin/env bash
# Installs what is missing, builds the release program and counts the paths
# given: tools/run.sh PATH...
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release >/dev/null
exec build/release/heapwise --print "$@"
