// The seam of core/file_system.h over the in-memory tree of
// fake_file_system.h. Every call checks that the walk keeps to the seam's
// rules (one listing per level and walker, levels closed innermost first, a
// folder opened only as its query reported it, only fresh listings handed
// over, a listing used only while it holds its handle, the path it passes is
// the entry's whole path within the walker's own buffer) and aborts
// otherwise. Each walker may hold only so many handles: an open beyond them
// says short_of_handles, and a spared listing takes its handle back when the
// level below it closes.
#include <errno.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/file_system.h"
#include "core/tally.h"
#include "tests/fuzz/fake_file_system.h"

const char path_separator = '/';
const int path_too_long_error = ENAMETOOLONG;
const int out_of_memory_error = ENOMEM;

bool is_path_separator(char c)
{
    return c == '/';
}

uint32_t path_length(const char*, uint32_t n)
{
    return n;
}

FakeFileSystem fake_fs;

namespace {

struct FakeListing {
    bool open;
    bool handle;         // holds its handle (false once spared)
    bool shared;         // lists a share of another walker's listing: children up to `stop`
    uint32_t folder;     // node listed (kept for the levels above a hand-over)
    uint32_t name_slot;  // where the walk writes entry names
    uint32_t position;   // 0 ".", 1 "..", then the children
    uint32_t next_child; // the child the next entry returns
    uint32_t current;    // the child last returned, fake_no_node for the dots
    uint32_t listed;     // index among the folder's children of next_child
    uint32_t stop;       // a share ends at this index
    int error;
};

}  // namespace

// One walker's listings, and the path buffer its calls must come with: the
// first member of that walker's ScanCursor, whose other fields follow it.
struct FolderListings {
    FakeListing levels[max_folder_level + 2];
    const ScanCursor* cursor;
    uint32_t handles;  // held by its listings
};

namespace {

uint32_t walk_base_len;
uint32_t walk_base_depth;

[[noreturn]] void violation(const char* what, uint32_t level)
{
    fprintf(stderr, "fake file system: %s (level %u)\n", what, level);
    abort();
}

// The walker's path buffer is the one it used before. The fields after the
// buffer double as its guard: a write past the buffer's end lands on them
// first.
void check_cursor(FolderListings* listings, const char* path, uint32_t level)
{
    const auto* cursor = reinterpret_cast<const ScanCursor*>(path);
    if (listings->cursor == nullptr) listings->cursor = cursor;
    if (cursor != listings->cursor) violation("the path is not the walker's own buffer", level);
    if (cursor->base_len != walk_base_len || cursor->base_depth != walk_base_depth)
        violation("the fields after the path buffer changed", level);
    if (cursor->depth != level) violation("the level is not the cursor's depth", level);
    if (strnlen(cursor->path, path_capacity) == path_capacity)
        violation("the path is not terminated within the buffer", level);
}

void check_level(FolderListings* listings, uint32_t level, bool must_be_open)
{
    if (listings == nullptr) violation("no listings", level);
    if (level == 0 || level > max_folder_level) violation("level out of range", level);
    if (listings->levels[level].open != must_be_open)
        violation(must_be_open ? "listing not open" : "listing already open", level);
    if (listings->levels[level + 1].open) violation("a deeper listing is still open", level);
    if (must_be_open && !listings->levels[level].handle) violation("a listing used without its handle", level);
}

// Children of `folder` left to a listing at child index `listed`, before it
// ends or fails.
uint32_t children_left(const FakeListing& listing)
{
    const FakeNode& folder = fake_fs.nodes[listing.folder];
    uint32_t end = listing.shared ? listing.stop : folder.child_count;
    if (folder.listing_fails_after < end) end = folder.listing_fails_after;
    return listing.listed < end ? end - listing.listed : 0;
}

void fill(ItemAttributes* out, const FakeNode& node, uint32_t index, const char* name)
{
    *out = ItemAttributes{node.attributes, node.size, name, index, node.identity, false};
}

}  // namespace

