// The file-system layer on Windows: each folder is listed with FindFirstFileA
// and FindNextFileA into a record kept per level, and each entry is queried
// with GetFileAttributesExA on its full path. Nothing is allocated.
//
// The system's own R, H and S bits are counted as they are. Below the
// top-level item a folder that is a link (a name-surrogate reparse point:
// symbolic link, junction) is counted but not descended; other folder
// reparse points, such as cloud placeholders, are walked as usual.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>

#include "core/file_system.h"

const char path_separator = '\\';
const int path_too_long_error = ERROR_FILENAME_EXCED_RANGE;

namespace {

struct ListingLevel {
    HANDLE handle;          // INVALID_HANDLE_VALUE for a listing with no entries
    WIN32_FIND_DATAA record;  // the entry next_entry returned last
    int error;              // what ended the listing early, 0 otherwise
    bool first_pending;     // FindFirstFileA's entry is not handed out yet
    bool at_end;
};

ListingLevel levels[max_folder_level + 1];

// Attributes of the last entry queried: the folder open_listing opens.
DWORD queried_attributes;

// An error number for a call that failed without saying why, so a failure is
// never mistaken for success.
int last_error()
{
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

int query(const char* path, ItemAttributes* out)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return last_error();
    out->attributes = data.dwFileAttributes &
        (attribute_read_only | attribute_hidden | attribute_system | attribute_folder);
    out->size = out->attributes & attribute_folder
        ? 0
        : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    queried_attributes = data.dwFileAttributes;
    return 0;
}

// Whether the entry the listing at `level` returned last is a folder the walk
// must not enter. The reparse tag comes only with the listing record; a
// reparse point whose record carries none (as under Wine, where a Unix
// symbolic link shows as one) is taken for a link, the safe side.
bool is_link(const ListingLevel& listing)
{
    const bool listed_as_reparse = (listing.record.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool queried_as_reparse = (queried_attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!listed_as_reparse && !queried_as_reparse) return false;
    const DWORD tag = listed_as_reparse ? listing.record.dwReserved0 : 0;
    return tag == 0 || IsReparseTagNameSurrogate(tag);
}

}  // namespace

int query_item(const char* path, ItemAttributes* out)
{
    return query(path, out);
}

int query_entry(uint32_t level, const char* path, const char* name, ItemAttributes* out)
{
    (void)level;
    (void)name;
    return query(path, out);
}

ListingStart open_listing(uint32_t level, char* path, uint32_t name_slot, int* error)
{
    // The pattern needs "*" and a terminator at the name slot.
    if (level == 0 || level > max_folder_level || name_slot + 2 > path_capacity) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return ListingStart::failed;
    }
    // The top-level item was named by the user and may be a link.
    if (level > 1 && is_link(levels[level - 1])) return ListingStart::not_descended;

    ListingLevel& listing = levels[level];
    const char saved[2] = {path[name_slot], path[name_slot + 1]};
    path[name_slot] = '*';
    path[name_slot + 1] = '\0';
    // Not every system fills in the tag (Wine leaves it as it was): clear it
    // first so a stale one is never read.
    listing.record.dwReserved0 = 0;
    listing.handle = FindFirstFileA(path, &listing.record);
    const int failure = listing.handle == INVALID_HANDLE_VALUE ? last_error() : 0;
    path[name_slot] = saved[0];
    path[name_slot + 1] = saved[1];

    listing.error = 0;
    listing.first_pending = listing.handle != INVALID_HANDLE_VALUE;
    listing.at_end = !listing.first_pending;
    // Only a drive root lacks "." and "..": an empty one matches nothing.
    if (listing.handle == INVALID_HANDLE_VALUE && failure != ERROR_FILE_NOT_FOUND) {
        *error = failure;
        return ListingStart::failed;
    }
    return ListingStart::opened;
}

const char* next_entry(uint32_t level, uint32_t* name_len)
{
    ListingLevel& listing = levels[level];
    if (listing.first_pending) {
        listing.first_pending = false;
    } else {
        if (listing.at_end) return nullptr;
        listing.record.dwReserved0 = 0;
        if (!FindNextFileA(listing.handle, &listing.record)) {
            const int error = last_error();
            listing.at_end = true;
            if (error != ERROR_NO_MORE_FILES) listing.error = error;
            return nullptr;
        }
    }
    *name_len = static_cast<uint32_t>(strnlen(listing.record.cFileName, MAX_PATH));
    return listing.record.cFileName;
}

int close_listing(uint32_t level)
{
    ListingLevel& listing = levels[level];
    if (listing.handle != INVALID_HANDLE_VALUE) FindClose(listing.handle);
    listing.handle = INVALID_HANDLE_VALUE;
    return listing.error;
}

bool paths_are_utf8()
{
    return GetACP() == CP_UTF8;
}
