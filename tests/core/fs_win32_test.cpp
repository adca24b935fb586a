// The Windows file-system layer and drop handle on real folders: the system's
// attribute bits, sizes past 4 GiB, links to folders counted but not entered,
// names the attribute query refuses, names ending in dots and spaces, paths
// past MAX_PATH and names outside the code page, and drops built as the shell
// builds them.
//
// Links, unholdable names, missing write bits and names of 255 bytes are made
// on the host side before the test (fs_win32_unix_tree.sh; HEAPWISE_UNIX_TREE
// names the folder as a host path), since a program under Wine cannot make
// them. Wine shows the host's root as drive Z:.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "tests/support/recording_shell.h"
#include "tests/support/scan_test.h"
#include "tests/support/temp_tree.h"

// Expected tallies name only their non-zero fields; the rest are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

uint32_t separators_in(const std::string& path)
{
    return static_cast<uint32_t>(std::count(path.begin(), path.end(), '\\'));
}

// The host-made tree's folder `part`, as this program reaches it; empty when
// the tree was not made.
std::string unix_tree(const std::string& part)
{
    const char* host = std::getenv("HEAPWISE_UNIX_TREE");
    if (host == nullptr || host[0] != '/') return {};
    std::string path = std::string("Z:") + host + "/" + part;
    std::replace(path.begin(), path.end(), '/', '\\');
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : path;
}

using FileSystemTest = ScanTest;

TEST_F(FileSystemTest, SeparatorAndErrorsAreTheSystemsOwn)
{
    EXPECT_EQ(path_separator, '\\');
    EXPECT_EQ(path_too_long_error, ERROR_FILENAME_EXCED_RANGE);

    scan_path(tree.path("missing"));
    ASSERT_EQ(recorded_failures.size(), 1u);
    EXPECT_EQ(recorded_failures[0].kind, ScanFailure::cannot_read);
    EXPECT_EQ(recorded_failures[0].error, ERROR_FILE_NOT_FOUND);
}

