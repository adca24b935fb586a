// The system calls of a walk and nothing else: each folder opened relative to
// its parent, listed with getdents64, one statx per entry relative to it. The
// benchmark runs it beside the program to show how close the walk is to the
// cost of its calls alone. Prints the file count and byte sum.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

constexpr int deepest = 512;
constexpr size_t buffer_size = 32 * 1024;
alignas(8) char buffers[deepest][buffer_size];
uint64_t files;
uint64_t bytes;

void walk(int folder, int level)
{
    char* const buffer = buffers[level];
    for (;;) {
        const ssize_t filled = getdents64(folder, buffer, buffer_size);
        if (filled <= 0) return;
        for (ssize_t offset = 0; offset < filled;) {
            const auto* record = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += record->d_reclen;
            const char* name = record->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            struct statx st;
            if (statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                      STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_INO, &st) != 0)
                continue;
            if (S_ISDIR(st.stx_mode)) {
                if (level + 1 == deepest) continue;
                const int below = openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (below < 0) continue;
                walk(below, level + 1);
                close(below);
            } else {
                ++files;
                bytes += st.stx_size;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const int top = open(argv[i], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (top < 0) {
            perror(argv[i]);
            return 1;
        }
        walk(top, 0);
        close(top);
    }
    printf("%llu files, %llu bytes\n", static_cast<unsigned long long>(files), static_cast<unsigned long long>(bytes));
    return 0;
}
