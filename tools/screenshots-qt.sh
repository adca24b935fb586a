#!/usr/bin/env bash
# Takes the pictures of the desktop program's two windows shown in the README,
# under Xvfb: docs/heapwise-qt.png (having counted /usr/include) and
# docs/heapwise-qt-about.png. tools/screenshots-qt.sh [PATH...]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
cmake --preset dev >/dev/null
cmake --build --preset dev --target heapwise_qt_screenshots >/dev/null
mkdir -p docs
(( $# > 0 )) || set -- /usr/include
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum \
    --server-args="-screen 0 1280x800x24 -dpi 96 -nolisten tcp" \
    build/dev/tests/shell/qt/heapwise_qt_screenshots docs "$@"
echo "docs/heapwise-qt.png docs/heapwise-qt-about.png"