// R, H and S are the system's own bits, set here with SetFileAttributesA;
// no other bit (archive, not-indexed) counts.
TEST_F(FileSystemTest, CountsTheSystemsReadOnlyHiddenAndSystemBits)
{
    tree.folder("top");
    tree.folder("top/quiet");
    tree.file("top/quiet/inner", 9);
    tree.folder("top/plain");
    for (const char* name : {"r", "h", "s", "rhs", "archive"}) tree.file(std::string("top/") + name, 1);
    const auto set = [&](const std::string& relative, DWORD attributes) {
        ASSERT_TRUE(SetFileAttributesA(tree.path(relative).c_str(), attributes)) << relative;
    };
    set("top/r", FILE_ATTRIBUTE_READONLY);
    set("top/h", FILE_ATTRIBUTE_HIDDEN);
    set("top/s", FILE_ATTRIBUTE_SYSTEM);
    set("top/rhs", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    set("top/archive", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    set("top/quiet", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    scan_path(tree.path("top"));
    EXPECT_EQ(tally.file_count, 6u) << describe(tally);
    EXPECT_EQ(tally.files_read_only, 2u);
    EXPECT_EQ(tally.files_hidden, 2u);
    EXPECT_EQ(tally.files_system, 2u);
    EXPECT_EQ(tally.folder_count, 3u);
    EXPECT_EQ(tally.folders_hidden, 1u);
    EXPECT_EQ(tally.folders_system, 1u);
    EXPECT_EQ(tally.folders_read_only, 0u);
    EXPECT_EQ(tally.total_bytes, 14u);
    EXPECT_TRUE(recorded_failures.empty());
}

// Wine's own mapping: a name beginning with "." is hidden without anyone
// setting the bit, and so is the top-level item itself.
TEST_F(FileSystemTest, DotNamesAreHiddenUnderWine)
{
    tree.folder("top");
    for (const char* name : {"top\\.dot_file", "top\\..two_dots"}) {
        const HANDLE file = CreateFileA(tree.path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        CloseHandle(file);
    }
    ASSERT_TRUE(CreateDirectoryA(tree.path("top\\.dot_folder").c_str(), nullptr));

    scan_path(tree.path("top"));
    EXPECT_EQ(tally.files_hidden, 2u) << describe(tally);
    EXPECT_EQ(tally.folders_hidden, 1u);
    reset_tally();
    scan_path(tree.path("top\\.dot_folder"));
    EXPECT_EQ(tally.folders_hidden, 1u) << describe(tally);
}

// A host file or folder without write bits shows as read-only, and the
// folder is walked as any other.
TEST_F(FileSystemTest, MissingWriteBitsShowAsReadOnly)
{
    const std::string top = unix_tree("modes\\top");
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    scan_path(top);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 2, .files_read_only = 1, .folder_count = 2, .folders_read_only = 1,
                             .total_bytes = 6, .max_rel_depth = 2, .max_abs_depth = 2 + separators_in(top),
                             .max_rel_path = 14, .max_abs_path = length(top) + 14}));
}

// Sizes are 64-bit: high and low halves both count.
TEST_F(FileSystemTest, SizesPast4GibibytesAddUpExactly)
{
    constexpr uint64_t four_gib = 1ull << 32;
    tree.folder("top");
    tree.sparse_file("top/just_below", four_gib - 1);
    tree.sparse_file("top/just_above", four_gib + 1);
    tree.sparse_file("top/six", 6ull << 30);
    tree.sparse_file("alone", four_gib);

    scan_path(tree.path("top"));
    EXPECT_EQ(tally.total_bytes, 2 * four_gib + (6ull << 30));
    scan_path(tree.path("alone"));
    EXPECT_EQ(tally.total_bytes, 3 * four_gib + (6ull << 30));
    EXPECT_EQ(tally.file_count, 4u);
}

// Wine shows a host link to a folder as a folder reparse point without a
// tag: below the top-level item it is counted as a folder and not entered,
// so links into each other and to their own folder end at once. A link to a
// file counts as the file; one to nowhere is not listed.
TEST_F(FileSystemTest, LinksToFoldersAreCountedButNotEntered)
{
    const std::string top = unix_tree("links\\top");
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    RecordingShell shell;
    scan_path(top);

    // top, real, a, b, and the links to_folder, self, a\to_b, b\to_a.
    EXPECT_EQ(tally.folder_count, 8u) << describe(tally);
    EXPECT_EQ(tally.file_count, 2u);  // real\f and to_file
    EXPECT_EQ(tally.total_bytes, 6u);
    EXPECT_EQ(tally.max_rel_depth, 3u);  // a\to_b is entered for counting only
    EXPECT_EQ(tally.max_rel_path, length("\\to_folder"));
    EXPECT_TRUE(recorded_failures.empty());

    // Each folder shows once in the status line, links included.
    std::vector<std::string> shown = shell.progress();
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"", "\\a", "\\a\\to_b", "\\b", "\\b\\to_a", "\\real", "\\self",
                                              "\\to_folder"}));
}

// The user named the link: its folder is walked.
TEST_F(FileSystemTest, TopLevelLinkToAFolderIsFollowed)
{
    const std::string top = unix_tree("links\\top");
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    scan_path(top + "\\to_folder");
    EXPECT_EQ(tally.folder_count, 1u) << describe(tally);
    EXPECT_EQ(tally.file_count, 1u);
    EXPECT_EQ(tally.total_bytes, 3u);
}

