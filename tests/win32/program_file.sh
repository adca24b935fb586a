#!/bin/sh
# heapwise.exe is one GUI program of the architecture asked for (32, the one
# shipped for every Windows, or 64) that needs nothing beside it: every DLL
# it imports is part of Windows, and its manifest asks for the common
# controls of its own architecture.
#   program_file.sh PROGRAM [OBJDUMP] [32|64]
set -eu
program=$1
objdump=${2:-i686-w64-mingw32-objdump}
bits=${3:-32}
case $bits in
32) expected="PE32 executable (GUI) Intel 80386"; architecture=x86 ;;
64) expected="PE32+ executable (GUI) x86-64"; architecture=amd64 ;;
*) echo "program_file.sh: 32 or 64, not $bits" >&2; exit 2 ;;
esac
kind=$(file -b "$program")
case $kind in
"$expected"*) ;;
*) echo "not a $bits-bit GUI program: $kind" >&2; exit 1 ;;
esac
imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$imports" ] || { echo "no imports found" >&2; exit 1; }
status=0
for dll in $imports; do
    case $dll in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | comctl32.dll | msvcrt.dll | advapi32.dll) ;;
    *) echo "imports $dll, which is not part of Windows" >&2; status=1 ;;
    esac
done
# The manifest is stored as it is written: its text is in the file.
named=$(grep -a -o 'processorArchitecture="[^"]*"' "$program" | sort -u | tr '\n' ' ')
[ "$named" = "processorArchitecture=\"$architecture\" " ] ||
    { echo "the manifest names ${named:-no architecture}, not only $architecture" >&2; status=1; }
echo "$kind; imports:" $imports
exit $status
