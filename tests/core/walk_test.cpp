// The item scan and folder walk: what one top-level item adds to the Tally, the
// longest-path and depth rules, and the progress of the folder being entered.
#include "core/walk.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/tally.h"
#include "tests/support/recording_shell.h"
#include "tests/support/scan_test.h"
#include "tests/support/temp_tree.h"

// Expected tallies name only their non-zero fields; the rest are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

uint32_t separators_in(const std::string& path)
{
    return static_cast<uint32_t>(std::count(path.begin(), path.end(), path_separator));
}

std::string join(const std::string& folder, const std::string& name)
{
    return folder + path_separator + name;
}

using WalkTest = ScanTestByWalkers;
HEAPWISE_BY_WALKERS(WalkTest);

TEST_P(WalkTest, EmptyFolderDroppedAloneIsLevelOne)
{
    tree.folder("empty");
    const std::string top = tree.path("empty");
    scan_path(top);
    EXPECT_EQ(describe(tally), describe(Tally{.folder_count = 1, .max_rel_depth = 1,
                                              .max_abs_depth = 1 + separators_in(top), .max_abs_path = length(top)}));
}

TEST_P(WalkTest, TopLevelFileAddsItsCountAndSizeButNoDepthOrRelativePath)
{
    tree.file("alone.bin", 1234);
    const std::string top = tree.path("alone.bin");
    scan_path(top);
    EXPECT_EQ(describe(tally), describe(Tally{.file_count = 1, .total_bytes = 1234, .max_abs_path = length(top)}));
}

TEST_P(WalkTest, MissingPathOnlyRaisesTheLongestAbsolutePath)
{
    const std::string top = tree.path("no-such-item");
    scan_path(top);
    EXPECT_EQ(describe(tally), describe(Tally{.max_abs_path = length(top)}));
    ASSERT_EQ(recorded_failures.size(), 1u);
    EXPECT_EQ(recorded_failures[0].kind, ScanFailure::cannot_read);
    EXPECT_EQ(recorded_failures[0].path, top);
}

// Every listed folder holds "." and ".."; counting them, or walking into
// them, would show up as extra folders or files (or never end).
TEST_P(WalkTest, DotAndDotDotAreNeverCounted)
{
    tree.folder("top");
    tree.folder("top/s");
    tree.folder("top/s/t");
    tree.file("top/s/f", 5);
    scan_path(tree.path("top"));
    EXPECT_EQ(tally.folder_count, 3u);
    EXPECT_EQ(tally.file_count, 1u);
    EXPECT_EQ(tally.total_bytes, 5u);
    EXPECT_EQ(tally.max_rel_depth, 3u);
}

// Hidden here is the leading dot; read-only is no write bit. Content is made
// before the folder loses its write bits.
TEST_P(WalkTest, HiddenReadOnlyFolderRaisesBothCountersAndIsWalked)
{
    tree.folder("top");
    tree.folder("top/.quiet");
    tree.folder("top/.quiet/inner");
    tree.file("top/.quiet/inner/note", 7);
    tree.chmod("top/.quiet", 0555);
    scan_path(tree.path("top"));
    EXPECT_EQ(tally.folders_hidden, 1u);
    if (read_only_folders_can_be_made()) {
        EXPECT_EQ(tally.folders_read_only, 1u);
    }
    EXPECT_EQ(tally.folder_count, 3u);
    EXPECT_EQ(tally.file_count, 1u);
    EXPECT_EQ(tally.total_bytes, 7u);
    EXPECT_EQ(tally.max_rel_depth, 3u);
}

TEST_P(WalkTest, FiveGibibyteSparseFileAddsItsFull64BitSize)
{
    constexpr uint64_t five_gib = 5ull << 30;
    tree.sparse_file("big", five_gib);
    tree.folder("top");
    tree.sparse_file("top/big", five_gib);
    scan_path(tree.path("big"));
    EXPECT_EQ(tally.total_bytes, five_gib);
    scan_path(tree.path("top"));
    EXPECT_EQ(tally.total_bytes, 2 * five_gib);
    EXPECT_EQ(tally.file_count, 2u);
}

