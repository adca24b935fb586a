// Real folder trees made at test time in a temporary directory. One
// implementation per platform (temp_tree_posix.cpp, temp_tree_win32.cpp).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The tree's root folder, without a trailing separator.
    const std::string& root() const { return root_; }
    // root() + separator + relative (root() itself for an empty text). A "/"
    // in `relative` stands for the platform's separator.
    std::string path(const std::string& relative) const;

    // Each creates what it names below the root (parents must exist) and
    // fails the current test when it cannot. On Windows a mode without write
    // bits makes the item read-only, a name beginning with "." makes it
    // hidden, and links, FIFOs and sockets cannot be made.
    void folder(const std::string& relative, mode_t mode = 0755);
    void file(const std::string& relative, uint64_t size = 0, mode_t mode = 0644);
    void sparse_file(const std::string& relative, uint64_t size);
    void symlink(const std::string& relative, const std::string& target);
    void fifo(const std::string& relative);
    void socket(const std::string& relative);
    void chmod(const std::string& relative, mode_t mode);
    // `levels` nested folders named `name` below the root; returns the
    // deepest one's relative path.
    std::string folder_chain(const std::string& name, int levels);
    // `folders` folders f0, f1, ... below the root, each holding 8 folders
    // of 6 one-byte files: a scan long enough to be caught running.
    void bushy(int folders);

private:
    std::string root_;
};

struct Tally;

// Every field of a Tally as one line, so a mismatch shows the whole picture.
std::string describe(const Tally& tally);

// A path's length as Max Path counts it, measured by the system: bytes on
// Linux, UTF-16 code units on Windows.
uint32_t length(const std::string& text);

// Whether paths of about 4 KB can be made and read here. Not under Wine,
// where the temporary folder lies deeper on the host than it shows, and the
// host's own limit of 4,096 bytes comes first.
bool long_paths_reachable();

// Whether a folder made here keeps a read-only mark. Wine keeps none on the
// folders a program makes.
bool read_only_folders_can_be_made();

// The walkers scan_path counts with unless told: 1, or what a suite that
// runs with one walker and with several sets for each run.
extern unsigned walkers_in_tests;

// Counts one path into the Tally as a worker would (scan_lock not taken),
// with a team of `walkers` led by the calling thread.
void scan_path(const std::string& path, unsigned walkers = walkers_in_tests);

// Runs fn in a child process (Linux only) with CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH
// dropped, so that folder permissions hold even for root, and returns what
// fn wrote to its output string. Fails the test if the child fails.
std::string run_unprivileged(std::string (*fn)(const std::string& argument), const std::string& argument);
