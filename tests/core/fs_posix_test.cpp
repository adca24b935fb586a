// The Linux file-system layer under the walk: what R, S and H mean here, links,
// special files, bind-mount loops, folders that cannot be read, the path
// buffer's limit and a 2,000-level tree.
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/walk.h"
#include "tests/support/scan_test.h"
#include "tests/support/temp_tree.h"

// Expected tallies name only their non-zero fields; the rest are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

uint32_t slashes_in(const std::string& path)
{
    return static_cast<uint32_t>(std::count(path.begin(), path.end(), '/'));
}

// Each failure report as one line of text; compared sorted, since listing
// order is the file system's.
std::vector<std::string> failures;

std::string describe_failure(ScanFailure kind, const std::string& path, const std::string& name, int error)
{
    return std::string(kind == ScanFailure::cannot_read ? "cannot read " : "cannot list ") + path +
           (name.empty() ? "" : " + " + name) + ": " + strerrorname_np(error);
}

// Walkers report from their own threads.
std::mutex failures_mutex;

void record_failure(ScanFailure kind, const char* path, size_t path_len, const char* name, int error)
{
    const std::lock_guard<std::mutex> hold(failures_mutex);
    failures.push_back(describe_failure(kind, std::string(path, path_len), name != nullptr ? name : "", error));
}

std::string describe_failures(std::vector<std::string> list)
{
    std::sort(list.begin(), list.end());
    std::string text;
    for (const std::string& line : list) text += line + "\n";
    return text;
}

// Scans in the caller's process (a forked child for run_unprivileged) and
// returns everything the scan produced as text.
std::string scan_and_describe(const std::string& path)
{
    reset_tally();
    failures.clear();
    store_failure_report(record_failure);
    scan_path(path);
    store_failure_report(nullptr);
    return describe(tally) + "\n" + describe_failures(failures);
}

// Removes everything inside the folder open as `fd`, relative to descriptors,
// so that neither depth nor path length matters.
void remove_contents(int fd)
{
    std::vector<std::string> names;
    if (DIR* listing = fdopendir(dup(fd))) {
        while (const dirent* entry = readdir(listing))
            if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
        closedir(listing);
    }
    for (const std::string& name : names) {
        if (unlinkat(fd, name.c_str(), 0) == 0) continue;
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) {
            remove_contents(child);
            close(child);
        }
        unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    }
}

// Makes a chain of folders below the folder open as `fd` and returns a
// descriptor of the last one (the caller closes it).
int make_chain(int fd, const std::string& name, uint32_t levels)
{
    int current = dup(fd);
    for (uint32_t i = 0; i < levels; ++i) {
        EXPECT_EQ(mkdirat(current, name.c_str(), 0755), 0) << "level " << i << ": " << strerror(errno);
        const int next = openat(current, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(current);
        current = next;
        if (current < 0) {
            ADD_FAILURE() << "open level " << i << ": " << strerror(errno);
            return -1;
        }
    }
    return current;
}

void make_file_at(int fd, const std::string& name, const std::string& content)
{
    const int file = openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0) << strerror(errno);
    EXPECT_EQ(write(file, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(file);
}

class FsPosixTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset_tally();
        failures.clear();
        store_failure_report(record_failure);
    }
    void TearDown() override { store_failure_report(nullptr); }

    TempTree tree;
};

// The same, run once with one walker and once with several.
class FsPosixByWalkers : public FsPosixTest, public testing::WithParamInterface<unsigned> {
protected:
    void SetUp() override
    {
        FsPosixTest::SetUp();
        walkers_in_tests = GetParam();
    }
    void TearDown() override
    {
        walkers_in_tests = 1;
        FsPosixTest::TearDown();
    }
};

INSTANTIATE_TEST_SUITE_P(Walkers, FsPosixByWalkers, testing::Values(1u, 4u), walkers_name);

// One entry inside a plain top-level folder, and which counters it raises.
enum class Kind { file, folder, fifo, socket, char_device, block_device };

struct EntryCase {
    const char* label;
    const char* name;
    Kind kind;
    mode_t mode;
    bool read_only, system, hidden;
};

