// The file-system layer on Linux: each folder is opened relative to its
// parent's descriptor, listed with getdents64, and each entry is queried
// relative to the folder. Nothing is allocated per entry or per folder, and a
// walker costs about the same whatever the depth:
//
// - One listing buffer per walker, used as a stack: a level reads into the
//   room above what the levels above it have read and not yet returned. When
//   a level finds too little room, the deepest levels above give theirs up and
//   read those entries again, from the position the system gave the last one
//   they returned, once the walk is back with them.
// - A walker holds at most descriptors_per_walker descriptors, and all the
//   walkers of the process together what the descriptor limit leaves them.
//   Short of one, a walker closes the shallowest folder it holds above
//   (spare_handle) and opens it again through ".." of the folder below on
//   the way back, checking that it is the same folder.
//
// What the window's letters mean here: R, none of the three write bits is
// set; H, the item's own name begins with "."; S, a device, FIFO or socket
// (counted as a file of its reported size and never opened). Folders are
// never S. Below the top-level item links are not followed.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/file_system.h"
#include "core/walk_team.h"

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

namespace {

// A walker's buffer, and what one getdents64 call may fill of it: large
// enough that most folders are read in one call, and that the levels above
// can keep what they have read. Only what the listings fill is touched.
constexpr uint32_t listing_buffer_size = 64 * 1024;
constexpr uint32_t read_most = 32 * 1024;
// The least room a level reads into: a record of the longest name fits many
// times over.
constexpr uint32_t read_least = 4 * 1024;
// A share of a large folder's entries handed to another walker: at least
// this many bytes of records (about a hundred names), and half of what waits.
constexpr uint32_t share_least = 2 * 1024;

// Deep enough that nearly every real tree is walked without opening a folder
// twice (the benchmark's deep tree has 120 levels), small enough that the
// most walkers fit in a few thousand descriptors.
constexpr uint32_t descriptors_per_walker = 128;
// Left to everything else the process holds: standard streams, the window's
// connections and fonts, the files read to learn what a path lies on.
constexpr uint32_t descriptors_kept_back = 64;
// A busy walker may always hold two: the folder it lists and, while it opens
// one below, that one.
constexpr uint32_t descriptors_always = 2;

// All zero for a level no walk has reached: a walker touches only the
// levels it reaches.
struct Level {
    int fd;             // meaningful while it holds one
    bool holds;         // holds its descriptor
    bool own;           // listed by this walker (levels above a hand-over are not)
    bool spared;        // its descriptor was given back; taken again on the way back
    bool shared;        // lists only the entries another walker handed over
    bool at_end;        // getdents64 returned its last entry
    bool seek;          // the descriptor is not at `resume`: seek before reading
    int error;          // what ended the listing early, 0 otherwise
    uint32_t name_slot; // of its folder's path, as open_listing had it
    uint32_t base;      // its records in the buffer: read from base, unread from next to end
    uint32_t next;
    uint32_t end;
    uint64_t resume;    // the position after the last entry returned or handed on
    uint64_t device;    // identity of its folder, to notice a loop back to it
    uint64_t inode;
};

}  // namespace

struct FolderListings {
    uint32_t held;    // descriptors its levels hold
    uint32_t taken;   // descriptors taken from the process's stock for them
    uint32_t lowest;  // its shallowest level holding one: the held ones run from there down
    uint32_t waiting; // no level above this one has entries waiting to be shared
    Level levels[max_folder_level + 1];
    alignas(8) char buffer[listing_buffer_size];
};

namespace {

// The descriptors the walkers of the process may hold together, beyond the
// two every busy walker may always have: what the limit leaves once
// descriptors_kept_back are set aside.
std::atomic<int64_t> descriptors_free{0};
std::once_flag descriptors_counted;

// The walk can hold at once descriptors_per_walker for each of the most
// walkers of a team, and the process keeps descriptors_kept_back for the
// rest: the soft limit is raised that far, as far as the hard limit allows,
// and never lowered.
void count_descriptors()
{
    constexpr rlim_t wanted = rlim_t{max_walkers} * descriptors_per_walker + descriptors_kept_back;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        descriptors_free.store(0);
        return;
    }
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted ? wanted : limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
    }
    const rlim_t usable = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > wanted ? wanted : limit.rlim_cur;
    descriptors_free.store(usable > descriptors_kept_back ? static_cast<int64_t>(usable - descriptors_kept_back) : 0);
}

