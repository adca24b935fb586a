// The file-system layer on Windows: each folder is listed with FindFirstFileW
// and FindNextFileW into a record kept per level, and each entry is queried
// with GetFileAttributesExW on its full path. Paths are UTF-8 inside the
// program; each is converted to UTF-16 at the call, and each listed name back
// to UTF-8, in fixed buffers. Nothing is allocated per entry or per folder: a
// walker's level takes its memory the first time the walker reaches it.
//
// The top-level item is resolved by the rules for a path a user types; what
// the walk appends below it reaches the system exactly as it was listed, so
// names that end in a dot or a space (from Linux shares, archives, WSL) are
// counted as themselves, not as the name without them.
//
// The system's own R, H and S bits are counted as they are. Below the
// top-level item a folder that is a link (a name-surrogate reparse point:
// symbolic link, junction) is counted but not descended; other folder
// reparse points, such as cloud placeholders, are walked as usual.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "core/file_system.h"

const char path_separator = '\\';
const int path_too_long_error = ERROR_FILENAME_EXCED_RANGE;
const int out_of_memory_error = ERROR_NOT_ENOUGH_MEMORY;

bool is_path_separator(char c)
{
    return c == '\\' || c == '/';
}

uint32_t path_length(const char* text, uint32_t n)
{
    uint32_t units = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80) ++units;  // a character starts here
        if (byte >= 0xF0) ++units;           // past the first plane: a surrogate pair
    }
    return units;
}

namespace {

// A listed name has at most MAX_PATH - 1 UTF-16 units, and each takes at most
// 3 bytes in UTF-8 (a surrogate pair, two units, takes 4).
constexpr int entry_name_capacity = 3 * (MAX_PATH - 1) + 1;

struct ListingLevel {
    HANDLE handle;          // INVALID_HANDLE_VALUE for a listing with no entries
    DWORD attributes;       // of the entry next_entry returned last, as listed
    DWORD reparse_tag;      // its reparse tag; 0 when the listing gave none
    uint32_t name_len;
    int error;              // what ended the listing early, 0 otherwise
    bool first_pending;     // FindFirstFileW's entry is not handed out yet
    bool at_end;
    char name[entry_name_capacity];  // its name in UTF-8
};

}  // namespace

// Room for a resolved path: the current folder in front of a relative one,
// "\\?\UNC\" in front of a share, and the path buffer's 4,095 UTF-8 bytes
// (at most as many UTF-16 units).
constexpr size_t wide_path_capacity = 8 + MAX_PATH + path_capacity;

struct FolderListings {
    ListingLevel* levels[max_folder_level + 1];  // taken on first use
    // The top-level folder being walked, with its separator, resolved once in
    // the "\\?\" form, which takes what follows it verbatim; and how many
    // bytes of the walk's paths it stands for. 0 bytes until a walk opens one.
    uint32_t top_bytes;
    uint32_t top_units;
    wchar_t top[wide_path_capacity];
};

namespace {

// An error number for a call that failed without saying why, so a failure is
// never mistaken for success.
int last_error()
{
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

// A path as the wide calls take it.
struct WidePath {
    wchar_t given[path_capacity];
    wchar_t full[wide_path_capacity];
};

bool starts_with(const wchar_t* text, const wchar_t* start)
{
    return wcsncmp(text, start, wcslen(start)) == 0;
}

// `path` in the form the wide calls take, in `wide`; null with *error set
// when it cannot be formed.
//
// Short absolute paths ("C:\...", "\\server\share\...") are passed as given,
// unless `prefixed` asks for the "\\?\" form: the system resolves them
// itself, at no cost here. Any other path, long or
// relative (a short one may resolve past MAX_PATH with the current folder in
// front), is first resolved with GetFullPathNameW, the resolution the system
// applies to every path without a prefix ("." and ".." removed, "/" made "\",
// the current folder in front), and then given the "\\?\" prefix ("\\?\UNC\"
// for a share), which lifts the MAX_PATH limit but takes a path verbatim: it
// must be absolute and already resolved. Resolving first keeps what a long
// path names the same as what it would name if it were short. Paths the user
// gave in the "\\?\" or "\\.\" form are left as they are.
const wchar_t* to_wide(const char* path, WidePath& wide, int* error, bool prefixed)
{
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.given, path_capacity);
    if (units == 0) {
        *error = last_error();
        return nullptr;
    }
    const wchar_t* given = wide.given;
    if (starts_with(given, L"\\\\?\\") || starts_with(given, L"\\\\.\\")) return given;
    const bool absolute = (given[0] != L'\0' && given[1] == L':' && given[2] == L'\\') ||
                          (given[0] == L'\\' && given[1] == L'\\');
    if (absolute && units <= MAX_PATH && !prefixed) return given;

    constexpr DWORD room = sizeof wide.full / sizeof wide.full[0] - 8;
    wchar_t* const resolved = wide.full + 8;
    const DWORD len = GetFullPathNameW(given, room, resolved, nullptr);
    if (len == 0 || len >= room) {
        *error = len == 0 ? last_error() : ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    if (starts_with(resolved, L"\\\\?\\") || starts_with(resolved, L"\\\\.\\")) return resolved;
    if (starts_with(resolved, L"\\\\")) {
        // "\\server\share" becomes "\\?\UNC\server\share": the prefix ends on
        // the second backslash, which stays.
        wchar_t* const start = resolved + 1 - 7;
        wmemcpy(start, L"\\\\?\\UNC", 7);
        return start;
    }
    wchar_t* const start = resolved - 4;
    wmemcpy(start, L"\\\\?\\", 4);
    return start;
}

// The path of an entry below the top-level folder of `listings`, in `wide`:
// the folder as resolved and the rest of `path` as it is.
const wchar_t* below_top(const FolderListings& listings, const char* path, WidePath& wide, int* error)
{
    wmemcpy(wide.full, listings.top, listings.top_units);
    const int room = static_cast<int>(wide_path_capacity - listings.top_units);
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path + listings.top_bytes, -1,
                            wide.full + listings.top_units, room) == 0) {
        *error = GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE : last_error();
        return nullptr;
    }
    return wide.full;
}

