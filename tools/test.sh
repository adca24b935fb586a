#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the debug build,
# the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests under ThreadSanitizer. Warnings are errors in all three.
# Then the Windows build with MinGW-w64, its tests run under Wine.
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

echo "=== mingw ==="
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
ctest --preset mingw -j "$jobs"

fuzz_seconds=${HEAPWISE_FUZZ_SECONDS:-60}
if (( fuzz_seconds > 0 )); then
    echo "=== fuzz ==="
    tools/fuzz.sh "$fuzz_seconds"
fi
