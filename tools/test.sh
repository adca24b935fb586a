#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the debug build,
# the unit tests under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# threaded tests under ThreadSanitizer. Warnings are errors in all three.
# Then the desktop files, the metainfo and the manual page are validated and
# the installed layout is checked; the Debian package is made and checked by
# lintian; the terminal program is built without Qt and run; the Windows
# programs, 32-bit and 64-bit, are cross-built with MinGW-w64, their tests run
# under Wine where it can start, and their release zips are made and looked
# into.
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

echo "=== desktop files, manual page, installed layout ==="
desktop-file-validate resources/heapwise.desktop
appstreamcli validate --no-net --pedantic build/dev/generated/org.example.heapwise.metainfo.xml
staged=$(mktemp -d)
trap 'rm -rf "$staged"' EXIT
DESTDIR=$staged cmake --install build/dev --prefix /usr >/dev/null
for installed in bin/heapwise libexec/heapwise-window share/applications/heapwise.desktop share/metainfo/org.example.heapwise.metainfo.xml \
        share/icons/hicolor/scalable/apps/heapwise.svg \
        share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/heapwise.png \
        share/man/man1/heapwise.1.gz share/man/man1/heapwise-window.1.gz share/doc/heapwise/{copyright,changelog.gz} \
        share/kio/servicemenus/heapwise-count.desktop share/file-manager/actions/heapwise-count.desktop; do
    [[ -f $staged/usr/$installed ]] || { echo "not installed: $installed" >&2; exit 1; }
done
desktop-file-validate "$staged/usr/share/applications/heapwise.desktop"
# The manual page renders without a warning and describes every option that
# --help lists.
manual=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$staged/usr/share/man/man1/heapwise.1.gz" 2>"$staged/man.log")
[[ ! -s $staged/man.log ]] || { cat "$staged/man.log" >&2; exit 1; }
options=$(build/dev/heapwise --help | sed -n '/^Options:/,/^$/p' | grep -oE -- '^  -[-a-z]*(, -[-a-z]*)*' | tr -d ' ' | tr ',' ' ')
[[ -n $options ]] || { echo "no options found in --help" >&2; exit 1; }
for option in $options; do
    grep -qE -- "(^|[^-a-z])$option([^-a-z]|$)" <<<"$manual" || { echo "the manual page lacks $option" >&2; exit 1; }
done
echo "installed layout, desktop files and manual page: valid"

echo "=== Debian package ==="
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
rm -f build/release/heapwise_*.deb
(cd build/release && cpack -G DEB >/dev/null)
lintian --fail-on error,warning build/release/heapwise_*.deb 2> >(grep -v 'running with root privileges' >&2)
echo "lintian: no error or warning"
# The release hardening, which lintian checks only among its informational tags.
hardening=$(lintian --pedantic -I --tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro,hardening-no-pie \
    build/release/heapwise_*.deb 2>/dev/null)
[[ -z $hardening ]] || { echo "the release build lacks hardening: $hardening" >&2; exit 1; }
echo "lintian: hardened (bindnow, fortify, relro, pie)"

echo "=== terminal-only build ==="
# A plain configure where Qt is missing: the terminal program alone, which
# counts in the terminal where it would open the window, and says so.
terminal_only=build/terminal-only
cmake -S . -B "$terminal_only" -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=TRUE -DHEAPWISE_WERROR=ON >"$staged/configure.log"
grep -Fx -- '-- Qt 6 Widgets not found: the window is left out, heapwise counts in the terminal only' "$staged/configure.log"
cmake --build "$terminal_only" -j "$jobs"
[[ ! -e $terminal_only/heapwise-window ]] || { echo "the window program was built without Qt" >&2; exit 1; }
expected=$(build/dev/heapwise --print docs)
actual=$(DISPLAY=:0 "$terminal_only/heapwise" docs 2>"$staged/stderr")
[[ $actual == "$expected" ]] || { echo "terminal-only build counted '$actual', not '$expected'" >&2; exit 1; }
[[ $(cat "$staged/stderr") == "heapwise: the window is not built (Qt 6 Widgets was missing); counting in the terminal" ]] ||
    { echo "terminal-only build said: $(cat "$staged/stderr")" >&2; exit 1; }