// False when this kind of entry cannot be made here (errno says why). The
// mode is set afterwards so that the umask does not change it.
bool make_entry(TempTree& tree, const std::string& name, Kind kind, mode_t mode)
{
    switch (kind) {
    case Kind::file: tree.file(name, 123, mode); return true;
    case Kind::folder: tree.folder(name, mode); return true;
    case Kind::fifo: tree.fifo(name); break;
    case Kind::socket: tree.socket(name); break;
    case Kind::char_device:
        if (mknod(tree.path(name).c_str(), S_IFCHR, makedev(1, 3)) != 0) return false;
        break;
    case Kind::block_device:
        if (mknod(tree.path(name).c_str(), S_IFBLK, makedev(7, 0)) != 0) return false;
        break;
    }
    tree.chmod(name, mode);
    return true;
}

void PrintTo(const EntryCase& c, std::ostream* out)
{
    *out << c.label;
}

class EntryLetters : public FsPosixTest, public testing::WithParamInterface<EntryCase> {};

TEST_P(EntryLetters, CountsTheEntryWithItsLinuxLetters)
{
    const EntryCase& c = GetParam();
    tree.folder("top");
    const std::string name = std::string("top/") + c.name;
    if (!make_entry(tree, name, c.kind, c.mode)) GTEST_SKIP() << "cannot make " << c.label << ": " << strerror(errno);
    struct stat st;
    ASSERT_EQ(lstat(tree.path(name).c_str(), &st), 0);

    const std::string top = tree.path("top");
    scan_path(top);
    const bool folder = c.kind == Kind::folder;
    const uint32_t rel = 1 + length(c.name);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = !folder,
                             .files_read_only = !folder && c.read_only,
                             .files_system = !folder && c.system,
                             .files_hidden = !folder && c.hidden,
                             .folder_count = 1u + folder,
                             .folders_read_only = folder && c.read_only,
                             .folders_system = 0,
                             .folders_hidden = folder && c.hidden,
                             .total_bytes = folder ? 0 : static_cast<uint64_t>(st.st_size),
                             .max_rel_depth = 1u + folder,
                             .max_abs_depth = 1u + folder + slashes_in(top),
                             .max_rel_path = rel,
                             .max_abs_path = length(top) + rel}));
}

std::string case_label(const testing::TestParamInfo<EntryCase>& param_info)
{
    return param_info.param.label;
}

// The three flags are the expected R, S and H.
INSTANTIATE_TEST_SUITE_P(
    LinuxMeanings, EntryLetters,
    testing::Values(EntryCase{"plain_file", "plain", Kind::file, 0644, false, false, false},
                    EntryCase{"dot_file", ".profile", Kind::file, 0644, false, false, true},
                    EntryCase{"three_dots", "...", Kind::file, 0644, false, false, true},
                    EntryCase{"dot_dot_name", "..x", Kind::file, 0644, false, false, true},
                    EntryCase{"dot_folder", ".cache", Kind::folder, 0755, false, false, true},
                    EntryCase{"mode_444", "r444", Kind::file, 0444, true, false, false},
                    EntryCase{"mode_000", "r000", Kind::file, 0000, true, false, false},
                    EntryCase{"mode_555", "r555", Kind::file, 0555, true, false, false},
                    EntryCase{"owner_write", "w200", Kind::file, 0200, false, false, false},
                    EntryCase{"group_write", "w464", Kind::file, 0464, false, false, false},
                    EntryCase{"other_write", "w446", Kind::file, 0446, false, false, false},
                    EntryCase{"read_only_folder", "ro", Kind::folder, 0555, true, false, false},
                    EntryCase{"sticky_open_folder", "tmp", Kind::folder, 01777, false, false, false},
                    EntryCase{"fifo", "pipe", Kind::fifo, 0644, false, true, false},
                    EntryCase{"socket", "sock", Kind::socket, 0755, false, true, false},
                    EntryCase{"char_device", "null", Kind::char_device, 0644, false, true, false},
                    EntryCase{"read_only_block_device", "loop", Kind::block_device, 0444, true, true, false},
                    EntryCase{"hidden_fifo", ".pipe", Kind::fifo, 0644, false, true, true}),
    case_label);

