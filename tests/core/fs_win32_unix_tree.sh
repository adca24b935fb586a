#!/bin/sh
# Makes, on the host side, what a Windows program under Wine cannot make for
# itself: symbolic links (to folders, to a file, to each other, to nowhere),
# names Windows cannot hold, and files whose write bits are gone.
set -eu
root=$1
if [ -e "$root" ]; then chmod -R u+w "$root" 2>/dev/null || true; rm -rf "$root"; fi
mkdir -p "$root/links/top/real" "$root/links/top/a" "$root/links/top/b" "$root/names/top" "$root/modes/top/locked"
printf abc >"$root/links/top/real/f"
ln -s real "$root/links/top/to_folder"
ln -s real/f "$root/links/top/to_file"
ln -s ../b "$root/links/top/a/to_b"
ln -s ../a "$root/links/top/b/to_a"
ln -s . "$root/links/top/self"
ln -s /nonexistent/heapwise "$root/links/top/dangling"

printf x >"$root/names/top/fine"
# The last one has a character no code page but UTF-8 holds.
for name in 'question?' 'back\slash' 'ends with dot.' 'ends with space ' 'less<than' 'pipe|d' 'smile😀'; do
    printf yy >"$root/names/top/$name"
done

printf 1234 >"$root/modes/top/locked/inside"
printf 12 >"$root/modes/top/no_write"
chmod a-w "$root/modes/top/no_write" "$root/modes/top/locked"