// Names with characters Windows reserves are listed but refused by the
// attribute query: skipped and reported, while the rest of the folder is
// counted, a name no code page but UTF-8 holds included. Names that end in a
// dot or a space are counted as themselves ("a." is not "a"): the host-made
// tree of them counts as the host counts it, Max Path in UTF-16 units, and
// named with "/" for separators it counts the same, depths included.
TEST_F(FileSystemTest, NamesAreCountedAsTheyAreUnlessWindowsCannotHoldThem)
{
    const std::string top = unix_tree("names\\top");
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    scan_path(top);
    EXPECT_EQ(tally.file_count, 2u) << describe(tally);  // fine, smile
    EXPECT_EQ(tally.total_bytes, 3u);
    EXPECT_EQ(tally.folder_count, 1u);
    EXPECT_EQ(tally.max_rel_path, length("\\smile\U0001F600"));
    std::vector<std::string> skipped;
    for (const RecordedFailure& failure : recorded_failures) {
        EXPECT_EQ(failure.kind, ScanFailure::cannot_read) << failure.path;
        EXPECT_NE(failure.error, 0) << failure.path;
        skipped.push_back(failure.path.substr(top.size() + 1));
    }
    EXPECT_NE(std::find(skipped.begin(), skipped.end(), "question?"), skipped.end())
        << testing::PrintToString(skipped);

    const std::string dots = unix_tree("dots\\top");
    uint32_t files = 0, folders = 0, bytes = 0, longest = 0;
    FILE* expected = std::fopen((dots + "\\..\\expected").c_str(), "r");
    ASSERT_NE(expected, nullptr);
    ASSERT_EQ(std::fscanf(expected, "%u %u %u %u", &files, &folders, &bytes, &longest), 4);
    std::fclose(expected);
    const Tally as_the_host_counts = {.file_count = files, .folder_count = folders, .total_bytes = bytes,
                                      .max_rel_depth = 2, .max_abs_depth = 2 + separators_in(dots),
                                      .max_rel_path = longest, .max_abs_path = length(dots) + longest};
    reset_tally();
    recorded_failures.clear();
    scan_path(dots);
    EXPECT_EQ(describe(tally), describe(as_the_host_counts));
    EXPECT_TRUE(recorded_failures.empty()) << recorded_failures.front().path;

    std::string slashed = dots;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    reset_tally();
    scan_path(slashed);
    EXPECT_EQ(describe(tally), describe(as_the_host_counts));
}

// Past the 260 characters of the ANSI calls, and a name of 85 CJK characters
// (255 bytes): the host-made tree (files at exactly 300 and 1,000 characters
// below 8 folders of 100-character names) is counted whole, as the Linux
// program counts it there, 2 characters more for "Z:".
TEST_F(FileSystemTest, PathsPastMaxPathAndNamesOutsideTheCodePageAreCounted)
{
    const std::string top = unix_tree("long\\top");
    if (top.empty()) GTEST_SKIP() << "the host-made tree is not there (run through CTest)";
    scan_path(top);
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 3, .folder_count = 10, .total_bytes = 300 + 1000 + 85, .max_rel_depth = 9,
                             .max_abs_depth = 9 + separators_in(top), .max_rel_path = 1000 - length(top),
                             .max_abs_path = 1000}));
    EXPECT_TRUE(recorded_failures.empty());

    // The same named relative to the current folder: resolved before the
    // prefix, and measured as given.
    const std::string parent = top.substr(0, top.rfind('\\'));
    char saved[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(parent.c_str()));
    reset_tally();
    scan_path("top");
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(tally.file_count, 3u) << describe(tally);
    EXPECT_EQ(tally.max_abs_path, 1000 - length(parent) - 1);
}

