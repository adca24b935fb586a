// The item scan and the recursive folder walk over the one path buffer.
#include "core/walk.h"

#include <cstring>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/tally.h"
#include "core/window_port.h"

namespace {

// The attribute record of the last query, valid until the next one: a
// folder's record is overwritten by the queries made inside it.
ItemAttributes item_attributes;

void count_folder_attributes(uint32_t attributes)
{
    if (attributes & attribute_hidden) ++tally.folders_hidden;
    if (attributes & attribute_system) ++tally.folders_system;
    if (attributes & attribute_read_only) ++tally.folders_read_only;
}

void count_file(uint32_t attributes, uint64_t size)
{
    if (attributes & attribute_hidden) ++tally.files_hidden;
    if (attributes & attribute_system) ++tally.files_system;
    if (attributes & attribute_read_only) ++tally.files_read_only;
    ++tally.file_count;
    tally.total_bytes += size;
}

bool is_dot_or_dot_dot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool is_utf8_continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

}  // namespace

void scan_item()
{
    char* const path = scan_cursor.path;
    const uint32_t len = static_cast<uint32_t>(strlen(path));
    uint32_t separators = 0;
    for (uint32_t i = 0; i < len; ++i) separators += path[i] == path_separator;
    scan_cursor.base_len = len;
    scan_cursor.base_depth = separators;

    // Before the query: an item that cannot be read still counts towards the
    // longest path.
    if (len > tally.max_abs_path) tally.max_abs_path = len;

    const int error = query_item(path, &item_attributes);
    if (error != 0) {
        report_failure(ScanFailure::cannot_read, path, len, nullptr, error);
        return;
    }
    if (item_attributes.attributes & attribute_folder) {
        count_folder_attributes(item_attributes.attributes);
        walk_folder();
    } else {
        count_file(item_attributes.attributes, item_attributes.size);
    }
}

void walk_folder()
{
    char* const path = scan_cursor.path;
    const uint32_t depth = ++scan_cursor.depth;
    ++tally.folder_count;
    show_progress();

    if (depth > tally.max_rel_depth) tally.max_rel_depth = depth;
    if (depth + scan_cursor.base_depth > tally.max_abs_depth)
        tally.max_abs_depth = depth + scan_cursor.base_depth;

    uint32_t len = static_cast<uint32_t>(strlen(path));
    if (len > tally.max_abs_path) tally.max_abs_path = len;
    if (len - scan_cursor.base_len > tally.max_rel_path) tally.max_rel_path = len - scan_cursor.base_len;

    // Without room for a separator nothing below the folder could be named:
    // it is counted, not listed.
    const bool needs_separator = len > 0 && path[len - 1] != path_separator;
    if (len + needs_separator + 1 > path_capacity) {
        report_failure(ScanFailure::cannot_list, path, len, nullptr, path_too_long_error);
        --scan_cursor.depth;
        return;
    }
    const uint32_t folder_len = len;
    if (needs_separator) path[len++] = path_separator;
    char* const name_slot = path + len;
    *name_slot = '\0';

    int error = 0;
    const ListingStart start = open_listing(depth, path, len, &error);
    if (start != ListingStart::opened) {
        if (start == ListingStart::failed)
            report_failure(ScanFailure::cannot_list, path, folder_len, nullptr, error);
        --scan_cursor.depth;
        return;
    }

    uint32_t name_len = 0;
    while (const char* name = next_entry(depth, &name_len)) {
        if (is_dot_or_dot_dot(name)) continue;
        if (len + name_len + 1 > path_capacity) {
            report_failure(ScanFailure::cannot_read, path, len, name, path_too_long_error);
            continue;
        }
        memcpy(name_slot, name, name_len + 1);

        error = query_entry(depth, path, name_slot, &item_attributes);
        if (error != 0) {
            report_failure(ScanFailure::cannot_read, path, len + name_len, nullptr, error);
            continue;
        }
        if (item_attributes.attributes & attribute_folder) {
            count_folder_attributes(item_attributes.attributes);
            walk_folder();
        } else {
            const uint32_t full = len + name_len;
            if (full > tally.max_abs_path) tally.max_abs_path = full;
            if (full - scan_cursor.base_len > tally.max_rel_path)
                tally.max_rel_path = full - scan_cursor.base_len;
            count_file(item_attributes.attributes, item_attributes.size);
        }
    }

    --scan_cursor.depth;
    *name_slot = '\0';
    error = close_listing(depth);
    if (error != 0) report_failure(ScanFailure::cannot_list, path, folder_len, nullptr, error);
}

void shorten_status_text(char* out, const char* rel, uint32_t n, bool whole_characters)
{
    constexpr uint32_t kept = 25;
    if (n < 2 * kept + 4) {
        memcpy(out, rel, n);
        out[n] = '\0';
        return;
    }
    uint32_t head = kept;
    uint32_t tail = n - kept;
    if (whole_characters) {
        while (head > 0 && is_utf8_continuation(rel[head])) --head;
        while (tail < n && is_utf8_continuation(rel[tail])) ++tail;
    }
    char* end = out;
    memcpy(end, rel, head);
    end += head;
    memcpy(end, "...", 3);
    end += 3;
    memcpy(end, rel + tail, n - tail);
    end += n - tail;
    *end = '\0';
}

void show_progress()
{
    char status[progress_text_size];
    const char* rel = scan_cursor.path + scan_cursor.base_len;
    shorten_status_text(status, rel, static_cast<uint32_t>(strlen(rel)), paths_are_utf8());
    post_progress(status);
}