echo "terminal-only build: counts in the terminal"

# The Windows program is cross-built for 32 bits (the one shipped for every
# Windows) and 64 bits. The 64-bit suite runs under wine64 on every machine;
# the 32-bit one where the kernel runs 32-bit programs, which some kernels
# refuse ("Exec format error"): 32-bit Wine's own loader, a 32-bit program,
# is asked. Both programs and their zips are built and checked everywhere.
wine32=/usr/lib/wine/wine
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
if "$wine32" --version >/dev/null 2>"$staged/wine32.log"; then
    runs32=true why32="this machine runs 32-bit programs"
else
    runs32=false why32="32-bit Wine cannot start here ($(head -n1 "$staged/wine32.log" | sed 's/.*: //'))"
fi
if "$wine64" --version >/dev/null 2>"$staged/wine64.log"; then
    runs64=true
else
    runs64=false
fi
if ! $runs32 && ! $runs64; then
    echo "Neither Wine can start: the 32-bit one says '$(head -n1 "$staged/wine32.log")'," \
        "the 64-bit one '$(head -n1 "$staged/wine64.log")'. The Windows tests need wine64 (package wine64)" \
        "or, where the kernel runs 32-bit programs, wine32:i386." >&2
    exit 1
fi
if $runs32 && $runs64; then
    echo "Windows tests: the 64-bit suite under wine64 and the 32-bit suite under Wine: $why32"
elif $runs64; then
    echo "Windows tests: the 64-bit suite under wine64 only: $why32"
else
    echo "Windows tests: the 32-bit suite only: wine64 cannot start here ($(head -n1 "$staged/wine64.log"))"
fi

# windows_build PRESET BITS RUNS: builds the preset, runs its tests (only the
# check of the program file where its Wine cannot start), and makes and
# checks the release zip.
windows_build() {
    local preset=$1 bits=$2 runs=$3
    echo "=== $preset ==="
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    if $runs; then
        ctest --preset "$preset" -j "$jobs"
    else
        ctest --preset "$preset" -L program
    fi

    echo "=== Windows download, $bits-bit ==="
    local build=build/$preset-release
    cmake --preset "$preset-release" >/dev/null
    cmake --build --preset "$preset-release" -j "$jobs"
    rm -f "$build"/heapwise-*-win"$bits".zip
    (cd "$build" && cpack -G ZIP >/dev/null)
    local zip folder contents unpacked=$staged/zip$bits
    zip=$(realpath "$build"/heapwise-*-win"$bits".zip)
    mkdir "$unpacked"
    (cd "$unpacked" && cmake -E tar xf "$zip")
    folder=heapwise-$(build/dev/heapwise --version | cut -d' ' -f2)-win$bits
    contents=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
    [[ $contents == "./$folder/LICENSE.txt ./$folder/README.txt ./$folder/THIRD-PARTY.txt ./$folder/heapwise.exe " ]] ||
        { echo "the zip holds: $contents" >&2; return 1; }
    local objdump
    objdump=$(grep -m1 '^CMAKE_OBJDUMP:' "$build/CMakeCache.txt" | cut -d= -f2)
    sh tests/win32/program_file.sh "$unpacked/$folder/heapwise.exe" "$objdump" "$bits"
    for text in README.txt LICENSE.txt THIRD-PARTY.txt; do
        file "$unpacked/$folder/$text" | grep -q 'CRLF line terminators' ||
            { echo "$text has no Windows line ends" >&2; return 1; }
    done
    echo "Windows download: $(basename "$zip")"
}
windows_build mingw 32 "$runs32"
windows_build mingw64 64 "$runs64"

fuzz_seconds=${HEAPWISE_FUZZ_SECONDS:-60}
if (( fuzz_seconds > 0 )); then
    echo "=== fuzz ==="
    tools/fuzz.sh "$fuzz_seconds"
fi
