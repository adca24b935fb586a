// Real folder trees made at test time in a temporary directory.
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

    // The tree's root folder, without a trailing slash.
    const std::string& root() const { return root_; }
    // root() + "/" + relative (root() itself for an empty text).
    std::string path(const std::string& relative) const;

    // Each creates what it names below the root (parents must exist) and
    // fails the current test when it cannot.
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

private:
    std::string root_;
};

struct Tally;

// Every field of a Tally as one line, so a mismatch shows the whole picture.
std::string describe(const Tally& tally);

// A text's length as the Tally counts it.
inline uint32_t length(const std::string& text)
{
    return static_cast<uint32_t>(text.size());
}

// Counts one path on the calling thread as a worker would (scan_lock not
// taken): places it in the ScanCursor and calls scan_item.
void scan_path(const std::string& path);

// Runs fn in a child process with CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH
// dropped, so that folder permissions hold even for root, and returns what
// fn wrote to its output string. Fails the test if the child fails.
std::string run_unprivileged(std::string (*fn)(const std::string& argument), const std::string& argument);
