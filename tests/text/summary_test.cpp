// The four result texts built from Tally values, the KB/MB/GB/TB figure with
// its 64-bit mend, and the status line's texts: the folder being entered, cut
// between characters, and "Ready".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

using TextFn = void (*)(char*, const Tally&);

class SummaryTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset_tally();
        saved_ = number_format;
        set_number_format(",", ".");
    }
    void TearDown() override
    {
        number_format = saved_;
        reset_tally();
    }

    static std::string text(TextFn fn)
    {
        char out[summary_text_size];
        fn(out, tally);
        return out;
    }
    static std::string size_text(uint64_t total)
    {
        tally.total_bytes = total;
        return text(total_size_text);
    }
    static std::string unit_text(uint64_t total)
    {
        char out[40];
        size_unit_text(out, total);
        return out;
    }

private:
    NumberFormat saved_{};
};

// The figure by long division, independent of how the program shifts:
// x = T / 2^s, whole = x / 1024, tenth = (x mod 1024) * 10 / 1024. No step
// can wrap.
std::string true_figure(uint64_t total)
{
    unsigned s = 0;
    const char* unit = "KB";
    if (total >= 1000000000000ull) {
        s = 30;
        unit = "TB";
    } else if (total >= 1000000000ull) {
        s = 20;
        unit = "GB";
    } else if (total >= 1000000ull) {
        s = 10;
        unit = "MB";
    }
    const uint64_t x = total / (uint64_t{1} << s);
    const auto whole = static_cast<unsigned long long>(x / 1024);
    const auto tenth = static_cast<unsigned>((x % 1024) * 10 / 1024);
    char out[40];
    std::snprintf(out, sizeof out, "  (%llu.%u %s)", whole, tenth, unit);
    return out;
}

// The TB figure with the 32-bit cuts the window program has always shown; it
// must still be shown wherever the cuts change nothing.
std::string cut_figure(uint64_t total)
{
    const auto x = static_cast<uint32_t>(total >> 30);
    const uint32_t whole = x >> 10;
    const uint32_t tenth = (static_cast<uint32_t>(x * 10u) >> 10) % 10;
    char out[40];
    std::snprintf(out, sizeof out, "  (%u.%u TB)", whole, tenth);
    return out;
}

TEST_F(SummaryTest, ExampleTexts)
{
    struct Row {
        void (*set)(Tally&);
        TextFn fn;
        const char* want;
    };
    const Row rows[] = {
        {[](Tally&) {}, files_text, "0"},
        {[](Tally&) {}, folders_text, "0  (depth 0 / 0)"},
        {[](Tally&) {}, longest_path_text, "0 / 0"},
        {[](Tally& t) { t.file_count = 1234, t.files_hidden = 2; }, files_text, "1,234  (H)"},
        {[](Tally& t) {
             t.folder_count = 12, t.folders_system = 1, t.max_rel_depth = 3, t.max_abs_depth = 5;
         },
         folders_text, "12  (S, depth 3 / 5)"},
        {[](Tally& t) { t.total_bytes = 0; }, total_size_text, "0 bytes  (0.0 KB)"},
        {[](Tally& t) { t.total_bytes = 1234; }, total_size_text, "1,234 bytes  (1.2 KB)"},
        {[](Tally& t) { t.total_bytes = 999999; }, total_size_text, "999,999 bytes  (976.5 KB)"},
        {[](Tally& t) { t.total_bytes = 1000000; }, total_size_text, "1,000,000 bytes  (0.9 MB)"},
        {[](Tally& t) { t.total_bytes = 4294967296; }, total_size_text, "4,294,967,296 bytes  (4.0 GB)"},
        {[](Tally& t) { t.max_rel_path = 6, t.max_abs_path = 13; }, longest_path_text, "6 / 13"},
        // The letters keep R, S, H order, name only non-zero counters, and
        // each field looks at its own counters only.
        {[](Tally& t) { t.file_count = 5, t.files_read_only = 2, t.files_hidden = 1; },
         files_text, "5  (RH)"},
        {[](Tally& t) { t.file_count = 3, t.files_read_only = 1, t.files_system = 1, t.files_hidden = 1; },
         files_text, "3  (RSH)"},
        {[](Tally& t) { t.file_count = 3, t.folders_read_only = 1; }, files_text, "3"},
        {[](Tally& t) {
             t.folder_count = 2, t.folders_read_only = 1, t.folders_hidden = 1, t.max_abs_depth = 4;
         },
         folders_text, "2  (RH, depth 0 / 4)"},
        {[](Tally& t) { t.folder_count = 2, t.files_system = 1, t.max_rel_depth = 1, t.max_abs_depth = 4; },
         folders_text, "2  (depth 1 / 4)"},
        {[](Tally& t) { t.total_bytes = 1000000000; }, total_size_text, "1,000,000,000 bytes  (0.9 GB)"},
        {[](Tally& t) { t.total_bytes = 999999999; }, total_size_text, "999,999,999 bytes  (953.6 MB)"},
        // Shifted first, then divided: T / 2^20 is 1.1005..., the figure 1.0.
        {[](Tally& t) { t.total_bytes = 1154047; }, total_size_text, "1,154,047 bytes  (1.0 MB)"},
    };
    for (const Row& row : rows) {
        reset_tally();
        row.set(tally);
        EXPECT_EQ(text(row.fn), row.want) << "row " << &row - rows;
    }
}

