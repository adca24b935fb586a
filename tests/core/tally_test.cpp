// reset_tally: every Tally field and the numeric ScanCursor fields go to zero,
// while the path text stays exactly as it was.
#include <cstring>

#include <gtest/gtest.h>

#include "core/tally.h"

namespace {

TEST(TallyTest, ResetZeroesTheCountsButKeepsThePath)
{
    reset_tally();
    // Every byte non-zero, so a field the reset forgets cannot read zero by chance.
    std::memset(&tally, 0xa5, sizeof tally);
    scan_cursor.base_len = 17;
    scan_cursor.base_depth = 3;
    scan_cursor.depth = 9;
    char pattern[path_capacity];
    for (uint32_t i = 0; i < path_capacity; ++i) pattern[i] = static_cast<char>('a' + i % 26);
    pattern[40] = '\0';  // bytes past the terminator must survive too
    std::memcpy(scan_cursor.path, pattern, path_capacity);

    reset_tally();

    EXPECT_EQ(tally.file_count, 0u);
    EXPECT_EQ(tally.files_read_only, 0u);
    EXPECT_EQ(tally.files_system, 0u);
    EXPECT_EQ(tally.files_hidden, 0u);
    EXPECT_EQ(tally.folder_count, 0u);
    EXPECT_EQ(tally.folders_read_only, 0u);
    EXPECT_EQ(tally.folders_system, 0u);
    EXPECT_EQ(tally.folders_hidden, 0u);
    EXPECT_EQ(tally.total_bytes, 0u);
    EXPECT_EQ(tally.max_rel_depth, 0u);
    EXPECT_EQ(tally.max_abs_depth, 0u);
    EXPECT_EQ(tally.max_rel_path, 0u);
    EXPECT_EQ(tally.max_abs_path, 0u);
    EXPECT_EQ(scan_cursor.base_len, 0u);
    EXPECT_EQ(scan_cursor.base_depth, 0u);
    EXPECT_EQ(scan_cursor.depth, 0u);
    EXPECT_EQ(std::memcmp(scan_cursor.path, pattern, path_capacity), 0);
}

}  // namespace