// What a query of `wide_path` reports, and the attributes as the system gave
// them.
int query(const wchar_t* wide_path, ItemAttributes* out, DWORD* system_attributes)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide_path, GetFileExInfoStandard, &data)) return last_error();
    out->attributes = data.dwFileAttributes &
        (attribute_read_only | attribute_hidden | attribute_system | attribute_folder);
    out->size = out->attributes & attribute_folder
        ? 0
        : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out->device = 0;
    out->inode = 0;
    out->link = false;
    *system_attributes = data.dwFileAttributes;
    return 0;
}

// Keeps what the walk reads of a listed entry: its attributes, reparse tag
// and name in UTF-8. A name that is not valid UTF-16 (a lone surrogate) comes
// out with U+FFFD in its place, which no query finds: it is skipped.
void take_entry(ListingLevel& listing, const WIN32_FIND_DATAW& entry)
{
    listing.attributes = entry.dwFileAttributes;
    listing.reparse_tag = entry.dwReserved0;
    const int units = static_cast<int>(wcsnlen(entry.cFileName, MAX_PATH));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, entry.cFileName, units, listing.name,
                                          entry_name_capacity - 1, nullptr, nullptr);
    listing.name_len = static_cast<uint32_t>(bytes);
    listing.name[bytes] = '\0';
}

// Whether the entry `listing` returned last, queried with the attributes
// given, is a link the walk must not enter. The reparse tag comes only with
// the listing record; a reparse point whose record carries none (as under
// Wine, where a Unix symbolic link shows as one) is taken for a link, the
// safe side.
bool is_link(const ListingLevel& listing, DWORD queried_attributes)
{
    const bool listed_as_reparse = (listing.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool queried_as_reparse = (queried_attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!listed_as_reparse && !queried_as_reparse) return false;
    const DWORD tag = listed_as_reparse ? listing.reparse_tag : 0;
    return tag == 0 || IsReparseTagNameSurrogate(tag);
}

// The level's listing, its memory taken on first use; null without memory.
ListingLevel* listing_at(FolderListings* listings, uint32_t level)
{
    ListingLevel*& listing = listings->levels[level];
    if (listing == nullptr) {
        listing = static_cast<ListingLevel*>(malloc(sizeof(ListingLevel)));
        if (listing != nullptr) listing->handle = INVALID_HANDLE_VALUE;
    }
    return listing;
}

}  // namespace

FolderListings* make_folder_listings()
{
    return static_cast<FolderListings*>(calloc(1, sizeof(FolderListings)));
}

void free_folder_listings(FolderListings* listings)
{
    if (listings == nullptr) return;
    for (ListingLevel* listing : listings->levels) {
        if (listing == nullptr) continue;
        if (listing->handle != INVALID_HANDLE_VALUE) FindClose(listing->handle);
        free(listing);
    }
    free(listings);
}

int query_item(const char* path, ItemAttributes* out)
{
    out->name = path;
    WidePath wide;
    int error = 0;
    const wchar_t* wide_path = to_wide(path, wide, &error, false);
    if (wide_path == nullptr) return error;
    DWORD system_attributes;
    return query(wide_path, out, &system_attributes);
}

// The listing record of the entry is still at hand: whether it is a link is
// settled here and travels with its attributes.
int query_entry(FolderListings* listings, uint32_t level, const char* path, const char* name,
                ItemAttributes* out)
{
    WidePath wide;
    int error = 0;
    const wchar_t* wide_path = below_top(*listings, path, wide, &error);
    if (wide_path == nullptr) return error;
    DWORD system_attributes;
    error = query(wide_path, out, &system_attributes);
    if (error != 0) return error;
    out->name = name;
    out->link = is_link(*listings->levels[level], system_attributes);
    return 0;
}