TEST_F(SummaryTest, UsesBothLocaleSeparators)
{
    set_number_format(".", ",");
    EXPECT_EQ(size_text(1234), "1.234 bytes  (1,2 KB)");
    tally.file_count = 1234567;
    EXPECT_EQ(text(files_text), "1.234.567");
}

TEST_F(SummaryTest, FigureMatchesLongDivisionAtEveryUnitBoundary)
{
    const uint64_t totals[] = {
        0,          1023,       1024,       999999,          1000000,         1048575,
        1048576,    999999999,  1000000000, 1073741824,      999999999999ull, 1000000000000ull,
        1ull << 40, 1ull << 50, 1ull << 60, 123456789012345ull,
    };
    for (uint64_t total : totals) EXPECT_EQ(unit_text(total), true_figure(total)) << total;
}

TEST_F(SummaryTest, HugeTotalsShowTheirTrueFigure)
{
    // From 429,496,730 x 2^30 bytes the 32-bit product x * 10 wraps; from
    // 2^62 bytes x itself does. The figure must be the unwrapped one.
    const uint64_t product_wraps = 429496730ull << 30;
    const uint64_t whole_wraps = 1ull << 62;
    const uint64_t totals[] = {product_wraps, product_wraps + (1ull << 30) * 7, whole_wraps,
                               whole_wraps + (3000ull << 30), UINT64_MAX};
    for (uint64_t total : totals) {
        EXPECT_NE(true_figure(total), cut_figure(total)) << total << ": test does not reach a wrap";
        EXPECT_EQ(unit_text(total), true_figure(total)) << total;
    }
    EXPECT_EQ(unit_text(product_wraps), "  (419430.4 TB)");  // 429496730 / 1024 = 419430.49...
    EXPECT_EQ(size_text(whole_wraps), "4,611,686,018,427,387,904 bytes  (4194304.0 TB)");
    EXPECT_EQ(size_text(UINT64_MAX), "18,446,744,073,709,551,615 bytes  (16777215.9 TB)");
}

TEST_F(SummaryTest, TotalsJustBelowTheWrapKeepTheCutFigure)
{
    // The last total whose x * 10 still fits 32 bits, and a few below it.
    const uint64_t last = (429496730ull << 30) - 1;
    const uint64_t totals[] = {last, last - (1ull << 30), 1ull << 41, 1000000000000ull};
    for (uint64_t total : totals) EXPECT_EQ(unit_text(total), cut_figure(total)) << total;
    EXPECT_EQ(unit_text(last), "  (419430.3 TB)");
}