// A walk that opened the FIFO would show as an open event on it. The test
// holds the FIFO open for writing, so a faulty walk fails instead of hanging.
TEST_P(FsPosixByWalkers, FifoIsNeverOpenedAsEntryOrTopLevelItem)
{
    tree.folder("top");
    tree.fifo("top/pipe");
    const int writer = open(tree.path("top/pipe").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0) << strerror(errno);
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, tree.path("top").c_str(), IN_OPEN), 0);
    auto opened = [&] {
        std::vector<std::string> names;
        alignas(inotify_event) char buffer[4096];
        ssize_t got;
        while ((got = read(watch, buffer, sizeof buffer)) > 0)
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0) names.emplace_back(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        return names;
    };

    scan_path(tree.path("top"));
    scan_path(tree.path("top/pipe"));
    EXPECT_EQ(opened(), std::vector<std::string>{});
    EXPECT_EQ(tally.file_count, 2u);
    EXPECT_EQ(tally.files_system, 2u);

    // The watch does see an open of the FIFO.
    const int reader = open(tree.path("top/pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(opened(), std::vector<std::string>{"pipe"});
    close(reader);
    close(watch);
    close(writer);
}

// A top-level item is hidden by its own last component ("." and ".." never
// are), whatever its parents are called.
TEST_P(FsPosixByWalkers, TopLevelItemIsHiddenByItsOwnLastComponent)
{
    tree.folder(".h");
    tree.folder(".h/in");
    tree.file(".hf");
    const std::string root = tree.root();
    struct Case {
        std::string cwd;  // relative to the root; the path is relative to it when set
        std::string path;
        bool hidden;
    };
    const Case cases[] = {
        {"", root + "/.h", true},         {"", root + "/.h/", true},
        {"", root + "/.h//", true},       {"", root + "/.h/in", false},
        {"", root + "/.h/.", false},      {"", root + "/.h/in/..", false},
        {".", ".h", true},                {".h", ".", false},
        {".h", "./", false},              {".h/in", "..", false},
        {".h/in", "../", false},          {"", root + "/.hf", true},
    };
    const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(home, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE("in '" + c.cwd + "': " + c.path);
        if (!c.cwd.empty()) {
            ASSERT_EQ(chdir(tree.path(c.cwd).c_str()), 0);
        }
        reset_tally();
        scan_path(c.path);
        ASSERT_EQ(fchdir(home), 0);
        EXPECT_EQ(tally.folders_hidden + tally.files_hidden, c.hidden ? 1u : 0u);
        EXPECT_GE(tally.file_count + tally.folder_count, 1u) << "the item was not found";
    }
    close(home);
}

// Below the top-level item a link of any kind is a file of the link's own
// size (the length of its target text), never followed.
TEST_P(FsPosixByWalkers, LinksBelowTheTopLevelAreFilesOfTheirOwnSize)
{
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> links;  // name, target
    };
    const Case cases[] = {
        {"to a file", {{"lf", "f.txt"}}},
        {"to a folder", {{"ld", "d"}}},
        {"to the root folder", {{"lr", "/"}}},
        {"loop of two", {{"a", "b"}, {"b", "a"}}},
        {"to itself", {{"self", "self"}}},
        {"dangling", {{"gone", "no/such/thing"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempTree here;
        here.folder("top");
        here.file("top/f.txt", 10);
        here.folder("top/d");
        here.file("top/d/g.txt", 20);
        uint64_t link_bytes = 0;
        for (const auto& [name, target] : c.links) {
            here.symlink("top/" + name, target);
            link_bytes += target.size();
        }
        reset_tally();
        scan_path(here.path("top"));
        EXPECT_EQ(tally.folder_count, 2u);
        EXPECT_EQ(tally.file_count, 2u + c.links.size());
        EXPECT_EQ(tally.total_bytes, 30u + link_bytes);
        EXPECT_EQ(tally.max_rel_depth, 2u);
        EXPECT_EQ(tally.files_read_only + tally.files_system + tally.files_hidden, 0u);
    }
    EXPECT_EQ(describe_failures(failures), "");
}

// The user named a top-level link, so it is followed; links inside are not.
TEST_P(FsPosixByWalkers, TopLevelLinkIsFollowed)
{
    tree.folder("real");
    tree.file("real/a.txt", 7);
    tree.folder("real/sub");
    tree.symlink("real/sub/up", "..");
    tree.symlink("to-folder", "real");
    tree.symlink("to-file", "real/a.txt");
    tree.symlink("dangling", "nowhere");

    const std::string folder_link = tree.path("to-folder");
    scan_path(folder_link);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 2, .folder_count = 2, .total_bytes = 7 + 2, .max_rel_depth = 2,
                             .max_abs_depth = 2 + slashes_in(folder_link), .max_rel_path = length("/sub/up"),
                             .max_abs_path = length(folder_link + "/sub/up")}));

    reset_tally();
    scan_path(tree.path("to-file"));
    EXPECT_EQ(tally.file_count, 1u);
    EXPECT_EQ(tally.total_bytes, 7u);

    reset_tally();
    scan_path(tree.path("dangling"));
    EXPECT_EQ(describe(tally), describe(Tally{.max_abs_path = length(tree.path("dangling"))}));
    EXPECT_EQ(describe_failures(failures), describe_failures({describe_failure(
                                               ScanFailure::cannot_read, tree.path("dangling"), "", ENOENT)}));
}

