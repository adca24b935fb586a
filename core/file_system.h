// What the walk needs from the file system. One implementation per platform
// (fs_posix.cpp, fs_win32.cpp); the walk itself is the same everywhere.
//
// Each walking thread has its own FolderListings: the listings it has open,
// one per folder level, numbered as ScanCursor.depth (the top-level folder is
// level 1, its sub-folders level 2, and so on). At most one listing is open
// per level, and a level's listing is closed before the level above goes on.
// A walker's listings cost about the same whatever the depth: where the
// platform gives each listing a handle from a limited stock (Linux: a file
// descriptor), a listing above may give its handle back (spare_handle) and
// take one again, going on where it was, when the walk comes back to it.
// Nothing is remembered between calls but those listings: what a query found
// out about a folder travels in its ItemAttributes to open_listing.
#pragma once

#include <cstdint>

#include "core/tally.h"

// Attribute bits as the window counts them (the Win32 values, so the Windows
// layer can pass its own through unchanged).
constexpr uint32_t attribute_read_only = 0x1;
constexpr uint32_t attribute_hidden = 0x2;
constexpr uint32_t attribute_system = 0x4;
constexpr uint32_t attribute_folder = 0x10;

// What one attribute query reports, and what opening the item as a folder
// needs: its name as the query used it and the platform's identity of it.
struct ItemAttributes {
    uint32_t attributes;
    uint64_t size;        // bytes; meaningful for files only
    const char* name;     // the name queried: the item's whole path, or the entry's name in the path buffer
    uint64_t device;      // identity, where the platform has one (Linux: to notice a loop back to a folder above)
    uint64_t inode;
    bool link;            // a link the walk must not enter (Windows: a name-surrogate reparse point)
};

// Every level adds a separator and at least one byte to the path, so the path
// buffer bounds how deep a walk can go.
constexpr uint32_t max_folder_level = path_capacity / 2 + 1;

// The one separator the walk appends: `\` on Windows, `/` elsewhere.
extern const char path_separator;

// Whether `c` separates a path's names where the walk counts depth and looks
// for a separator at the end: Windows takes `/` as well as `\`.
bool is_path_separator(char c);

// The length of `n` bytes of a path in the unit the platform's own limits
// count, which Max Path reports: bytes on Linux; UTF-16 code units on
// Windows (260, or 32,767 with "\\?\"), where every path is UTF-8 inside the
// program.
uint32_t path_length(const char* text, uint32_t n);

// The platform's error number for a path that would not fit the path buffer.
extern const int path_too_long_error;
// And for a walk that could not have the memory it needs.
extern const int out_of_memory_error;

// One walker's listing levels. Made empty; each level's memory is taken when
// a walk first reaches that level and kept until freed, so a walker costs
// what its deepest walk needs. Null when out of memory.
struct FolderListings;
FolderListings* make_folder_listings();
// Closes what is still open and frees everything.
void free_folder_listings(FolderListings* listings);

// Queries the top-level item at `path`. A link is followed: the user named
// it. Returns 0, or the error that made the query fail.
int query_item(const char* path, ItemAttributes* out);

// Queries the entry `name` of the folder listed at `level` in `listings`;
// `path` holds the entry's whole path, `name` points at its last component
// within it. Links are not followed. Returns 0 or the error.
int query_entry(FolderListings* listings, uint32_t level, const char* path, const char* name,
                ItemAttributes* out);

enum class ListingStart { opened, failed, not_descended, short_of_handles };

// Opens the listing of `folder` at `level`: for level 1 the top-level item as
// query_item reported it, otherwise an entry of the listing at level - 1 as
// query_entry reported it, that listing still being open. `path` holds the
// folder's path and a separator, `name_slot` is the length of that text.
// `not_descended` means the folder must not be walked although nothing
// failed: it lies on a loop back to a folder above it, or is a link. On
// `failed`, *error says why. `short_of_handles` means the walker holds all
// the handles it may, or the system would give no more, while it holds one
// above level - 1: it spares one (spare_handle) and asks again. The platform
// may write into `path` during the call and restores it.
ListingStart open_listing(FolderListings* listings, uint32_t level, const ItemAttributes& folder, char* path,
                          uint32_t name_slot, int* error);

// The next entry of the listing at `level`, "." and ".." included; null when
// the listing ends, normally or not. *name_len receives its length.
const char* next_entry(FolderListings* listings, uint32_t level, uint32_t* name_len);

// Closes the listing at `level`. Returns 0 when it ran to its normal end,
// otherwise the error that ended it early.
int close_listing(FolderListings* listings, uint32_t level);

// Gives back the handle of the listing farthest above `level` - 1 that the
// walker holds, keeping that listing's place: it takes a handle again, and
// reads on from there, when the walk comes back to it. False when the
// walker holds no handle above that of level - 1, which opening `level` needs.
bool spare_handle(FolderListings* listings, uint32_t level);

// Moves the listing just opened at `level` from one walker to another, with
// what the loop rule needs of the folders above it; `from` no longer has it
// (nothing is closed), and `to` lists it from its first entry and closes it.
// `to` has no listing open at any level. False, and nothing moved, when the
// platform cannot give `to` what a walker needs to go on (handles).
bool hand_over_listing(FolderListings* from, FolderListings* to, uint32_t level);

// Moves a share of the entries that `from` has read and not yet returned to
// another walker, which lists them as a listing of the same folder at the
// same level (queries, sub-folders opened, closed at the end with no error of
// its own) while `from` goes on with the rest. The shallowest of `from`'s
// levels with entries waiting is shared first, since there each entry may
// lead to the most work; at `level`, the one being listed, only a share of
// many entries is worth it (a large folder's entries, queried by several
// walkers). `path` is `from`'s path buffer, holding the path of the folder
// at `level`; the platform may write into it during the call and restores it.
// `to` has no listing open. Returns the level shared from, with its name slot
// in *name_slot; 0, and nothing moved, when nothing is worth sharing or `to`
// cannot have what it needs.
uint32_t hand_over_entries(FolderListings* from, FolderListings* to, uint32_t level, char* path,
                           uint32_t* name_slot);

// Whether the listing at `level` has read entries other than "." and ".."
// that it has not yet returned: whether its walker has more to do there than
// the folder it is entering, so that handing that folder on gains time.
bool entries_waiting(const FolderListings* listings, uint32_t level);

// What an item lies on, which decides how many walkers suit it: a rotating
// disk answers best one question at a time (reads from several places make
// the head seek); a file system over the network (NFS, SMB, FUSE mounts such
// as sshfs, 9p) answers slowly but many questions at once.
enum class Storage { local, rotating_disk, remote };
Storage storage_of(const ItemAttributes& item);
