#!/usr/bin/env bash
# Installs what building (and, with --tests, testing) Heapwise needs on Debian
# or Ubuntu, only where it is missing. Uses sudo when not run as root.
# The tests also cross-build the Windows program for 32 and 64 bits and run
# it under Wine; 32-bit Wine needs the i386 architecture (and a kernel that
# runs 32-bit programs, which the tests check). Packages named after the
# options are installed too (the checks by eye name theirs).
#   tools/install-deps.sh [--tests] [PACKAGE...]
set -euo pipefail

tests=false
if [[ ${1:-} == --tests ]]; then
    tests=true
    shift
fi
# qt6-wayland: the window's platform plugin on a Wayland session without X11,
# which --no-install-recommends would leave out.
packages=(cmake ninja-build g++ make qt6-base-dev qt6-base-dev-tools qt6-wayland libgl-dev libxcb1-dev "$@")
if $tests; then
    packages+=(googletest locales-all util-linux findutils gawk file clang libclang-rt-dev
               xvfb xauth x11-utils xdotool openbox desktop-file-utils appstream librsvg2-bin
               dpkg-dev lintian man-db
               g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix
               binutils-mingw-w64-x86-64 wine wine32:i386 wine64 fonts-wine)
fi

as_root=()
(( EUID == 0 )) || as_root=(sudo)

if $tests && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
(( ${#missing[@]} == 0 )) && exit 0

echo "Installing: ${missing[*]}" >&2
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
