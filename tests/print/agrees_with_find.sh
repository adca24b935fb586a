#!/usr/bin/env bash
# Checks every count of `heapwise --print --json` against counts derived from find(1), for a tree built
# here and for /usr/share, or for the PATHs given instead. Usage: agrees_with_find.sh HEAPWISE [PATH...].
# Exits 0 when all agree.
#
# The meanings counted: R = none of the three write bits, H = the item's own name starts with "." (not
# "." or ".."), S = a device, FIFO or socket (folders never S); the top-level path is followed when it is
# a link, links below it are files of their own size; the top-level folder is level 1; path lengths are
# in bytes, the relative ones measured from the end of the top-level path as given.
set -u
heapwise=${1:?usage: agrees_with_find.sh HEAPWISE}
export LC_ALL=C  # lengths in bytes, messages untranslated

work=$(mktemp -d "${TMPDIR:-/tmp}/heapwise-find-XXXXXX") || exit 1
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
umask 022

# The tree: nested folders, dot-files and a dot-folder, read-only files and a read-only folder, links
# to a file, a folder, nothing and themselves, a FIFO, a device where allowed, names with spaces and
# multi-byte characters, sizes from 0 to a sparse 5 GiB.
tree=$work/tree
mkdir -p "$tree/a/b/c/d" "$tree/.dotdir/inner" "$tree/ro_dir/sub" "$tree/empty" "$tree/grüße ordner"
head -c 1234 /dev/zero > "$tree/a/b/c/d/deep.txt"
head -c 1 /dev/zero > "$tree/a/one"
: > "$tree/a/b/zero"
head -c 7 /dev/zero > "$tree/.dotfile"
head -c 3 /dev/zero > "$tree/a/.hidden"
head -c 10 /dev/zero > "$tree/.dotdir/inner/x"
head -c 11 /dev/zero > "$tree/ro_file"
head -c 2 /dev/zero > "$tree/mode000"
head -c 4 /dev/zero > "$tree/group_writable"
head -c 5 /dev/zero > "$tree/ro_dir/sub/f"
head -c 4096 /dev/zero > "$tree/grüße ordner/with space.bin"
truncate -s 5G "$tree/sparse"
ln -s a/one "$tree/link_file"
ln -s a "$tree/link_dir"
ln -s nowhere "$tree/dangling"
ln -s link_loop "$tree/link_loop"
mkfifo "$tree/pipe"
mknod "$tree/nulldev" c 1 3 2>/dev/null || true
chmod 444 "$tree/ro_file" "$tree/ro_dir/sub/f"
chmod 000 "$tree/mode000"
chmod 464 "$tree/group_writable"  # not read-only: a write bit is set, if not the owner's
chmod 555 "$tree/ro_dir"
ln -s "$tree" "$work/toplink"

# The Tally that a listing by `find -H PATH -printf "$listing"` gives, one "field value" line each, in the
# order heapwise writes them. Names are NUL-terminated in the listing; a newline in one becomes "?".
listing='%y\t%m\t%s\t%d\t%p\0'
expected_counts() {
    tr '\n\0' '?\n' | awk -F '\t' '
        function no_write_bit(mode,    i) {
            while (length(mode) < 3) mode = "0" mode
            for (i = length(mode) - 2; i <= length(mode); i++)
                if (int(substr(mode, i, 1) / 2) % 2 == 1) return 0
            return 1
        }
        function hidden(path,    name) {
            name = path
            sub(/\/+$/, "", name)
            sub(/.*\//, "", name)
            return substr(name, 1, 1) == "." && name != "." && name != ".."
        }
        {
            type = $1; mode = $2; size = $3; depth = $4
            path = $0
            for (i = 0; i < 4; i++) path = substr(path, index(path, "\t") + 1)
            len = length(path)
            if (depth == 0) {
                top_len = len
                base_depth = gsub(/\//, "/", path)
                if (len > abs_path) abs_path = len
            }
            if (type == "d") {
                folders++
                if (no_write_bit(mode)) folders_ro++
                if (hidden(path)) folders_hidden++
                if (depth + 1 > rel_depth) rel_depth = depth + 1
                if (depth + 1 + base_depth > abs_depth) abs_depth = depth + 1 + base_depth
            } else {
                files++
                if (no_write_bit(mode)) files_ro++
                if (type == "p" || type == "s" || type == "c" || type == "b") files_system++
                if (hidden(path)) files_hidden++
                bytes += size
            }
            if (type == "d" || depth > 0) {
                if (len > abs_path) abs_path = len
                if (len - top_len > rel_path) rel_path = len - top_len
            }
        }
        END {
            printf "file_count %d\nfiles_read_only %d\n", files, files_ro
            printf "files_system %d\nfiles_hidden %d\n", files_system, files_hidden
            printf "folder_count %d\nfolders_read_only %d\n", folders, folders_ro
            printf "folders_system 0\nfolders_hidden %d\n", folders_hidden
            printf "total_bytes %.0f\n", bytes
            printf "max_rel_depth %d\nmax_abs_depth %d\n", rel_depth, abs_depth
            printf "max_rel_path %d\nmax_abs_path %d\n", rel_path, abs_path
        }'
}

# heapwise's JSON object as "field value" lines.
heapwise_counts() {
    { tr -d '{} \n' | tr ',' '\n'; echo; } | sed 's/"//g; s/:/ /'
}

failures=0
check() {
    local target=$1 find_status heapwise_status
    find -H "$target" -printf "$listing" > "$work/listing" 2> "$work/find.err"
    find_status=$?
    expected_counts < "$work/listing" > "$work/expected"
    "$heapwise" --print --json -- "$target" > "$work/json" 2> "$work/heapwise.err"
    heapwise_status=$?
    heapwise_counts < "$work/json" > "$work/actual"

    if ! diff -u --label "find: $target" --label "heapwise: $target" "$work/expected" "$work/actual"; then
        failures=$((failures + 1))
    # What find could not read, heapwise must report: exit 1, and 0 only when find read everything.
    elif [ "$find_status" -eq 0 ] && [ "$heapwise_status" -ne 0 ]; then
        echo "heapwise exited $heapwise_status for $target, which find read whole:"
        cat "$work/heapwise.err"
        failures=$((failures + 1))
    elif [ "$find_status" -ne 0 ] && [ "$heapwise_status" -ne 1 ]; then
        echo "heapwise exited $heapwise_status for $target, where find met errors:"
        cat "$work/find.err"
        failures=$((failures + 1))
    else
        echo "agree: $target ($(head -n 1 "$work/actual"), $(sed -n 5p "$work/actual"))"
    fi
}

shift
if [ "$#" -gt 0 ]; then
    targets=("$@")
else
    targets=("$tree" "$tree/" "$work/toplink" "$tree/.dotdir" "$tree/.dotdir/" "$tree/a/b/c/d/deep.txt")
    [ -d /usr/share ] && targets+=(/usr/share)
fi
for target in "${targets[@]}"; do
    check "$target"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures top-level path(s) disagree"
    exit 1
fi
exit 0