FolderListings* make_folder_listings()
{
    auto* listings = static_cast<FolderListings*>(calloc(1, sizeof(FolderListings)));
    if (listings == nullptr) violation("no memory for listings", 0);
    return listings;
}

void free_folder_listings(FolderListings* listings)
{
    for (uint32_t level = 1; level <= max_folder_level; ++level)
        if (listings->levels[level].open) violation("a listing was left open", level);
    free(listings);
}

void fake_fs_clear()
{
    fake_fs.node_count = 0;
    fake_fs.storage = Storage::local;
    fake_fs.handles_per_walker = 0;
    fake_fs.shares = false;
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
}

int query_item(const char* path, ItemAttributes* out)
{
    if (strlen(path) != walk_base_len) violation("the top-level path is not the item's", 0);
    const FakeNode& root = fake_fs.nodes[0];
    if (root.query_error != 0) return root.query_error;
    fill(out, root, 0, path);
    return 0;
}

int query_entry(FolderListings* listings, uint32_t level, const char* path, const char* name, ItemAttributes* out)
{
    check_level(listings, level, true);
    check_cursor(listings, path, level);
    const FakeListing& listing = listings->levels[level];
    if (listing.current == fake_no_node) violation("query of an entry that was not listed", level);
    const FakeNode& entry = fake_fs.nodes[listing.current];
    if (name != path + listing.name_slot) violation("the name is not in the name slot of the path buffer", level);
    if (strlen(name) != entry.name_len || memcmp(name, entry.name, entry.name_len) != 0)
        violation("the name is not the entry last listed", level);
    if (listing.name_slot + entry.name_len >= path_capacity) violation("the path overruns the buffer", level);
    if (entry.query_error != 0) return entry.query_error;
    fill(out, entry, listing.current, name);
    return 0;
}

ListingStart open_listing(FolderListings* listings, uint32_t level, const ItemAttributes& folder, char* path,
                          uint32_t name_slot, int* error)
{
    check_level(listings, level, false);
    check_cursor(listings, path, level);
    const auto node = static_cast<uint32_t>(folder.device);
    if (node >= fake_fs.node_count) violation("open of a record no query made", level);
    const FakeNode& opened = fake_fs.nodes[node];
    if (!(opened.attributes & attribute_folder)) violation("open of a file", level);
    if (name_slot == 0 || name_slot >= path_capacity) violation("the name slot is outside the path buffer", level);
    if (strlen(path) != name_slot || path[name_slot - 1] != path_separator)
        violation("the path does not end in a separator at the name slot", level);
    if (level == 1) {
        if (node != 0 || folder.name != path) violation("level 1 is not the top-level item", level);
        if (name_slot != walk_base_len && name_slot != walk_base_len + 1)
            violation("the top-level path changed", level);
    } else {
        const FakeListing& parent = listings->levels[level - 1];
        if (!parent.open || parent.current != node || folder.name != path + parent.name_slot)
            violation("open of an entry not just queried", level);
        if (name_slot != parent.name_slot + opened.name_len + 1)
            violation("the folder's path is not its parent's and its name", level);
    }
    for (uint32_t above = 1; above < level; ++above)
        if (fake_fs.nodes[listings->levels[above].folder].identity == opened.identity)
            return ListingStart::not_descended;
    if (fake_fs.handles_per_walker != 0 && listings->handles >= fake_fs.handles_per_walker) {
        *error = EMFILE;
        return ListingStart::short_of_handles;
    }
    if (opened.open_error != 0) {
        *error = opened.open_error;
        return ListingStart::failed;
    }
    ++listings->handles;
    listings->levels[level] =
        FakeListing{true, true, false, node, name_slot, 0, opened.first_child, fake_no_node, 0, fake_never, 0};
    return ListingStart::opened;
}

