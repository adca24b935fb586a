// A file system held in memory, behind the same seam as the real one
// (core/file_system.h): the walk fuzzer builds it from its input and checks,
// call by call, that the walk uses the seam as the seam says.
#pragma once

#include <cstdint>

#include "core/file_system.h"

constexpr uint32_t fake_node_capacity = 1024;
constexpr uint32_t fake_no_node = UINT32_MAX;
constexpr uint32_t fake_never = UINT32_MAX;

// One item. The root (node 0) is the top-level item; its name is unused.
struct FakeNode {
    char name[256];
    uint32_t name_len;         // 1 to 255
    uint32_t attributes;       // attribute_* bits, attribute_folder for folders
    uint64_t size;
    uint32_t identity;         // folders: equal identities are the same folder
    uint32_t first_child;      // fake_no_node when none
    uint32_t next_sibling;     // fake_no_node when last
    uint32_t child_count;
    int query_error;           // the query of this item fails with it, when non-zero
    int open_error;            // opening this folder's listing fails with it
    uint32_t listing_fails_after;  // entries listed before the listing fails, or fake_never
    int close_error;           // closing a listing that ran to its end reports it
};

struct FakeFileSystem {
    FakeNode nodes[fake_node_capacity];
    uint32_t node_count;
    Storage storage;              // what storage_of answers
    uint32_t handles_per_walker;  // listings a walker may hold a handle for at once; 0 for any number
    bool shares;                  // whether a listing's entries may be shared out
};

extern FakeFileSystem fake_fs;

// Empties the file system; the root must be added first by the caller.
void fake_fs_clear();

// Appends a node as the last child of `parent` (fake_no_node for the root).
// Returns its index, or fake_no_node when the capacity is used up.
uint32_t fake_fs_add(uint32_t parent, const FakeNode& node);

// Starts checking a walk over the tree whose top-level path has `base_len`
// bytes and `base_depth` separators. Each walker's listings are checked for
// being all closed when they are freed.
void fake_fs_begin_walk(uint32_t base_len, uint32_t base_depth);