// Takes `count` descriptors from the stock; with `always`, even where that
// leaves it short (a walker's first two).
bool take_descriptors(int64_t count, bool always)
{
    int64_t left = descriptors_free.load(std::memory_order_relaxed);
    while (always || left >= count)
        if (descriptors_free.compare_exchange_weak(left, left - count, std::memory_order_relaxed)) return true;
    return false;
}

void give_descriptors(int64_t count)
{
    descriptors_free.fetch_add(count, std::memory_order_relaxed);
}

// A descriptor of the walker's was closed: what it took beyond what it holds
// (and beyond the two it may always have while busy) goes back.
void descriptor_closed(FolderListings* listings)
{
    --listings->held;
    const uint32_t keep = listings->held == 0 ? 0 : listings->held > descriptors_always ? listings->held : descriptors_always;
    if (listings->taken > keep) {
        give_descriptors(listings->taken - keep);
        listings->taken = keep;
    }
}

// Room for one more descriptor in what the walker has taken, taken from the
// stock where it has not. False when the walker must spare one first.
bool room_for_descriptor(FolderListings* listings)
{
    if (listings->held == 0) {
        take_descriptors(descriptors_always, true);
        listings->taken = descriptors_always;
        return true;
    }
    if (listings->held >= descriptors_per_walker) return false;
    if (listings->held < listings->taken) return true;
    if (!take_descriptors(1, false)) return false;
    ++listings->taken;
    return true;
}

bool is_dot_or_dot_dot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

const dirent64* record_at(const FolderListings* listings, uint32_t offset)
{
    return reinterpret_cast<const dirent64*>(listings->buffer + offset);
}

// "." and ".." are never hidden.
bool is_hidden_name(const char* name, size_t len)
{
    return len > 1 && name[0] == '.' && !(len == 2 && name[1] == '.');
}

// Only the first three bytes decide; none is read past the terminator.
bool is_hidden_name(const char* name)
{
    return name[0] == '.' && name[1] != '\0' && !(name[1] == '.' && name[2] == '\0');
}

// The top-level item's own name: its last component, trailing separators
// ignored.
bool is_hidden_item(const char* path)
{
    size_t end = strlen(path);
    while (end > 0 && path[end - 1] == '/') --end;
    size_t start = end;
    while (start > 0 && path[start - 1] != '/') --start;
    return is_hidden_name(path + start, end - start);
}

void fill_attributes(mode_t mode, int64_t size, dev_t device, ino_t inode, const char* name, bool hidden,
                     ItemAttributes* out)
{
    uint32_t attributes = 0;
    const mode_t type = mode & S_IFMT;
    if (type == S_IFDIR)
        attributes |= attribute_folder;
    else if (type == S_IFCHR || type == S_IFBLK || type == S_IFIFO || type == S_IFSOCK)
        attributes |= attribute_system;
    if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= attribute_read_only;
    if (hidden) attributes |= attribute_hidden;
    out->attributes = attributes;
    out->size = type == S_IFDIR || size < 0 ? 0 : static_cast<uint64_t>(size);
    out->name = name;
    out->device = device;
    out->inode = inode;
    out->link = false;
}

// statx asked for only what the window shows costs less per entry than
// fstatat. Where the kernel lacks it, or a sandbox's system-call filter
// refuses it, every walker falls back to fstatat for the rest of the process.
std::atomic<bool> statx_refused{false};

int query_by_fstatat(int folder, const char* name, ItemAttributes* out)
{
    struct stat st;
    if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    fill_attributes(st.st_mode, st.st_size, st.st_dev, st.st_ino, name, is_hidden_name(name), out);
    return 0;
}

int query_by_statx(int folder, const char* name, ItemAttributes* out)
{
    if (statx_refused.load(std::memory_order_relaxed)) return query_by_fstatat(folder, name, out);
    // As fstatat does, an automount point is not mounted just to be counted.
    struct statx st;
    constexpr unsigned wanted = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_INO;
    if (statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &st) == 0) {
        fill_attributes(st.stx_mode, static_cast<int64_t>(st.stx_size), makedev(st.stx_dev_major, st.stx_dev_minor),
                        st.stx_ino, name, is_hidden_name(name), out);
        return 0;
    }
    const int error = errno;
    if (error != ENOSYS && error != EPERM) return error;
    const int fallback_error = query_by_fstatat(folder, name, out);
    if (fallback_error == 0) statx_refused.store(true, std::memory_order_relaxed);
    return fallback_error;
}

// Reads a sysfs flag such as "queue/rotational" of a block device: 1 or 0,
// -1 when there is no such file.
int read_block_flag(const char* path)
{
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char value = 0;
    const ssize_t got = read(fd, &value, 1);
    close(fd);
    return got == 1 ? value == '1' : -1;
}

}  // namespace