TEST_F(SummaryTest, LongestTextsFitTheBuffer)
{
    tally = {UINT32_MAX, 1, 1, 1,  // files, read-only, system, hidden
             UINT32_MAX, 1, 1, 1,  // the same for folders
             UINT64_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX, UINT32_MAX};
    const std::string folders = text(folders_text);
    EXPECT_EQ(folders, "4,294,967,295  (RSH, depth 4294967295 / 4294967295)");
    EXPECT_EQ(folders.size(), 51u);
    EXPECT_EQ(text(files_text), "4,294,967,295  (RSH)");
    EXPECT_EQ(text(longest_path_text), "4294967295 / 4294967295");
}

TEST_F(SummaryTest, ReadySaysHowManyItemsCouldNotBeRead)
{
    const std::pair<uint32_t, const char*> rows[] = {
        {0, "Ready"},
        {1, "Ready - 1 item could not be read"},
        {1234, "Ready - 1,234 items could not be read"},
    };
    for (const auto& [unreadable, want] : rows) {
        char out[summary_text_size];
        ready_text(out, unreadable);
        EXPECT_STREQ(out, want);
    }
}

std::string shortened(const std::string& rel, TextUnit unit = TextUnit::bytes)
{
    char out[status_text_size];
    std::memset(out, '#', sizeof out);
    status_text(out, rel.data(), rel.size(), unit);
    EXPECT_NE(std::memchr(out, '\0', sizeof out), nullptr);
    return out;
}

TEST(StatusText, ShowsUpTo53BytesWholeAndOtherwiseBothEnds)
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
    // Bytes that are not UTF-8 are cut where the rule says, even where they
    // look like the middle of a character: a Latin-1 name of degree signs
    // (0xB0), and the forms UTF-8 forbids around the cut, a surrogate and an
    // overlong "/".
    const std::string latin1 = "/" + std::string(60, '\xB0');
    EXPECT_EQ(shortened(latin1), latin1.substr(0, 25) + "..." + latin1.substr(61 - 25));
    for (const std::string forbidden : {"\xED\xA0\x80", "\xE0\x80\xAF"}) {
        const std::string rel = std::string(24, 'a') + forbidden + std::string(30, 'b');
        EXPECT_EQ(shortened(rel), rel.substr(0, 25) + "..." + rel.substr(rel.size() - 25));
    }
}

// Texts mixing characters of one to four bytes in shifting phases, so that
// both cuts fall at every offset within a character: each cut moves back to
// the nearest boundary that keeps at most 25 bytes.
TEST(StatusText, WholeCharactersAreNeverSplit)
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
    }
    EXPECT_TRUE(head_moved && tail_moved) << "the texts never put a character across a cut";
}

// Counted in UTF-16 units, as Windows counts its paths: a character of the
// first plane is one unit however many bytes it takes, one past it two.
TEST(StatusText, CountsUtf16UnitsWhereWindowsDoes)
{
    const auto repeat = [](const std::string& character, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += character;
        return text;
    };
    const std::string cjk = "\u6F22", smile = "\U0001F600";
    EXPECT_EQ(shortened(repeat(cjk, 53), TextUnit::utf16), repeat(cjk, 53));
    EXPECT_EQ(shortened(repeat(cjk, 54), TextUnit::utf16), repeat(cjk, 25) + "..." + repeat(cjk, 25));
    EXPECT_EQ(shortened(repeat(cjk, 53)), repeat(cjk, 8) + "..." + repeat(cjk, 8));
    // 27 pairs, 54 units: 12 whole pairs on each side, never half of one.
    EXPECT_EQ(shortened(repeat(smile, 27), TextUnit::utf16), repeat(smile, 12) + "..." + repeat(smile, 12));
    EXPECT_EQ(shortened("/" + repeat(smile, 26), TextUnit::utf16), "/" + repeat(smile, 26));
}

}  // namespace