// A folder replaced by a link between its query and its opening must not be
// walked through the link. The progress posted as the walk enters it, just
// before the folder is opened, does the swap.
struct SwapOnEntry {
    std::string status, folder, moved_to, link_target;
    bool swapped;
};

void swap_when_entered(void* handle)
{
    auto* swap = static_cast<SwapOnEntry*>(handle);
    char text[progress_text_size];
    while (take_progress(text)) {
        if (swap->status != text || swap->swapped) continue;
        swap->swapped = rename(swap->folder.c_str(), swap->moved_to.c_str()) == 0 &&
                        symlink(swap->link_target.c_str(), swap->folder.c_str()) == 0;
    }
}

TEST_P(FsPosixByWalkers, FolderSwappedForALinkBeforeItIsOpenedIsNotFollowed)
{
    tree.folder("top");
    tree.folder("top/victim");
    tree.folder("elsewhere");
    tree.file("elsewhere/bait", 99);
    SwapOnEntry swap{"/victim", tree.path("top/victim"), tree.path("moved"), tree.path("elsewhere"), false};
    const ScanEvents shell{&swap, nullptr, swap_when_entered, nullptr, nullptr, false};
    store_scan_events(&shell);
    scan_path(tree.path("top"));
    store_scan_events(nullptr);

    ASSERT_TRUE(swap.swapped);
    EXPECT_EQ(tally.folder_count, 2u);
    EXPECT_EQ(tally.file_count, 0u) << "the walk went through the link into " << swap.link_target;
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("cannot list " + swap.folder + ":", 0), 0u) << failures[0];
}

// The top folder bound onto a folder inside two of its sub-folders: each has
// the top's identity, so it is counted but not entered again, also by a
// walker that was handed the sub-folder and knows the folders above it only
// from the hand-over.
TEST_P(FsPosixByWalkers, BindMountLoopIsCountedButNotDescended)
{
    tree.folder("top");
    tree.file("top/a.txt", 5);
    std::vector<std::string> loops;
    for (const char* sub : {"top/x", "top/y"}) {
        tree.folder(sub);
        tree.folder(std::string(sub) + "/inner");
        loops.push_back(tree.path(std::string(sub) + "/inner"));
    }
    const std::string top = tree.path("top");
    struct Unmount {
        std::vector<std::string> targets;
        ~Unmount()
        {
            for (const std::string& target : targets) EXPECT_EQ(umount2(target.c_str(), MNT_DETACH), 0) << strerror(errno);
        }
    } unmount;
    for (const std::string& loop : loops) {
        if (mount(top.c_str(), loop.c_str(), nullptr, MS_BIND, nullptr) != 0)
            GTEST_SKIP() << "bind mount refused: " << strerror(errno);
        unmount.targets.push_back(loop);
    }

    scan_path(top);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 1, .folder_count = 5, .total_bytes = 5, .max_rel_depth = 3,
                             .max_abs_depth = 3 + slashes_in(top), .max_rel_path = length("/x/inner"),
                             .max_abs_path = length(loops[0])}));
    EXPECT_EQ(describe_failures(failures), "");
}