FolderListings* make_folder_listings()
{
    std::call_once(descriptors_counted, count_descriptors);
    return static_cast<FolderListings*>(calloc(1, sizeof(FolderListings)));
}

void free_folder_listings(FolderListings* listings)
{
    if (listings == nullptr) return;
    for (Level& level : listings->levels)
        if (level.holds) {
            close(level.fd);
            descriptor_closed(listings);
        }
    free(listings);
}

int query_item(const char* path, ItemAttributes* out)
{
    struct stat st;
    if (stat(path, &st) != 0) return errno;
    fill_attributes(st.st_mode, st.st_size, st.st_dev, st.st_ino, path, is_hidden_item(path), out);
    return 0;
}

int query_entry(FolderListings* listings, uint32_t level, const char* path, const char* name,
                ItemAttributes* out)
{
    (void)path;
    return query_by_statx(listings->levels[level].fd, name, out);
}

namespace {

// Where a listing opened below `level` starts in the buffer: above the
// entries `level` has read and not yet returned, moved down to its base.
// Where that leaves too little room, the deepest levels give up what they
// hold, to read it again later; the entries handed over to this walker stay.
uint32_t room_below(FolderListings* listings, uint32_t level)
{
    Level& parent = listings->levels[level];
    const uint32_t waiting = parent.end - parent.next;
    memmove(listings->buffer + parent.base, listings->buffer + parent.next, waiting);
    parent.next = parent.base;
    parent.end = parent.base + waiting;
    uint32_t start = parent.end;
    for (uint32_t above = level; listing_buffer_size - start < read_least && above > 0; --above) {
        Level& giving = listings->levels[above];
        if (!giving.own || giving.shared) break;
        if (giving.next < giving.end) giving.seek = true;
        giving.next = giving.end = giving.base;
        start = giving.base;
    }
    return start;
}

}  // namespace

