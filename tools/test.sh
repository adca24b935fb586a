#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the debug build,
# the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests under ThreadSanitizer. Warnings are errors in all three.
# Then the desktop files are validated and the installed layout is checked,
# and the Windows build with MinGW-w64 runs its tests under Wine.
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

echo "=== desktop files ==="
desktop-file-validate resources/heapwise.desktop
appstreamcli validate --no-net --pedantic build/dev/generated/org.example.heapwise.metainfo.xml
staged=$(mktemp -d)
trap 'rm -rf "$staged"' EXIT
DESTDIR=$staged cmake --install build/dev --prefix /usr >/dev/null
for installed in bin/heapwise libexec/heapwise-window share/applications/heapwise.desktop share/metainfo/org.example.heapwise.metainfo.xml \
        share/icons/hicolor/scalable/apps/heapwise.svg \
        share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/heapwise.png; do
    [[ -f $staged/usr/$installed ]] || { echo "not installed: $installed" >&2; exit 1; }
done
desktop-file-validate "$staged/usr/share/applications/heapwise.desktop"
echo "installed layout and desktop files: valid"

echo "=== mingw ==="
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs"
ctest --preset mingw -j "$jobs"

fuzz_seconds=${HEAPWISE_FUZZ_SECONDS:-60}
if (( fuzz_seconds > 0 )); then
    echo "=== fuzz ==="
    tools/fuzz.sh "$fuzz_seconds"
fi
