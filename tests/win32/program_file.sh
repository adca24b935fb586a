#!/bin/sh
# heapwise.exe is one 32-bit GUI program that needs nothing beside it: every
# DLL it imports is part of Windows.
set -eu
program=$1
objdump=${2:-i686-w64-mingw32-objdump}
kind=$(file -b "$program")
case $kind in
"PE32 executable (GUI) Intel 80386"*) ;;
*) echo "not a 32-bit GUI program: $kind" >&2; exit 1 ;;
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
echo "$kind; imports:" $imports
exit $status