ListingStart open_listing(FolderListings* listings, uint32_t level, const ItemAttributes& folder, char* path,
                          uint32_t name_slot, int* error)
{
    if (listings == nullptr || level == 0 || level > max_folder_level) {
        *error = listings == nullptr ? ENOMEM : ENAMETOOLONG;
        return ListingStart::failed;
    }
    for (uint32_t above = 1; above < level; ++above)
        if (listings->levels[above].device == folder.device && listings->levels[above].inode == folder.inode)
            return ListingStart::not_descended;

    const bool may_spare = level > 1 && listings->held > 1;
    if (!room_for_descriptor(listings)) {
        *error = EMFILE;
        return may_spare ? ListingStart::short_of_handles : ListingStart::failed;
    }
    // The top-level item was named by the user and may be reached through
    // links. Below it a folder is opened only as the very entry that was
    // queried: a link put in its place is refused. The separator after the
    // name is lifted for the call, since a trailing slash would make the
    // kernel follow a link despite O_NOFOLLOW.
    int fd;
    if (level == 1) {
        fd = open(folder.name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        path[name_slot - 1] = '\0';
        fd = openat(listings->levels[level - 1].fd, folder.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        path[name_slot - 1] = path_separator;
    }
    if (fd < 0) {
        *error = errno;
        ++listings->held;
        descriptor_closed(listings);
        // Descriptors the walker holds above are its own to give back.
        return (*error == EMFILE || *error == ENFILE) && may_spare ? ListingStart::short_of_handles
                                                                     : ListingStart::failed;
    }
    if (listings->held++ == 0) listings->lowest = level;
    Level& opened = listings->levels[level];
    opened = Level{};
    opened.fd = fd;
    opened.holds = true;
    opened.own = true;
    opened.name_slot = name_slot;
    opened.base = opened.next = opened.end = level == 1 || !listings->levels[level - 1].own ? 0 : room_below(listings, level - 1);
    opened.device = folder.device;
    opened.inode = folder.inode;
    return ListingStart::opened;
}

bool spare_handle(FolderListings* listings, uint32_t level)
{
    if (listings->held < 2 || listings->lowest + 1 >= level) return false;
    Level& spared = listings->levels[listings->lowest];
    close(spared.fd);
    spared.holds = false;
    spared.spared = true;
    spared.seek = true;
    ++listings->lowest;
    descriptor_closed(listings);
    return true;
}

namespace {

// Whether the folder open as `fd` is the one the level listed.
bool is_same_folder(int fd, const Level& level)
{
    struct stat st;
    return fstat(fd, &st) == 0 && st.st_dev == level.device && st.st_ino == level.inode;
}

// Takes a descriptor again for the spared level above `level`, through ".."
// of the folder open at `level`. Where that fails, or the folder found is no
// longer the one listed (moved away meanwhile), the rest of it is not read.
void take_back_parent(FolderListings* listings, uint32_t level)
{
    Level& parent = listings->levels[level - 1];
    const Level& child = listings->levels[level];
    // A child that lost its own descriptor the same way passes its error on.
    const int fd = child.holds ? openat(child.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    int error = fd >= 0 ? 0 : child.holds ? errno : child.error;
    if (fd >= 0 && !is_same_folder(fd, parent)) {
        close(fd);
        error = ENOENT;
    }
    parent.spared = false;
    if (error != 0) {
        parent.error = error;
        parent.at_end = true;
        parent.next = parent.end;
        return;
    }
    // Two descriptors are always the walker's: it holds only `level`.
    ++listings->held;
    if (listings->taken < listings->held) listings->taken = listings->held;
    parent.fd = fd;
    parent.holds = true;
    listings->lowest = level - 1;
}

}  // namespace

const char* next_entry(FolderListings* listings, uint32_t level, uint32_t* name_len)
{
    Level& listing = listings->levels[level];
    if (listing.next >= listing.end) {
        if (listing.at_end || listing.shared) return nullptr;
        if (listing.seek && lseek(listing.fd, static_cast<off_t>(listing.resume), SEEK_SET) < 0) {
            listing.at_end = true;
            listing.error = errno;
            return nullptr;
        }
        listing.seek = false;
        const uint32_t room = listing_buffer_size - listing.base;
        const ssize_t filled = getdents64(listing.fd, listings->buffer + listing.base, room < read_most ? room : read_most);
        if (filled <= 0) {
            listing.at_end = true;
            if (filled < 0) listing.error = errno;
            return nullptr;
        }
        listing.next = listing.base;
        listing.end = listing.base + static_cast<uint32_t>(filled);
        if (listings->waiting > level || listings->waiting == 0) listings->waiting = level;
    }
    const dirent64* record = record_at(listings, listing.next);
    listing.next += record->d_reclen;
    listing.resume = static_cast<uint64_t>(record->d_off);
    *name_len = static_cast<uint32_t>(strlen(record->d_name));
    return record->d_name;
}

int close_listing(FolderListings* listings, uint32_t level)
{
    Level& listing = listings->levels[level];
    if (level > 1 && listings->levels[level - 1].own && listings->levels[level - 1].spared)
        take_back_parent(listings, level);
    listing.own = false;
    if (listing.holds) {
        close(listing.fd);
        listing.holds = false;
        if (listings->lowest == level) listings->lowest = level - 1;
        descriptor_closed(listings);
    }
    return listing.error;
}

namespace {

// A walker about to be handed a listing at `level`: the levels above are
// only identities to it, for the loop rule.
bool make_ready(FolderListings* from, FolderListings* to, uint32_t level)
{
    if (!take_descriptors(descriptors_always, false)) return false;
    to->taken = descriptors_always;
    to->held = 1;
    to->lowest = level;
    to->waiting = level;
    for (uint32_t above = 1; above < level; ++above) {
        Level& copy = to->levels[above];
        copy = Level{};
        copy.device = from->levels[above].device;
        copy.inode = from->levels[above].inode;
    }
    return true;
}

}  // namespace

// Only the descriptor and the identities travel: nothing was read yet.
bool hand_over_listing(FolderListings* from, FolderListings* to, uint32_t level)
{
    if (!make_ready(from, to, level)) return false;
    Level& given = from->levels[level];
    to->levels[level] = given;
    to->levels[level].base = to->levels[level].next = to->levels[level].end = 0;
    given.holds = false;
    given.own = false;
    if (from->lowest == level) from->lowest = level - 1;
    descriptor_closed(from);
    return true;
}

namespace {

// Whether a non-dot entry waits at `level` from `at` on.
bool waits_at(const FolderListings* listings, const Level& listing)
{
    for (uint32_t at = listing.next; at < listing.end; at += record_at(listings, at)->d_reclen)
        if (!is_dot_or_dot_dot(record_at(listings, at)->d_name)) return true;
    return false;
}

}  // namespace

// The first half of what waits (whole records, at least one) travels, with
// a descriptor of the folder of its own; `from` goes on after it, and would
// read again from after it.
uint32_t hand_over_entries(FolderListings* from, FolderListings* to, uint32_t level, char* path,
                           uint32_t* name_slot)
{
    uint32_t shared = from->waiting == 0 ? level : from->waiting;
    for (; shared < level; ++shared) {
        const Level& above = from->levels[shared];
        if (above.own && waits_at(from, above)) break;
        if (from->waiting == shared) from->waiting = shared + 1;
    }
    Level& listing = from->levels[shared];
    const uint32_t waiting = listing.end - listing.next;
    if (shared == level ? waiting < 2 * share_least : waiting == 0) return 0;
    if (!make_ready(from, to, shared)) return 0;
    // A description of the folder of its own, not a copy of the giver's:
    // walkers querying relative to one shared description would contend
    // for its reference count at every query. A folder whose descriptor was
    // given back is opened by its path, and must still be the one listed.
    int fd;
    if (listing.holds) {
        fd = openat(listing.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        const char kept = path[listing.name_slot];
        path[listing.name_slot] = '\0';
        fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        path[listing.name_slot] = kept;
        if (fd >= 0 && !is_same_folder(fd, listing)) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        to->held = 0;
        to->taken = 0;
        give_descriptors(descriptors_always);
        return 0;
    }
    uint32_t split = listing.next;
    uint64_t resume = listing.resume;
    bool has_entry = false;
    do {
        const dirent64* record = record_at(from, split);
        has_entry = has_entry || !is_dot_or_dot_dot(record->d_name);
        split += record->d_reclen;
        resume = static_cast<uint64_t>(record->d_off);
    } while (split - listing.next < waiting / 2 || !has_entry);
    Level& share = to->levels[shared];
    share = listing;
    share.fd = fd;
    share.error = 0;
    share.shared = true;
    share.spared = false;
    share.base = share.next = 0;
    share.end = split - listing.next;
    memcpy(to->buffer, from->buffer + listing.next, share.end);
    listing.next = split;
    listing.resume = resume;
    *name_slot = listing.name_slot;
    return shared;
}

bool entries_waiting(const FolderListings* listings, uint32_t level)
{
    return waits_at(listings, listings->levels[level]);
}

namespace {

// A virtual machine's disk (virtio, Xen) is marked rotating whatever stores
// it, since the guest's kernel cannot know; measured on one, a walk with
// several walkers took half the time of one, even with a cold cache.
bool is_virtual_disk(const char* device_link)
{
    char target[512];
    const ssize_t len = readlink(device_link, target, sizeof target - 1);
    if (len <= 0) return false;
    target[len] = '\0';
    return strstr(target, "/virtio") != nullptr || strstr(target, "/vbd-") != nullptr;
}

}  // namespace

namespace {

bool on_rotating_disk(const ItemAttributes& item)
{
    const unsigned major_number = major(static_cast<dev_t>(item.device));
    const unsigned minor_number = minor(static_cast<dev_t>(item.device));
    if (major_number == 0) return false;  // no block device: tmpfs, overlay, proc
    char device[64];
    snprintf(device, sizeof device, "/sys/dev/block/%u:%u", major_number, minor_number);
    // A partition's own folder has no queue; its disk's is one above.
    char flag[96];
    snprintf(flag, sizeof flag, "%s/queue/rotational", device);
    int rotational = read_block_flag(flag);
    if (rotational < 0) {
        snprintf(flag, sizeof flag, "%s/../queue/rotational", device);
        rotational = read_block_flag(flag);
    }
    return rotational == 1 && !is_virtual_disk(device);
}

// File systems whose every question goes over the network, by their type.
// A FUSE file system on a block device of its own (fuseblk: NTFS on a USB
// disk, say) is a disk, and its device says which.
bool is_remote(uint32_t type, uint64_t device)
{
    constexpr uint32_t fuse = 0x65735546;
    constexpr uint32_t network[] = {
        NFS_SUPER_MAGIC, SMB_SUPER_MAGIC, 0xFF534D42 /* CIFS */, 0xFE534D42 /* SMB2 */, V9FS_MAGIC,
        AFS_SUPER_MAGIC, AFS_FS_MAGIC, CODA_SUPER_MAGIC, 0x00C36400 /* Ceph */, 0x0BD00BD0 /* Lustre */,
        0x564C /* NCP */, 0x47504653 /* GPFS */,
    };
    if (type == fuse) return major(static_cast<dev_t>(device)) == 0;
    for (const uint32_t known : network)
        if (type == known) return true;
    return false;
}

}  // namespace

Storage storage_of(const ItemAttributes& item)
{
    struct statfs fs;
    if (statfs(item.name, &fs) == 0 && is_remote(static_cast<uint32_t>(fs.f_type), item.device))
        return Storage::remote;
    return on_rotating_disk(item) ? Storage::rotating_disk : Storage::local;
}
