// Makes the benchmark trees, the same every time for the same arguments:
//   make_tree wide DIR [PERCENT]  about 10,000 folders of about 100 entries
//                                 (1 million; PERCENT scales the leaf folders)
//   make_tree deep DIR            300 chains of 120 nested folders, 4 entries
//                                 a level besides the next folder (180 thousand)
//   make_tree flat DIR            one folder of 300,000 empty files
//   make_tree chains DIR          64 chains of 2,000 nested folders, one empty
//                                 file at the bottom of each (128,065 folders)
// Sizes vary (files are sparse, so the trees take little disk); dot-files,
// read-only files and links to files and folders are mixed in.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

uint64_t random_state = 0x9E3779B97F4A7C15ull;

// xorshift64*: deterministic, no library state.
uint64_t next_random()
{
    random_state ^= random_state >> 12;
    random_state ^= random_state << 25;
    random_state ^= random_state >> 27;
    return random_state * 0x2545F4914F6CDD1Dull;
}

[[noreturn]] void fail(const char* what, const std::string& name)
{
    fprintf(stderr, "make_tree: %s %s: %s\n", what, name.c_str(), strerror(errno));
    exit(1);
}

void make_folder(int parent, const std::string& name)
{
    if (mkdirat(parent, name.c_str(), 0755) != 0) fail("mkdir", name);
}

int open_folder(int parent, const std::string& name)
{
    const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) fail("open", name);
    return fd;
}

// One entry of a folder: mostly plain files of varied sizes, with some
// dot-files, read-only files and links.
void make_entry(int folder, unsigned index)
{
    const uint64_t pick = next_random();
    const unsigned kind = static_cast<unsigned>(pick % 100);
    std::string name = (kind < 5 ? ".file" : "file") + std::to_string(index) + ".dat";
    if (kind >= 95) {
        const char* target = kind % 2 == 0 ? "file0.dat" : "..";
        name = "link" + std::to_string(index);
        if (symlinkat(target, folder, name.c_str()) != 0) fail("symlink", name);
        return;
    }
    const mode_t mode = kind >= 5 && kind < 10 ? 0444 : 0644;
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) fail("create", name);
    const uint64_t size = (pick >> 8) % (kind < 50 ? 4096 : 1u << 20);
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) fail("size", name);
    close(fd);
}

void fill_folder(int folder, unsigned entries)
{
    for (unsigned i = 0; i < entries; ++i) make_entry(folder, i);
}

void make_wide(int root, unsigned leaf_folders)
{
    // 10 top folders, each with 10 folders of 100 folders: 10,110 folders.
    for (unsigned a = 0; a < 10; ++a) {
        const std::string a_name = "area" + std::to_string(a);
        make_folder(root, a_name);
        const int a_fd = open_folder(root, a_name);
        fill_folder(a_fd, 100);
        for (unsigned b = 0; b < 10; ++b) {
            const std::string b_name = (b == 9 ? ".group" : "group") + std::to_string(b);
            make_folder(a_fd, b_name);
            const int b_fd = open_folder(a_fd, b_name);
            fill_folder(b_fd, 100);
            for (unsigned c = 0; c < leaf_folders; ++c) {
                const std::string c_name = "folder" + std::to_string(c);
                make_folder(b_fd, c_name);
                const int c_fd = open_folder(b_fd, c_name);
                fill_folder(c_fd, 90 + static_cast<unsigned>(next_random() % 20));
                close(c_fd);
            }
            close(b_fd);
        }
        close(a_fd);
    }
}

void make_deep(int root)
{
    for (unsigned chain = 0; chain < 300; ++chain) {
        int parent = dup(root);
        std::string name = "chain" + std::to_string(chain);
        for (unsigned level = 0; level < 120; ++level) {
            make_folder(parent, name);
            const int folder = open_folder(parent, name);
            close(parent);
            fill_folder(folder, 4);
            parent = folder;
            name = "level" + std::to_string(level);
        }
        close(parent);
    }
}

void make_flat(int root)
{
    for (unsigned i = 0; i < 300000; ++i) {
        const std::string name = "message" + std::to_string(i);
        const int fd = openat(root, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) fail("create", name);
        close(fd);
    }
}

void make_chains(int root)
{
    for (unsigned chain = 0; chain < 64; ++chain) {
        const std::string top = "c" + std::to_string(chain);
        make_folder(root, top);
        int parent = open_folder(root, top);
        for (unsigned level = 0; level < 2000; ++level) {
            make_folder(parent, "d");
            const int folder = open_folder(parent, "d");
            close(parent);
            parent = folder;
        }
        const int fd = openat(parent, "f", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) fail("create", "f");
        close(fd);
        close(parent);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const char* const shape = argc >= 3 ? argv[1] : "";
    const bool wide = strcmp(shape, "wide") == 0;
    const bool known = wide || strcmp(shape, "deep") == 0 || strcmp(shape, "flat") == 0 || strcmp(shape, "chains") == 0;
    if (!known || argc > (wide ? 4 : 3)) {
        fputs("usage: make_tree wide DIR [PERCENT] | make_tree deep|flat|chains DIR\n", stderr);
        return 2;
    }
    const unsigned percent = argc == 4 ? static_cast<unsigned>(atoi(argv[3])) : 100;
    if (mkdir(argv[2], 0755) != 0) fail("mkdir", argv[2]);
    const int root = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) fail("open", argv[2]);
    if (wide)
        make_wide(root, percent);
    else if (strcmp(shape, "deep") == 0)
        make_deep(root);
    else if (strcmp(shape, "flat") == 0)
        make_flat(root);
    else
        make_chains(root);
    close(root);
    return 0;
}
