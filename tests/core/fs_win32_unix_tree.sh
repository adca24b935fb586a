#!/bin/sh
# Makes, on the host side, what a Windows program under Wine cannot make for
# itself: symbolic links (to folders, to a file, to each other, to nowhere),
# names Windows cannot hold or would take for others, files whose write bits
# are gone, and a tree of long paths the same here as under Wine, for the
# Linux program to count too.
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
for name in 'question?' 'back\slash' 'less<than' 'pipe|d' 'smile😀'; do
    printf yy >"$root/names/top/$name"
done

# Names that end in a dot or a space, as Linux and macOS shares, archives and
# WSL have them, beside the names without ("a." is not "a"), and names outside
# ASCII, one beyond the first plane. Beside the tree, what the host counts in
# it: files, folders, bytes and the longest path below it in UTF-16 units.
dots=$root/dots/top
mkdir -p "$dots/a" "$dots/a." "$dots/d " "$dots/ééé"
printf 12 >"$dots/a/f2"
printf 1 >"$dots/a./f1"
printf 123 >"$dots/b."
printf 1234 >"$dots/c "
printf 12345 >"$dots/d /g"
printf 123456 >"$dots/ééé/ü😀"
longest=$(cd "$dots" && find . -mindepth 1 | while IFS= read -r path; do
    printf '%s' "${path#.}" | iconv -f UTF-8 -t UTF-16LE | wc -c
done | sort -n | tail -n 1)
echo "$(find "$dots" -type f | wc -l) $(find "$dots" -type d | wc -l)" \
    "$(find "$dots" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }') $((longest / 2))" >"$root/dots/expected"

printf 1234 >"$root/modes/top/locked/inside"
printf 12 >"$root/modes/top/no_write"
chmod a-w "$root/modes/top/no_write" "$root/modes/top/locked"

# Paths past the 260 characters where the ANSI calls stop, as Windows shows
# them under Z: (2 characters more than here): below long/top, 8 nested
# folders of 100-character names, files whose paths are exactly 300 and 1,000
# characters long (of 300 and 1,000 bytes), and a folder named with 85 CJK
# characters (255 bytes, the most a Linux file system holds) holding a file of
# 85 bytes.
repeat() { printf "%${2}s" '' | tr ' ' "$1"; }
file_at_length() {
    name=$(repeat f $(($2 - 2 - ${#1} - 1)))
    [ -n "$name" ] || { echo "$root is too long for a path of $2 characters" >&2; exit 1; }
    head -c "$3" /dev/zero >"$1/$name"
}
top=$root/long/top
folder=$top
mkdir -p "$top"
for level in 1 2 3 4 5 6 7 8; do
    folder=$folder/$(repeat d 100)
    mkdir "$folder"
    [ "$level" != 1 ] || file_at_length "$folder" 300 300
done
file_at_length "$folder" 1000 1000
cjk=$(printf '\346\274\242%.0s' $(seq 85))
mkdir "$top/$cjk"
head -c 85 /dev/zero >"$top/$cjk/f"
