#!/usr/bin/env bash
# Installs what building (and, with --tests, testing) Heapwise needs on Debian
# or Ubuntu, only where it is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(cmake ninja-build g++ make)
if [[ ${1:-} == --tests ]]; then
    packages+=(googletest locales-all util-linux findutils gawk clang libclang-rt-dev)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
(( ${#missing[@]} == 0 )) && exit 0

as_root=()
(( EUID == 0 )) || as_root=(sudo)
echo "Installing: ${missing[*]}" >&2
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