// The handle is a real one: the shell's own calls read it.
TEST(DropHandle, MadeDropReadsBackThroughTheShellsCalls)
{
    const char* paths[] = {"C:\\first", "D:\\second\\item.txt", "\\\\server\\share\\x",
                           "C:\\gr\u00FC\u00DFe\\\u6F22\U0001F600"};
    Drop* drop = make_drop(paths, 4);
    ASSERT_NE(drop, nullptr);
    const auto handle = reinterpret_cast<HDROP>(drop);
    EXPECT_EQ(DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0), 4u);
    EXPECT_EQ(drop_item_count(drop), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        char path[path_capacity];
        std::memset(path, '#', sizeof path);
        EXPECT_EQ(copy_drop_item(drop, i, path, sizeof path), std::strlen(paths[i]));
        EXPECT_STREQ(path, paths[i]);
    }
    char path[8];
    EXPECT_EQ(copy_drop_item(drop, 4, path, sizeof path), 0u);
    // Too long for the buffer, in UTF-16 units or only in UTF-8 bytes:
    // skipped, not cut.
    EXPECT_EQ(copy_drop_item(drop, 1, path, sizeof path), 0u);
    char room_for_units_not_bytes[16];  // the last path: 12 units, 18 bytes
    EXPECT_EQ(copy_drop_item(drop, 3, room_for_units_not_bytes, sizeof room_for_units_not_bytes), 0u);
    release_drop(drop);

    // The handle cannot hold an empty path (it would end the list): it is
    // left out. Wine counts an empty list as one empty name; either way no
    // path comes out of it.
    const char* with_empty[] = {"", "C:\\only"};
    drop = make_drop(with_empty, 2);
    ASSERT_NE(drop, nullptr);
    ASSERT_EQ(drop_item_count(drop), 1u);
    char only[16];
    EXPECT_EQ(copy_drop_item(drop, 0, only, sizeof only), 7u);
    EXPECT_STREQ(only, "C:\\only");
    release_drop(drop);
    Drop* empty = make_drop(nullptr, 0);
    ASSERT_NE(empty, nullptr);
    for (uint32_t i = 0; i < drop_item_count(empty); ++i) EXPECT_EQ(copy_drop_item(empty, i, only, sizeof only), 0u);
    release_drop(empty);
}

// Drops through the workers: counted in the handle's order, a path that
// fills the buffer is taken whole and one a byte longer is skipped, and the
// worker releases the handle.
TEST_F(FileSystemTest, DropsAreCountedByWorkers)
{
    tree.folder("top");
    tree.file("top/f", 5);
    tree.file("g", 2);
    RecordingShell shell;
    run_drop({tree.path("top"), "", tree.path("g")});
    EXPECT_EQ(describe(tally),
              describe(Tally{.file_count = 2, .folder_count = 1, .total_bytes = 7, .max_rel_depth = 1,
                             .max_abs_depth = 1 + separators_in(tree.path("top")), .max_rel_path = 2,
                             .max_abs_path = length(tree.path("top/f"))}));
    ASSERT_EQ(shell.requests().size(), 1u);
    EXPECT_EQ(describe(shell.requests()[0].counts), describe(tally));

    // A name longer than any file system holds: the query fails, and only
    // the longest path shows the copy.
    reset_tally();
    recorded_failures.clear();
    const std::string fits = "C:\\" + std::string(path_capacity - 4, 'x');
    run_drop({fits + "y", fits});
    EXPECT_EQ(describe(tally), describe(Tally{.max_abs_path = path_capacity - 1}));
    ASSERT_EQ(recorded_failures.size(), 1u);
    EXPECT_EQ(recorded_failures[0].path, fits);
}

// Two drops started at once: the second waits for the first and adds the
// same counts again.
TEST_F(FileSystemTest, TwoDropsAtOnceGiveDoubledCounts)
{
    tree.folder("top");
    tree.folder("top/sub");
    tree.file("top/sub/f", 10);
    RecordingShell shell;
    const std::string top = tree.path("top");
    const char* paths[] = {top.c_str()};
    start_drop_request(make_drop(paths, 1));
    start_drop_request(make_drop(paths, 1));
    wait_for_workers();
    EXPECT_EQ(tally.folder_count, 4u) << describe(tally);
    EXPECT_EQ(tally.file_count, 2u);
    EXPECT_EQ(tally.total_bytes, 20u);
    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].counts.file_count, 2u);
}

}  // namespace
