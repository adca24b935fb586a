// The item scan and folder walk: what one top-level item adds to the Tally, the
// longest-path and depth rules, and the status text of the folder being entered.
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
#include "resources/control_ids.h"
#include "tests/support/recording_window.h"
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

std::vector<std::string> status_texts(const RecordingWindow& window)
{
    std::vector<std::string> texts;
    for (const WindowEvent& event : window.events())
        if (event.kind == WindowEvent::text && event.control == IDC_STATUS_LINE) texts.push_back(event.value);
    return texts;
}

bool is_valid_utf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t width = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (width == 0 || i + width > text.size()) return false;
        for (size_t k = 1; k < width; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += width;
    }
    return true;
}

std::string shortened(const std::string& rel)
{
    char out[56];
    std::memset(out, '#', sizeof out);
    shorten_status_text(out, rel.data(), static_cast<uint32_t>(rel.size()));
    EXPECT_NE(std::memchr(out, '\0', sizeof out), nullptr);
    return out;
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
        RecordingWindow window;
        scan_path(top);
        EXPECT_EQ(status_texts(window), (std::vector<std::string>{"", sep + "sub", sep + "sub" + sep + "deeper"}));
    }
    {
        RecordingWindow window;
        scan_path(top + sep);
        EXPECT_EQ(status_texts(window), (std::vector<std::string>{"", "sub", "sub" + sep + "deeper"}));
    }
}

TEST(ShortenStatusText, ShowsUpTo53BytesWholeAndOtherwiseBothEnds)
{
    std::string text;
    for (int i = 0; i < 200; ++i) text += static_cast<char>('!' + i % 90);
    for (uint32_t n : {0u, 1u, 52u, 53u}) {
        const std::string rel = text.substr(0, n);
        EXPECT_EQ(shortened(rel), rel) << n;
    }
    // 54 bytes: bytes 0 to 24, "...", bytes 29 to 53.
    const std::string rel54 = text.substr(0, 54);
    EXPECT_EQ(shortened(rel54), rel54.substr(0, 25) + "..." + rel54.substr(29, 25));
    for (uint32_t n : {54u, 55u, 200u}) {
        const std::string rel = text.substr(0, n);
        const std::string shown = shortened(rel);
        EXPECT_EQ(shown.size(), 53u) << n;
        EXPECT_EQ(shown, rel.substr(0, 25) + "..." + rel.substr(n - 25)) << n;
    }
    // Bytes that are not UTF-8 (a Latin-1 name of degree signs, 0xB0) are cut
    // where the rule says, even where they look like the middle of a character.
    const std::string latin1 = "/" + std::string(60, '\xB0');
    EXPECT_EQ(shortened(latin1), latin1.substr(0, 25) + "..." + latin1.substr(61 - 25));
}

// Texts mixing characters of one to four bytes in shifting phases, so that
// both cuts fall at every offset within a character: each cut moves back to
// the nearest boundary that keeps at most 25 bytes.
TEST(ShortenStatusText, WholeCharactersAreNeverSplit)
{
    const char* const characters[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    bool head_moved = false, tail_moved = false;
    for (int phase = 0; phase < 16; ++phase) {
        std::string rel;
        std::vector<size_t> boundaries{0};
        for (int i = 0; i < 30; ++i) {
            rel += characters[(i * (phase % 3 + 1) + phase) % 4];
            boundaries.push_back(rel.size());
        }
        const size_t n = rel.size();
        ASSERT_GE(n, 54u);
        SCOPED_TRACE(testing::Message() << "phase " << phase << ", " << n << " bytes");

        size_t head = 0, tail = n;
        for (size_t b : boundaries) {
            if (b <= 25) head = b;
            if (b >= n - 25 && b < tail) tail = b;
        }
        head_moved |= head < 25;
        tail_moved |= tail > n - 25;
        const std::string whole = shortened(rel);
        EXPECT_EQ(whole, rel.substr(0, head) + "..." + rel.substr(tail));
        EXPECT_TRUE(is_valid_utf8(whole));
    }
    EXPECT_TRUE(head_moved && tail_moved) << "the texts never put a character across a cut";
}

// Paths are UTF-8 on every platform: a folder name of two-byte characters
// after one ASCII byte puts a character across both cuts of its status text.
TEST_P(WalkTest, ProgressOfALongNonAsciiFolderNeverSplitsACharacter)
{
    std::string name = "x";
    for (int i = 0; i < 40; ++i) name += "\xC3\xBC";
    tree.folder("top");
    tree.folder("top/" + name);
    RecordingWindow window;
    scan_path(tree.path("top"));

    // rel = separator, "x", then pairs at 2-3 ... 80-81 (82 bytes). Byte 25
    // and byte 57 (= 82 - 25) are second bytes: keep bytes 0-23 and 58-81.
    const std::string rel = path_separator + name;
    const std::vector<std::string> texts = status_texts(window);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], rel.substr(0, 24) + "..." + rel.substr(58));
    EXPECT_TRUE(is_valid_utf8(texts[1]));
}

}  // namespace
