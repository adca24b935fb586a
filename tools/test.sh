#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the debug build,
# the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests under ThreadSanitizer. Warnings are errors in all three.
# Last, each fuzz target runs for a bounded time (HEAPWISE_FUZZ_SECONDS, 60
# each; 0 skips the stage).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests

jobs=$(nproc)
for preset in dev asan tsan; do
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

fuzz_seconds=${HEAPWISE_FUZZ_SECONDS:-60}
if (( fuzz_seconds > 0 )); then
    echo "=== fuzz ==="
    tools/fuzz.sh "$fuzz_seconds"
fi
