// The item scan and the recursive folder walk over a walker's path buffer.
#include "core/walk.h"

#include <cstring>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/walk_team.h"

namespace {

void count_folder_attributes(Tally& share, uint32_t attributes)
{
    if (attributes & attribute_hidden) ++share.folders_hidden;
    if (attributes & attribute_system) ++share.folders_system;
    if (attributes & attribute_read_only) ++share.folders_read_only;
}

void count_file(Tally& share, uint32_t attributes, uint64_t size)
{
    if (attributes & attribute_hidden) ++share.files_hidden;
    if (attributes & attribute_system) ++share.files_system;
    if (attributes & attribute_read_only) ++share.files_read_only;
    ++share.file_count;
    share.total_bytes += size;
}

bool is_dot_or_dot_dot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Counts the folder at entry, posts it as progress, raises the maxima,
// appends its separator and opens its listing. Returns the name slot (the
// length of the path with its separator) when the listing is open and is
// this walker's to list, with the folder's own length in *folder_len; 0 when
// there is nothing to list here (it could not be opened, must not be
// descended, or went to another walker), depth then being as on entry.
uint32_t enter_folder(Walker* walker, const ItemAttributes& folder, uint32_t* folder_len)
{
    ScanCursor& cursor = walker->cursor;
    Tally& share = walker->share;
    char* const path = cursor.path;
    const uint32_t depth = ++cursor.depth;
    ++share.folder_count;
    show_progress(walker);
    publish_share(walker);

    raise(share.max_rel_depth, depth);
    raise(share.max_abs_depth, depth + cursor.base_depth);
    uint32_t len = static_cast<uint32_t>(strlen(path));
    const uint32_t units = path_length(path, len);
    raise(share.max_abs_path, units);
    raise(share.max_rel_path, units - cursor.base_units);

    // Without room for a separator nothing below the folder could be named:
    // it is counted, not listed.
    const bool needs_separator = len > 0 && !is_path_separator(path[len - 1]);
    if (len + needs_separator + 1 > path_capacity) {
        report_failure(ScanFailure::cannot_list, path, len, nullptr, path_too_long_error);
        --cursor.depth;
        return 0;
    }
    *folder_len = len;
    if (needs_separator) path[len++] = path_separator;
    path[len] = '\0';

    int error = 0;
    const ListingStart start = open_listing(walker->listings, depth, folder, path, len, &error);
    if (start != ListingStart::opened) {
        if (start == ListingStart::failed)
            report_failure(ScanFailure::cannot_list, path, *folder_len, nullptr, error);
        --cursor.depth;
        return 0;
    }
    if (hand_off_folder(walker, *folder_len, len)) {
        --cursor.depth;
        return 0;
    }
    return len;
}

}  // namespace

void scan_item(Walker* walker)
{
    ScanCursor& cursor = walker->cursor;
    char* const path = cursor.path;
    const uint32_t len = static_cast<uint32_t>(strlen(path));
    uint32_t separators = 0;
    for (uint32_t i = 0; i < len; ++i) separators += is_path_separator(path[i]);
    cursor.base_len = len;
    cursor.base_units = path_length(path, len);
    cursor.base_depth = separators;

    // Before the query: an item that cannot be read still counts towards the
    // longest path.
    raise(walker->share.max_abs_path, cursor.base_units);

    ItemAttributes item;
    const int error = query_item(path, &item);
    if (error != 0) {
        report_failure(ScanFailure::cannot_read, path, len, nullptr, error);
        return;
    }
    if (item.attributes & attribute_folder) {
        count_folder_attributes(walker->share, item.attributes);
        walker->hands_off = !walk_alone(item);
        walk_folder(walker, item);
    } else {
        count_file(walker->share, item.attributes, item.size);
    }
}

void walk_folder(Walker* walker, const ItemAttributes& folder)
{
    uint32_t folder_len = 0;
    const uint32_t name_slot = enter_folder(walker, folder, &folder_len);
    if (name_slot != 0) list_folder(walker, folder_len, name_slot);
}

void list_folder(Walker* walker, uint32_t folder_len, uint32_t name_slot)
{
    ScanCursor& cursor = walker->cursor;
    char* const path = cursor.path;
    char* const name_at = path + name_slot;
    const uint32_t depth = cursor.depth;
    // The record of the entry being looked at, kept by the walker rather than
    // in every level's frame: a folder's record is used up by opening it.
    ItemAttributes& entry = walker->entry;
    const uint32_t slot_units = path_length(path, name_slot);

    uint32_t name_len = 0;
    while (const char* name = next_entry(walker->listings, depth, &name_len)) {
        if (is_dot_or_dot_dot(name)) continue;
        if (name_slot + name_len + 1 > path_capacity) {
            report_failure(ScanFailure::cannot_read, path, name_slot, name, path_too_long_error);
            continue;
        }
        memcpy(name_at, name, name_len + 1);

        const int error = query_entry(walker->listings, depth, path, name_at, &entry);
        if (error != 0) {
            report_failure(ScanFailure::cannot_read, path, name_slot + name_len, nullptr, error);
            continue;
        }
        if (entry.attributes & attribute_folder) {
            count_folder_attributes(walker->share, entry.attributes);
            // walk_folder written out: one frame per level, not two, keeps
            // the deepest trees within a walker's stack.
            uint32_t sub_len = 0;
            const uint32_t sub_slot = enter_folder(walker, entry, &sub_len);
            if (sub_slot != 0) list_folder(walker, sub_len, sub_slot);
        } else {
            const uint32_t full = slot_units + path_length(name_at, name_len);
            raise(walker->share.max_abs_path, full);
            raise(walker->share.max_rel_path, full - cursor.base_units);
            count_file(walker->share, entry.attributes, entry.size);
            // A folder of many files shows its counts as they grow.
            if ((walker->share.file_count & 1023) == 0) publish_share(walker);
        }
    }

    --cursor.depth;
    *name_at = '\0';
    const int error = close_listing(walker->listings, depth);
    if (error != 0) report_failure(ScanFailure::cannot_list, path, folder_len, nullptr, error);
}

void show_progress(const Walker* walker)
{
    const char* rel = walker->cursor.path + walker->cursor.base_len;
    post_progress(rel, static_cast<uint32_t>(strlen(rel)));
}
