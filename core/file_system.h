// What the walk needs from the file system. One implementation per platform
// (fs_posix.cpp, fs_win32.cpp); the walk itself is the same everywhere.
//
// Folder levels are numbered as ScanCursor.depth: the top-level folder is
// level 1, its sub-folders level 2, and so on. At most one listing is open per
// level, and a level's listing is closed before the level above continues.
#pragma once

#include <cstdint>

#include "core/tally.h"

// Attribute bits as the window counts them (the Win32 values, so the Windows
// layer can pass its own through unchanged).
constexpr uint32_t attribute_read_only = 0x1;
constexpr uint32_t attribute_hidden = 0x2;
constexpr uint32_t attribute_system = 0x4;
constexpr uint32_t attribute_folder = 0x10;

// What one attribute query reports.
struct ItemAttributes {
    uint32_t attributes;
    uint64_t size;  // bytes; meaningful for files only
};

// Every level adds a separator and at least one byte to the path, so the path
// buffer bounds how deep a walk can go.
constexpr uint32_t max_folder_level = path_capacity / 2 + 1;

// The one separator the walk appends and counts: `\` on Windows, `/` elsewhere.
extern const char path_separator;

// The platform's error number for a path that would not fit the path buffer.
extern const int path_too_long_error;

// Queries the top-level item at `path`. A link is followed: the user named
// it. Returns 0, or the error that made the query fail.
int query_item(const char* path, ItemAttributes* out);

// Queries the entry `name` of the folder listed at `level`; `path` holds the
// entry's whole path, `name` points at its last component within it. Links
// are not followed. Returns 0 or the error.
int query_entry(uint32_t level, const char* path, const char* name, ItemAttributes* out);

enum class ListingStart { opened, failed, not_descended };

// Opens the listing of the folder for `level`: the top-level item for level 1,
// otherwise the entry most recently queried at level - 1. `path` holds the
// folder's path and a separator, `name_slot` is the length of that text.
// `not_descended`
// means the folder must not be walked although nothing failed: it lies on a
// loop back to a folder above it, or is a link. On `failed`, *error says why.
// The platform may write into `path` during the call and restores it.
ListingStart open_listing(uint32_t level, char* path, uint32_t name_slot, int* error);

// The next entry of the listing at `level`, "." and ".." included; null when
// the listing ends, normally or not. *name_len receives its length.
const char* next_entry(uint32_t level, uint32_t* name_len);

// Closes the listing at `level`. Returns 0 when it ran to its normal end,
// otherwise the error that ended it early.
int close_listing(uint32_t level);

// Whether status texts must be cut only between characters of UTF-8.
bool paths_are_utf8();