ListingStart open_listing(FolderListings* listings, uint32_t level, const ItemAttributes& folder, char* path,
                          uint32_t name_slot, int* error)
{
    // The pattern needs "*" and a terminator at the name slot.
    if (listings == nullptr || level == 0 || level > max_folder_level || name_slot + 2 > path_capacity) {
        *error = listings == nullptr ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILENAME_EXCED_RANGE;
        return ListingStart::failed;
    }
    // The top-level item was named by the user and may be a link.
    if (level > 1 && folder.link) return ListingStart::not_descended;

    ListingLevel* const level_listing = listing_at(listings, level);
    if (level_listing == nullptr) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return ListingStart::failed;
    }
    ListingLevel& listing = *level_listing;
    WidePath wide;
    int failure = 0;
    if (level == 1) {
        // The top-level folder and its separator, resolved once for its walk.
        const char kept = path[name_slot];
        path[name_slot] = '\0';
        const wchar_t* top = to_wide(path, wide, &failure, true);
        path[name_slot] = kept;
        if (top == nullptr) {
            *error = failure;
            return ListingStart::failed;
        }
        listings->top_units = static_cast<uint32_t>(wcslen(top));
        wmemcpy(listings->top, top, listings->top_units);
        listings->top_bytes = name_slot;
    }
    const char saved[2] = {path[name_slot], path[name_slot + 1]};
    path[name_slot] = '*';
    path[name_slot + 1] = '\0';
    const wchar_t* pattern = below_top(*listings, path, wide, &failure);
    path[name_slot] = saved[0];
    path[name_slot + 1] = saved[1];
    // Not every system fills in the tag (Wine leaves it as it was): clear it
    // first so a stale one is never read.
    WIN32_FIND_DATAW entry;
    entry.dwReserved0 = 0;
    listing.handle = pattern != nullptr ? FindFirstFileW(pattern, &entry) : INVALID_HANDLE_VALUE;
    if (pattern != nullptr && listing.handle == INVALID_HANDLE_VALUE) failure = last_error();

    listing.error = 0;
    listing.first_pending = listing.handle != INVALID_HANDLE_VALUE;
    listing.at_end = !listing.first_pending;
    if (listing.first_pending) take_entry(listing, entry);
    // Only a drive root lacks "." and "..": an empty one matches nothing.
    if (listing.handle == INVALID_HANDLE_VALUE && failure != ERROR_FILE_NOT_FOUND) {
        *error = failure;
        return ListingStart::failed;
    }
    return ListingStart::opened;
}

const char* next_entry(FolderListings* listings, uint32_t level, uint32_t* name_len)
{
    ListingLevel& listing = *listings->levels[level];
    if (listing.first_pending) {
        listing.first_pending = false;
    } else {
        if (listing.at_end) return nullptr;
        WIN32_FIND_DATAW entry;
        entry.dwReserved0 = 0;
        if (!FindNextFileW(listing.handle, &entry)) {
            const int error = last_error();
            listing.at_end = true;
            if (error != ERROR_NO_MORE_FILES) listing.error = error;
            return nullptr;
        }
        take_entry(listing, entry);
    }
    *name_len = listing.name_len;
    return listing.name;
}

int close_listing(FolderListings* listings, uint32_t level)
{
    ListingLevel& listing = *listings->levels[level];
    if (listing.handle != INVALID_HANDLE_VALUE) FindClose(listing.handle);
    listing.handle = INVALID_HANDLE_VALUE;
    return listing.error;
}

// Search handles are not scarce: a walker never needs to give one back.
bool spare_handle(FolderListings*, uint32_t)
{
    return false;
}

// The search handle and its first entry, not yet handed out, travel, with the
// top-level folder the paths below it are built on; links are settled before
// a folder is opened, so nothing of the levels above is needed.
bool hand_over_listing(FolderListings* from, FolderListings* to, uint32_t level)
{
    to->top_bytes = from->top_bytes;
    to->top_units = from->top_units;
    wmemcpy(to->top, from->top, from->top_units);
    ListingLevel* const given = from->levels[level];
    ListingLevel* const listing = listing_at(to, level);
    if (listing == nullptr) {
        from->levels[level] = nullptr;
        to->levels[level] = given;
        return true;
    }
    *listing = *given;
    given->handle = INVALID_HANDLE_VALUE;
    return true;
}

// A search handle gives its entries one at a time: there is nothing read
// ahead to share.
uint32_t hand_over_entries(FolderListings*, FolderListings*, uint32_t, char*, uint32_t*)
{
    return 0;
}

// Nothing is read ahead either: a folder may always be handed on.
bool entries_waiting(const FolderListings*, uint32_t)
{
    return true;
}

// Windows is not asked what kind of disk an item lies on; a network drive
// or share is remote.
Storage storage_of(const ItemAttributes& item)
{
    WidePath wide;
    int error = 0;
    const wchar_t* path = to_wide(item.name, wide, &error, false);
    wchar_t volume[MAX_PATH + 1];
    if (path == nullptr || !GetVolumePathNameW(path, volume, MAX_PATH + 1)) return Storage::local;
    return GetDriveTypeW(volume) == DRIVE_REMOTE ? Storage::remote : Storage::local;
}
