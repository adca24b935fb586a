// A library preloaded into the real program to inject one file-system fault
// at the moment the walk reaches a given entry. HEAPWISE_FAULT names the
// fault, HEAPWISE_FAULT_NAME the entry (a name within its folder):
//   vanish        the entry is removed just before its attribute query
//   rename        the entry is renamed ("<name>.moved") just before its query
//   link_to_root  the folder is replaced by a link to "/" just before it is opened
//   listing_eio   the folder's listing returns three entries, then fails with EIO
//   slow_open     each folder of that name waits half a second before it is
//                 opened, so that the progress line shows it; where
//                 HEAPWISE_FAULT_COLUMNS is set, the terminal on standard
//                 error takes that width at the second one; HEAPWISE_FAULT_SIGNAL
//                 makes the first one send the process that signal after its wait
//   no_types      every listing reports its entries' types as unknown
//   statx_enosys  statx fails with ENOSYS, as on a kernel without it
//   statx_eperm   statx fails with EPERM, as under a filter that refuses it
// Each fault but slow_open and the last three happens once.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace {

template <typename Function>
Function next_definition(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

const char* fault()
{
    const char* value = getenv("HEAPWISE_FAULT");
    return value != nullptr ? value : "";
}

bool is_target(const char* name)
{
    const char* target = getenv("HEAPWISE_FAULT_NAME");
    return target != nullptr && strcmp(name, target) == 0;
}

bool done = false;
int failing_listing = -1;
int listing_calls = 0;
int slow_opens = 0;

}  // namespace

namespace {

// Both ways of asking for an entry's attributes.
void before_query(int dirfd, const char* name)
{
    if (done || !is_target(name)) return;
    if (strcmp(fault(), "vanish") == 0) {
        done = true;
        if (unlinkat(dirfd, name, 0) != 0) unlinkat(dirfd, name, AT_REMOVEDIR);
    } else if (strcmp(fault(), "rename") == 0) {
        done = true;
        renameat(dirfd, name, dirfd, (std::string(name) + ".moved").c_str());
    }
}

}  // namespace

extern "C" int fstatat(int dirfd, const char* name, struct stat* st, int flags)
{
    static auto real = next_definition<int (*)(int, const char*, struct stat*, int)>("fstatat");
    before_query(dirfd, name);
    return real(dirfd, name, st, flags);
}

extern "C" int statx(int dirfd, const char* name, int flags, unsigned mask, struct statx* st)
{
    static auto real = next_definition<int (*)(int, const char*, int, unsigned, struct statx*)>("statx");
    if (strcmp(fault(), "statx_enosys") == 0 || strcmp(fault(), "statx_eperm") == 0) {
        errno = strcmp(fault(), "statx_enosys") == 0 ? ENOSYS : EPERM;
        return -1;
    }
    before_query(dirfd, name);
    return real(dirfd, name, flags, mask, st);
}

extern "C" int openat(int dirfd, const char* name, int flags, ...)
{
    static auto real = next_definition<int (*)(int, const char*, int, ...)>("openat");
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    const bool target = !done && is_target(name);
    if (target && strcmp(fault(), "slow_open") == 0) {
        const char* columns = getenv("HEAPWISE_FAULT_COLUMNS");
        if (columns != nullptr && ++slow_opens == 2) {
            winsize size{};
            ioctl(STDERR_FILENO, TIOCGWINSZ, &size);
            size.ws_col = static_cast<unsigned short>(atoi(columns));
            ioctl(STDERR_FILENO, TIOCSWINSZ, &size);
        }
        const timespec half_a_second = {0, 500'000'000};
        nanosleep(&half_a_second, nullptr);
        if (const char* signal_number = getenv("HEAPWISE_FAULT_SIGNAL"); signal_number != nullptr && !done)
            done = kill(getpid(), atoi(signal_number)) == 0;
    }
    if (target && strcmp(fault(), "link_to_root") == 0) {
        done = true;
        renameat(dirfd, name, dirfd, (std::string(name) + ".moved").c_str());
        symlinkat("/", dirfd, name);
    }
    const int fd = real(dirfd, name, flags, mode);
    if (target && fd >= 0 && strcmp(fault(), "listing_eio") == 0) {
        done = true;
        failing_listing = fd;
    }
    return fd;
}

extern "C" ssize_t getdents64(int fd, void* buffer, size_t size)
{
    static auto real = next_definition<ssize_t (*)(int, void*, size_t)>("getdents64");
    if (fd == failing_listing && listing_calls++ > 0) {
        failing_listing = -1;
        errno = EIO;
        return -1;
    }
    ssize_t filled = real(fd, buffer, size);
    if (filled <= 0) return filled;
    char* const bytes = static_cast<char*>(buffer);
    int others = 0;
    for (ssize_t at = 0; at < filled;) {
        auto* record = reinterpret_cast<dirent64*>(bytes + at);
        if (strcmp(fault(), "no_types") == 0) record->d_type = DT_UNKNOWN;
        const bool dot = strcmp(record->d_name, ".") == 0 || strcmp(record->d_name, "..") == 0;
        at += record->d_reclen;
        // The failing listing keeps the dots and its first three entries.
        if (fd == failing_listing && !dot && ++others == 3) filled = at;
    }
    return filled;
}