const char* next_entry(FolderListings* listings, uint32_t level, uint32_t* name_len)
{
    check_level(listings, level, true);
    // A walker handed this listing shows its buffer at its first query.
    if (listings->cursor != nullptr) check_cursor(listings, listings->cursor->path, level);
    FakeListing& listing = listings->levels[level];
    listing.current = fake_no_node;
    if (listing.position < 2) {
        ++listing.position;
        *name_len = listing.position;
        return listing.position == 1 ? "." : "..";
    }
    const FakeNode& folder = fake_fs.nodes[listing.folder];
    if (listing.error != 0) return nullptr;
    if (listing.shared && listing.listed == listing.stop) return nullptr;
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

int close_listing(FolderListings* listings, uint32_t level)
{
    check_level(listings, level, true);
    // The walk lowers the depth before it closes.
    if (listings->cursor != nullptr) check_cursor(listings, listings->cursor->path, level - 1);
    FakeListing& listing = listings->levels[level];
    FakeListing& above = listings->levels[level - 1];
    if (level > 1 && above.open && !above.handle) {
        if (fake_fs.handles_per_walker != 0 && listings->handles >= fake_fs.handles_per_walker)
            violation("no handle left to take back the listing above", level);
        above.handle = true;
        ++listings->handles;
    }
    listing.open = false;
    listing.handle = false;
    --listings->handles;
    if (listing.error != 0) return listing.error;
    return listing.shared ? 0 : fake_fs.nodes[listing.folder].close_error;
}

bool spare_handle(FolderListings* listings, uint32_t level)
{
    for (uint32_t above = 1; above + 1 < level; ++above) {
        FakeListing& listing = listings->levels[above];
        if (!listing.open || !listing.handle) continue;
        listing.handle = false;
        --listings->handles;
        return true;
    }
    return false;
}

namespace {

// `to` is to be handed a listing at `level`: it has none open, and keeps of
// the levels above only which folder they were, for the loop rule.
void make_ready(FolderListings* from, FolderListings* to, uint32_t level)
{
    for (uint32_t any = 1; any <= max_folder_level; ++any)
        if (to->levels[any].open) violation("a listing handed to a walker that has one open", any);
    for (uint32_t above = 1; above < level; ++above) {
        to->levels[above] = FakeListing{};
        to->levels[above].folder = from->levels[above].folder;
    }
    to->handles = 1;
}

}  // namespace

// Only a listing just opened travels.
bool hand_over_listing(FolderListings* from, FolderListings* to, uint32_t level)
{
    check_level(from, level, true);
    const FakeListing& given = from->levels[level];
    if (given.position != 0) violation("a listing handed over after it was read", level);
    make_ready(from, to, level);
    to->levels[level] = given;
    from->levels[level].open = false;
    from->levels[level].handle = false;
    --from->handles;
    return true;
}

// The first half of the children left (at least one) of the shallowest
// level with any travels, when the input allows shares; at the level being
// listed, only when two are left. The dots stay with `from`.
uint32_t hand_over_entries(FolderListings* from, FolderListings* to, uint32_t level, char* path, uint32_t* name_slot)
{
    check_level(from, level, true);
    check_cursor(from, path, level);
    if (!fake_fs.shares) return 0;
    // A spared listing is shared too: the real layer opens it by its path.
    uint32_t shared = 1;
    while (shared < level && !(from->levels[shared].open && children_left(from->levels[shared]) != 0)) ++shared;
    FakeListing& listing = from->levels[shared];
    const uint32_t left = children_left(listing);
    if (left < (shared == level ? 2u : 1u) || listing.position < 2) return 0;
    make_ready(from, to, shared);
    FakeListing share = listing;
    share.handle = true;
    share.shared = true;
    share.current = fake_no_node;
    share.stop = listing.listed + (left + 1) / 2;
    while (listing.listed < share.stop) {
        listing.next_child = fake_fs.nodes[listing.next_child].next_sibling;
        ++listing.listed;
    }
    to->levels[shared] = share;
    *name_slot = listing.name_slot;
    return shared;
}

bool entries_waiting(const FolderListings* listings, uint32_t level)
{
    const FakeListing& listing = listings->levels[level];
    return listing.shared ? listing.listed < listing.stop : listing.next_child != fake_no_node;
}

Storage storage_of(const ItemAttributes&)
{
    return fake_fs.storage;
}
