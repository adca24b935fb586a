// The seam of core/file_system.h over the in-memory tree of
// fake_file_system.h. Every call checks that the walk keeps to the seam's
// rules (one listing per level, levels closed innermost first, the path it
// passes is the entry's whole path within the buffer) and aborts otherwise.
#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/file_system.h"
#include "core/tally.h"
#include "tests/fuzz/fake_file_system.h"

const char path_separator = '/';
const int path_too_long_error = ENAMETOOLONG;

FakeFileSystem fake_fs;

namespace {

struct FakeListing {
    bool open;
    uint32_t folder;     // node listed
    uint32_t name_slot;  // where the walk writes entry names
    uint32_t position;   // 0 ".", 1 "..", then the children
    uint32_t next_child; // the child the next entry returns
    uint32_t current;    // the child last returned, fake_no_node for the dots
    uint32_t listed;     // children returned so far
    int error;
};

FakeListing listings[max_folder_level + 2];
uint32_t last_queried = fake_no_node;
uint32_t walk_base_len;
uint32_t walk_base_depth;

[[noreturn]] void violation(const char* what, uint32_t level)
{
    fprintf(stderr, "fake file system: %s (level %u)\n", what, level);
    abort();
}

// The fields after the path buffer double as its guard: a write past the
// buffer's end lands on them first.
void check_cursor(uint32_t level)
{
    if (scan_cursor.base_len != walk_base_len || scan_cursor.base_depth != walk_base_depth)
        violation("the fields after the path buffer changed", level);
    if (scan_cursor.depth != level) violation("the level is not the cursor's depth", level);
    if (strnlen(scan_cursor.path, path_capacity) == path_capacity)
        violation("the path is not terminated within the buffer", level);
}

void check_level(uint32_t level, bool must_be_open)
{
    if (level == 0 || level > max_folder_level) violation("level out of range", level);
    if (listings[level].open != must_be_open)
        violation(must_be_open ? "listing not open" : "listing already open", level);
    if (listings[level + 1].open) violation("a deeper listing is still open", level);
}

}  // namespace

void fake_fs_clear()
{
    fake_fs.node_count = 0;
    fake_fs.utf8 = true;
    memset(listings, 0, sizeof listings);
    last_queried = fake_no_node;
}

uint32_t fake_fs_add(uint32_t parent, const FakeNode& node)
{
    if (fake_fs.node_count == fake_node_capacity) return fake_no_node;
    const uint32_t index = fake_fs.node_count++;
    FakeNode& added = fake_fs.nodes[index];
    added = node;
    added.first_child = fake_no_node;
    added.next_sibling = fake_no_node;
    added.child_count = 0;
    if (parent == fake_no_node) return index;
    FakeNode& folder = fake_fs.nodes[parent];
    if (folder.first_child == fake_no_node) {
        folder.first_child = index;
    } else {
        uint32_t last = folder.first_child;
        while (fake_fs.nodes[last].next_sibling != fake_no_node) last = fake_fs.nodes[last].next_sibling;
        fake_fs.nodes[last].next_sibling = index;
    }
    ++folder.child_count;
    return index;
}

void fake_fs_begin_walk(uint32_t base_len, uint32_t base_depth)
{
    walk_base_len = base_len;
    walk_base_depth = base_depth;
    memset(listings, 0, sizeof listings);
    last_queried = fake_no_node;
}

void fake_fs_end_walk()
{
    for (uint32_t level = 1; level <= max_folder_level; ++level)
        if (listings[level].open) violation("a listing was left open", level);
    if (scan_cursor.depth != 0) violation("the depth was not restored", 0);
}

int query_item(const char* path, ItemAttributes* out)
{
    if (strlen(path) != walk_base_len) violation("the top-level path is not the item's", 0);
    const FakeNode& root = fake_fs.nodes[0];
    last_queried = fake_no_node;
    if (root.query_error != 0) return root.query_error;
    *out = ItemAttributes{root.attributes, root.size};
    last_queried = 0;
    return 0;
}

