// The file-system layer on Linux: each folder is opened relative to its
// parent's descriptor, listed with getdents64 into a buffer kept per level,
// and each entry is queried relative to the folder. Nothing is allocated.
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

#include <cstdint>
#include <cstring>

#include "core/file_system.h"

const char path_separator = '/';
const int path_too_long_error = ENAMETOOLONG;

namespace {

// Large enough that most folders are read in one call. Only the part a
// listing fills is ever touched, so deep levels cost a page or so each.
constexpr size_t listing_buffer_size = 32 * 1024;

struct ListingLevel {
    int fd;
    int error;      // what ended the listing early, 0 otherwise
    bool at_end;
    uint32_t next;  // offset of the next record in the buffer
    uint32_t end;   // bytes the last read filled
    dev_t device;   // identity of the folder, to notice loops
    ino_t inode;
};

ListingLevel levels[max_folder_level + 1];
alignas(8) char listing_buffers[max_folder_level + 1][listing_buffer_size];

// Identity of the last item or entry queried: the folder open_listing opens.
dev_t queried_device;
ino_t queried_inode;
const char* queried_name;

bool descriptors_raised = false;

// A deep walk holds one descriptor per level; ask for as many as the hard
// limit allows, up to what the deepest possible walk needs.
void raise_descriptor_limit()
{
    descriptors_raised = true;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = max_folder_level + 64;
    if (limit.rlim_cur >= wanted) return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted ? wanted : limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
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

void fill_attributes(mode_t mode, int64_t size, dev_t device, ino_t inode, bool hidden, ItemAttributes* out)
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
    queried_device = device;
    queried_inode = inode;
}

// statx asked for only what the window shows costs less per entry than
// fstatat. Where the kernel lacks it, or a sandbox's system-call filter
// refuses it, the walk falls back to fstatat for the rest of the process.
// Workers walk one at a time, under scan_lock.
bool statx_refused = false;

int query_by_fstatat(int folder, const char* name, ItemAttributes* out)
{
    struct stat st;
    if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    fill_attributes(st.st_mode, st.st_size, st.st_dev, st.st_ino, is_hidden_name(name), out);
    return 0;
}

int query_by_statx(int folder, const char* name, ItemAttributes* out)
{
    if (statx_refused) return query_by_fstatat(folder, name, out);
    // As fstatat does, an automount point is not mounted just to be counted.
    struct statx st;
    constexpr unsigned wanted = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_INO;
    if (statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &st) == 0) {
        fill_attributes(st.stx_mode, static_cast<int64_t>(st.stx_size), makedev(st.stx_dev_major, st.stx_dev_minor),
                        st.stx_ino, is_hidden_name(name), out);
        return 0;
    }
    const int error = errno;
    if (error != ENOSYS && error != EPERM) return error;
    const int fallback_error = query_by_fstatat(folder, name, out);
    if (fallback_error == 0) statx_refused = true;
    return fallback_error;
}

}  // namespace

int query_item(const char* path, ItemAttributes* out)
{
    struct stat st;
    if (stat(path, &st) != 0) return errno;
    fill_attributes(st.st_mode, st.st_size, st.st_dev, st.st_ino, is_hidden_item(path), out);
    queried_name = path;
    return 0;
}

int query_entry(uint32_t level, const char* path, const char* name, ItemAttributes* out)
{
    (void)path;
    const int error = query_by_statx(levels[level].fd, name, out);
    if (error == 0) queried_name = name;
    return error;
}

ListingStart open_listing(uint32_t level, char* path, uint32_t name_slot, int* error)
{
    if (level == 0 || level > max_folder_level) {
        *error = ENAMETOOLONG;
        return ListingStart::failed;
    }
    for (uint32_t above = 1; above < level; ++above)
        if (levels[above].device == queried_device && levels[above].inode == queried_inode)
            return ListingStart::not_descended;

    if (!descriptors_raised) raise_descriptor_limit();
    // The top-level item was named by the user and may be reached through
    // links. Below it a folder is opened only as the very entry that was
    // queried: a link put in its place is refused. The separator after the
    // name is lifted for the call, since a trailing slash would make the
    // kernel follow a link despite O_NOFOLLOW.
    int fd;
    if (level == 1) {
        fd = open(queried_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        path[name_slot - 1] = '\0';
        fd = openat(levels[level - 1].fd, queried_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        path[name_slot - 1] = path_separator;
    }
    if (fd < 0) {
        *error = errno;
        return ListingStart::failed;
    }
    ListingLevel& listing = levels[level];
    listing.fd = fd;
    listing.error = 0;
    listing.at_end = false;
    listing.next = 0;
    listing.end = 0;
    listing.device = queried_device;
    listing.inode = queried_inode;
    return ListingStart::opened;
}

const char* next_entry(uint32_t level, uint32_t* name_len)
{
    ListingLevel& listing = levels[level];
    char* const buffer = listing_buffers[level];
    while (listing.next >= listing.end) {
        if (listing.at_end) return nullptr;
        const ssize_t filled = getdents64(listing.fd, buffer, listing_buffer_size);
        if (filled <= 0) {
            listing.at_end = true;
            if (filled < 0) listing.error = errno;
            return nullptr;
        }
        listing.next = 0;
        listing.end = static_cast<uint32_t>(filled);
    }
    const auto* record = reinterpret_cast<const dirent64*>(buffer + listing.next);
    listing.next += record->d_reclen;
    *name_len = static_cast<uint32_t>(strlen(record->d_name));
    return record->d_name;
}

int close_listing(uint32_t level)
{
    ListingLevel& listing = levels[level];
    close(listing.fd);
    listing.fd = -1;
    return listing.error;
}

bool paths_are_utf8()
{
    return true;
}