// Relative lengths are the path's length minus the top-level item's, so they
// include the joining separator unless the item's own path ends in one; the
// absolute depth adds the separators of the item's path as it was given.
TEST_P(WalkTest, LongestPathAndDepthFollowTheWorkedExamples)
{
    tree.folder("P");
    tree.file("P/a.txt");
    const std::string folder = tree.path("P");
    const std::string file = join(folder, "a.txt");

    struct Case {
        std::string top;
        uint32_t rel_path;
    };
    // "a.txt" is 5 bytes: 6 with the separator, 5 when the item supplies it.
    for (const Case& c : {Case{folder, 6}, Case{folder + path_separator, 5}}) {
        SCOPED_TRACE(c.top);
        reset_tally();
        scan_path(c.top);
        EXPECT_EQ(describe(tally),
                  describe(Tally{.file_count = 1, .folder_count = 1, .max_rel_depth = 1,
                                 .max_abs_depth = 1 + separators_in(c.top), .max_rel_path = c.rel_path,
                                 .max_abs_path = length(file)}));
        EXPECT_EQ(c.rel_path, length(file) - length(c.top));
    }

    // Two levels further down: the deepest folder is level 3.
    tree.folder("Q");
    tree.folder("Q/s");
    tree.folder("Q/s/t");
    const std::string deep_top = tree.path("Q");
    reset_tally();
    scan_path(deep_top);
    EXPECT_EQ(describe(tally),
              describe(Tally{.folder_count = 3, .max_rel_depth = 3, .max_abs_depth = 3 + separators_in(deep_top),
                             .max_rel_path = 4, .max_abs_path = length(deep_top) + 4}));
}

TEST_P(WalkTest, TwoScansDoubleCountsAndBytesButNotMaxima)
{
    tree.folder("top");
    tree.folder("top/.h");
    tree.file("top/.h/r", 3, 0444);
    tree.file("top/f", 40);
    const std::string top = tree.path("top");
    scan_path(top);
    const Tally once = tally;
    ASSERT_EQ(once.file_count, 2u);
    ASSERT_EQ(once.folders_hidden, 1u);
    ASSERT_EQ(once.files_read_only, 1u);

    scan_path(top);
    Tally twice = once;
    for (uint32_t* counter : {&twice.file_count, &twice.files_read_only, &twice.files_system, &twice.files_hidden,
                              &twice.folder_count, &twice.folders_read_only, &twice.folders_system,
                              &twice.folders_hidden})
        *counter *= 2;
    twice.total_bytes *= 2;
    EXPECT_EQ(describe(tally), describe(twice));
}

// The top-level folder's relative text is empty; a sub-folder's begins with
// the separator unless the item's path already ends in one.
TEST_P(WalkTest, StatusTextNamesEachFolderRelativeToTheTopLevelItem)
{
    tree.folder("top");
    tree.folder("top/sub");
    tree.folder("top/sub/deeper");
    const std::string sep(1, path_separator);
    const std::string top = tree.path("top");
    {
        RecordingShell shell;
        scan_path(top);
        EXPECT_EQ(shell.progress(), (std::vector<std::string>{"", sep + "sub", sep + "sub" + sep + "deeper"}));
    }
    {
        RecordingShell shell;
        scan_path(top + sep);
        EXPECT_EQ(shell.progress(), (std::vector<std::string>{"", "sub", "sub" + sep + "deeper"}));
    }
}

// The walk posts the whole relative path, however long and whatever its
// characters: the shell shortens it for its status line.
TEST_P(WalkTest, ProgressIsTheWholeRelativePath)
{
    std::string name = "x";
    for (int i = 0; i < 40; ++i) name += "\xC3\xBC";
    tree.folder("top");
    tree.folder("top/" + name);
    RecordingShell shell;
    scan_path(tree.path("top"));
    EXPECT_EQ(shell.progress(), (std::vector<std::string>{"", path_separator + name}));
}

}  // namespace
