// The accumulated Tally: Reset zeroes every field, and a walker's share adds
// its counts and raises the maxima.
#include <cstring>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "tests/support/temp_tree.h"

namespace {

TEST(TallyTest, ResetZeroesEveryField)
{
    // Every byte non-zero, so a field the reset forgets cannot read zero by chance.
    std::memset(&tally, 0xa5, sizeof tally);
    reset_tally();
    EXPECT_EQ(describe(tally), describe(Tally{}));
}

// Each field has its own values, so a field added wrongly, or not at all,
// shows; the maxima keep the larger value from either side.
TEST(TallyTest, ShareAddsItsCountsAndRaisesTheMaxima)
{
    Tally into{1, 2, 3, 4, 5, 6, 7, 8, 1ull << 40, 9, 30, 11, 40};
    const Tally share{10, 20, 30, 40, 50, 60, 70, 80, 3, 12, 13, 4, 50};
    add_share(&into, share);
    EXPECT_EQ(describe(into), describe(Tally{11, 22, 33, 44, 55, 66, 77, 88, (1ull << 40) + 3, 12, 30, 11, 50}));
}

}  // namespace