// Folder permissions bind root too once the two capabilities are dropped.
// Without read the folder cannot be listed; without search its entries can
// be listed but not queried. Either way the folder itself counts at entry.
TEST_P(FsPosixByWalkers, FoldersThatCannotBeListedOrSearched)
{
    const std::string locked_name = "a_folder_name_longer_than_its_neighbours";
    struct Case {
        mode_t mode;
        bool listed, searched;
    };
    for (const Case c : {Case{0000, false, false}, Case{0300, false, true}, Case{0100, false, true},
                         Case{0400, true, false}, Case{0600, true, false}, Case{0500, true, true}}) {
        SCOPED_TRACE(testing::Message() << "mode " << std::oct << c.mode);
        TempTree here;
        here.folder("top");
        here.file("top/b", 4);
        here.folder("top/" + locked_name);
        here.file("top/" + locked_name + "/inner.txt", 8);
        here.folder("top/" + locked_name + "/sub");
        here.chmod("top/" + locked_name, c.mode);
        const std::string top = here.path("top");
        const std::string locked = top + "/" + locked_name;

        const bool walked = c.listed && c.searched;
        const std::string deepest = walked ? "/inner.txt" : "";
        const Tally expected{.file_count = 1u + walked,
                             .folder_count = 2u + walked,
                             .folders_read_only = (c.mode & 0222) == 0,
                             .total_bytes = 4u + 8u * walked,
                             .max_rel_depth = 2u + walked,
                             .max_abs_depth = 2u + walked + slashes_in(top),
                             .max_rel_path = length(locked + deepest) - length(top),
                             .max_abs_path = length(locked + deepest)};
        std::vector<std::string> expected_failures;
        if (!c.listed) expected_failures.push_back(describe_failure(ScanFailure::cannot_list, locked, "", EACCES));
        if (c.listed && !c.searched)
            for (const char* entry : {"/inner.txt", "/sub"})
                expected_failures.push_back(describe_failure(ScanFailure::cannot_read, locked + entry, "", EACCES));
        EXPECT_EQ(run_unprivileged(scan_and_describe, top),
                  describe(expected) + "\n" + describe_failures(expected_failures));
    }
}

TEST_P(FsPosixByWalkers, TopLevelItemsThatCannotBeListedOrQueried)
{
    tree.folder("shut", 0);
    tree.folder("blind");
    tree.file("blind/f", 3);
    tree.chmod("blind", 0600);
    const std::string shut = tree.path("shut");
    const std::string hidden_file = tree.path("blind/f");

    EXPECT_EQ(run_unprivileged(scan_and_describe, shut),
              describe(Tally{.folder_count = 1, .folders_read_only = 1, .max_rel_depth = 1,
                             .max_abs_depth = 1 + slashes_in(shut), .max_abs_path = length(shut)}) +
                  "\n" + describe_failures({describe_failure(ScanFailure::cannot_list, shut, "", EACCES)}));
    EXPECT_EQ(run_unprivileged(scan_and_describe, hidden_file),
              describe(Tally{.max_abs_path = length(hidden_file)}) + "\n" +
                  describe_failures({describe_failure(ScanFailure::cannot_read, hidden_file, "", EACCES)}));
}

// Folders of 200-byte names down to where a 4,095-byte path (the most the
// 4,096-byte buffer holds with its terminator) is reached. A file and a folder
// whose paths are exactly 4,095 bytes are counted (the folder is not listed:
// not even its separator would fit); a 4,096-byte file path is skipped.
TEST_P(FsPosixByWalkers, PathsJustUnderAndOverTheBufferLimit)
{
    tree.folder("top");
    const std::string top = tree.path("top");
    const std::string level_name(200, 'd');
    const uint32_t levels = (4094 - length(top) - 1) / 201;
    std::string folder = top;
    for (uint32_t i = 0; i < levels; ++i) folder += "/" + level_name;
    const uint32_t fit = 4094 - length(folder);  // name length that gives 4,095 bytes
    ASSERT_GE(fit, 1u);
    const std::string fits(fit, 'x'), too_long(fit + 1, 'y'), fitting_folder(fit, 'z');
    ASSERT_EQ(folder.size() + 1 + fits.size(), 4095u);

    const int top_fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(top_fd, 0);
    const int deepest = make_chain(top_fd, level_name, levels);
    ASSERT_GE(deepest, 0);
    make_file_at(deepest, fits, "abc");
    make_file_at(deepest, too_long, "0123456789");
    EXPECT_EQ(mkdirat(deepest, fitting_folder.c_str(), 0755), 0);
    close(deepest);

    scan_path(top);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 1, .folder_count = levels + 2, .total_bytes = 3,
                             .max_rel_depth = levels + 2, .max_abs_depth = levels + 2 + slashes_in(top),
                             .max_rel_path = 4095 - length(top), .max_abs_path = 4095}));
    EXPECT_EQ(describe_failures(failures),
              describe_failures({describe_failure(ScanFailure::cannot_read, folder + "/", too_long, ENAMETOOLONG),
                                 describe_failure(ScanFailure::cannot_list, folder + "/" + fitting_folder, "",
                                                  ENAMETOOLONG)}));
    remove_contents(top_fd);
    close(top_fd);
}

}  // namespace
