// The file-system layer on Linux: each folder is opened relative to its
// parent's descriptor, listed with getdents64 into a buffer of its level, and
// each entry is queried relative to the folder. Nothing is allocated per
// entry or per folder: a walker's level takes its memory the first time the
// walker reaches it.
//
// What the window's letters mean here: R, none of the three write bits is
// set; H, the item's own name begins with "."; S, a device, FIFO or socket
// (counted as a file of its reported size and never opened). Folders are
// never S. Below the top-level item links are not followed.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/file_system.h"

const char path_separator = '/';
const int path_too_long_error = ENAMETOOLONG;

bool is_path_separator(char c)
{
    return c == '/';
}

uint32_t path_length(const char*, uint32_t n)
{
    return n;
}

namespace {

// Large enough that most folders are read in one call. Only the part a
// listing fills is ever touched, so deep levels cost a page or so each.
constexpr size_t listing_buffer_size = 32 * 1024;

struct Listing {
    int fd;
    int error;      // what ended the listing early, 0 otherwise
    bool at_end;
    uint32_t next;  // offset of the next record in the buffer
    uint32_t end;   // bytes the last read filled
    alignas(8) char buffer[listing_buffer_size];
};

// Identity of a folder being walked, to notice a loop back to it.
struct FolderIdentity {
    uint64_t device;
    uint64_t inode;
};

}  // namespace

struct FolderListings {
    Listing* levels[max_folder_level + 1];            // taken on first use
    FolderIdentity identities[max_folder_level + 1];  // of each open level's folder
};

namespace {

// A deep walk holds one descriptor per level and walker; ask for as many as
// the hard limit allows, up to what the deepest walks need.
void raise_descriptor_limit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = 4 * max_folder_level + 64;
    if (limit.rlim_cur >= wanted) return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted ? wanted : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

std::once_flag descriptors_raised;

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

// The level's listing, its memory taken on first use; null without memory.
Listing* listing_at(FolderListings* listings, uint32_t level)
{
    Listing*& listing = listings->levels[level];
    if (listing == nullptr) {
        listing = static_cast<Listing*>(malloc(sizeof(Listing)));
        if (listing != nullptr) listing->fd = -1;
    }
    return listing;
}

// A listing of `fd` from its first entry on.
void start_listing(Listing* listing, int fd)
{
    listing->fd = fd;
    listing->error = 0;
    listing->at_end = false;
    listing->next = 0;
    listing->end = 0;
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
    std::call_once(descriptors_raised, raise_descriptor_limit);
    return static_cast<FolderListings*>(calloc(1, sizeof(FolderListings)));
}

void free_folder_listings(FolderListings* listings)
{
    if (listings == nullptr) return;
    for (Listing* listing : listings->levels) {
        if (listing == nullptr) continue;
        if (listing->fd >= 0) close(listing->fd);
        free(listing);
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
    return query_by_statx(listings->levels[level]->fd, name, out);
}

ListingStart open_listing(FolderListings* listings, uint32_t level, const ItemAttributes& folder, char* path,
                          uint32_t name_slot, int* error)
{
    if (listings == nullptr || level == 0 || level > max_folder_level) {
        *error = listings == nullptr ? ENOMEM : ENAMETOOLONG;
        return ListingStart::failed;
    }
    for (uint32_t above = 1; above < level; ++above)
        if (listings->identities[above].device == folder.device && listings->identities[above].inode == folder.inode)
            return ListingStart::not_descended;

    Listing* listing = listing_at(listings, level);
    if (listing == nullptr) {
        *error = ENOMEM;
        return ListingStart::failed;
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
        fd = openat(listings->levels[level - 1]->fd, folder.name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        path[name_slot - 1] = path_separator;
    }
    if (fd < 0) {
        *error = errno;
        return ListingStart::failed;
    }
    start_listing(listing, fd);
    listings->identities[level] = FolderIdentity{folder.device, folder.inode};
    return ListingStart::opened;
}

const char* next_entry(FolderListings* listings, uint32_t level, uint32_t* name_len)
{
    Listing& listing = *listings->levels[level];
    while (listing.next >= listing.end) {
        if (listing.at_end) return nullptr;
        const ssize_t filled = getdents64(listing.fd, listing.buffer, listing_buffer_size);
        if (filled <= 0) {
            listing.at_end = true;
            if (filled < 0) listing.error = errno;
            return nullptr;
        }
        listing.next = 0;
        listing.end = static_cast<uint32_t>(filled);
    }
    const auto* record = reinterpret_cast<const dirent64*>(listing.buffer + listing.next);
    listing.next += record->d_reclen;
    *name_len = static_cast<uint32_t>(strlen(record->d_name));
    return record->d_name;
}

int close_listing(FolderListings* listings, uint32_t level)
{
    Listing& listing = *listings->levels[level];
    close(listing.fd);
    listing.fd = -1;
    return listing.error;
}

// Only the descriptor and the identities travel: nothing was read yet.
void hand_over_listing(FolderListings* from, FolderListings* to, uint32_t level)
{
    Listing* const given = from->levels[level];
    Listing* listing = listing_at(to, level);
    if (listing == nullptr) {
        // Without memory for the level the receiver takes the giver's.
        listing = given;
        from->levels[level] = nullptr;
        to->levels[level] = listing;
    } else {
        start_listing(listing, given->fd);
        given->fd = -1;
    }
    memcpy(&to->identities[1], &from->identities[1], level * sizeof(FolderIdentity));
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

bool walk_alone(const ItemAttributes& item)
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