int query_entry(uint32_t level, const char* path, const char* name, ItemAttributes* out)
{
    check_level(level, true);
    check_cursor(level);
    const FakeListing& listing = listings[level];
    if (listing.current == fake_no_node) violation("query of an entry that was not listed", level);
    const FakeNode& entry = fake_fs.nodes[listing.current];
    if (path != scan_cursor.path || name != path + listing.name_slot)
        violation("the name is not in the name slot of the path buffer", level);
    if (strlen(name) != entry.name_len || memcmp(name, entry.name, entry.name_len) != 0)
        violation("the name is not the entry last listed", level);
    if (listing.name_slot + entry.name_len >= path_capacity) violation("the path overruns the buffer", level);
    last_queried = fake_no_node;
    if (entry.query_error != 0) return entry.query_error;
    *out = ItemAttributes{entry.attributes, entry.size};
    last_queried = listing.current;
    return 0;
}

ListingStart open_listing(uint32_t level, char* path, uint32_t name_slot, int* error)
{
    check_level(level, false);
    check_cursor(level);
    if (last_queried == fake_no_node) violation("open without a successful query", level);
    const FakeNode& folder = fake_fs.nodes[last_queried];
    if (!(folder.attributes & attribute_folder)) violation("open of a file", level);
    if (path != scan_cursor.path || name_slot == 0 || name_slot >= path_capacity)
        violation("the name slot is outside the path buffer", level);
    if (strlen(path) != name_slot || path[name_slot - 1] != path_separator)
        violation("the path does not end in a separator at the name slot", level);
    if (level == 1) {
        if (last_queried != 0) violation("level 1 is not the top-level item", level);
        if (name_slot != walk_base_len && name_slot != walk_base_len + 1)
            violation("the top-level path changed", level);
    } else {
        const FakeListing& parent = listings[level - 1];
        if (!parent.open || parent.current != last_queried) violation("open of an entry not just queried", level);
        if (name_slot != parent.name_slot + folder.name_len + 1)
            violation("the folder's path is not its parent's and its name", level);
    }
    for (uint32_t above = 1; above < level; ++above)
        if (fake_fs.nodes[listings[above].folder].identity == folder.identity) return ListingStart::not_descended;
    if (folder.open_error != 0) {
        *error = folder.open_error;
        return ListingStart::failed;
    }
    listings[level] = FakeListing{true, last_queried, name_slot, 0, folder.first_child, fake_no_node, 0, 0};
    return ListingStart::opened;
}

const char* next_entry(uint32_t level, uint32_t* name_len)
{
    check_level(level, true);
    check_cursor(level);
    FakeListing& listing = listings[level];
    listing.current = fake_no_node;
    if (listing.position < 2) {
        ++listing.position;
        *name_len = listing.position;
        return listing.position == 1 ? "." : "..";
    }
    const FakeNode& folder = fake_fs.nodes[listing.folder];
    if (listing.error != 0) return nullptr;
    // A listing set to fail fails at its end too, when it has fewer entries.
    if (listing.listed == folder.listing_fails_after || listing.next_child == fake_no_node) {
        if (folder.listing_fails_after != fake_never) listing.error = EIO;
        return nullptr;
    }
    listing.current = listing.next_child;
    listing.next_child = fake_fs.nodes[listing.current].next_sibling;
    ++listing.listed;
    const FakeNode& entry = fake_fs.nodes[listing.current];
    *name_len = entry.name_len;
    return entry.name;
}

int close_listing(uint32_t level)
{
    check_level(level, true);
    // The walk lowers the depth before it closes.
    check_cursor(level - 1);
    FakeListing& listing = listings[level];
    listing.open = false;
    last_queried = fake_no_node;
    if (listing.error != 0) return listing.error;
    return fake_fs.nodes[listing.folder].close_error;
}

bool paths_are_utf8()
{
    return fake_fs.utf8;
}
