// Grouped numbers and the one-byte separator rule.
#include <cstdint>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "text/number_format.h"

namespace {

// Restores number_format after each test.
class NumberFormatTest : public testing::Test {
protected:
    void SetUp() override { saved_format_ = number_format; }
    void TearDown() override { number_format = saved_format_; }

    // Separators no rule produces, so that a result equal to the defaults
    // shows the defaults were written, not merely left.
    static void scribble()
    {
        std::strcpy(number_format.thousands, "x");
        std::strcpy(number_format.decimal, "y");
    }

    static std::string grouped(uint64_t value)
    {
        char out[40];
        std::memset(out, 0x7f, sizeof out);
        format_grouped(out, value);
        const size_t len = std::strlen(out);
        // The documented room is 27 bytes: nothing may land past the terminator.
        EXPECT_LE(len, 26u);
        for (size_t i = len + 1; i < sizeof out; ++i) EXPECT_EQ(out[i], 0x7f) << "byte " << i << " written";
        return out;
    }

private:
    NumberFormat saved_format_{};
};

TEST_F(NumberFormatTest, GroupsInThreesWithEitherSeparator)
{
    struct Row {
        uint64_t value;
        const char* comma;
        const char* stop;
    };
    const Row rows[] = {
        {0, "0", "0"},
        {7, "7", "7"},
        {999, "999", "999"},
        {1000, "1,000", "1.000"},
        {100000, "100,000", "100.000"},
        {999999, "999,999", "999.999"},
        {1000000, "1,000,000", "1.000.000"},
        {1234567, "1,234,567", "1.234.567"},
        {4294967295u, "4,294,967,295", "4.294.967.295"},
        {4294967296u, "4,294,967,296", "4.294.967.296"},
        {UINT64_MAX, "18,446,744,073,709,551,615", "18.446.744.073.709.551.615"},
    };
    for (const Row& row : rows) {
        set_number_format(",", ".");
        EXPECT_EQ(grouped(row.value), row.comma) << row.value;
        set_number_format(".", ",");
        EXPECT_EQ(grouped(row.value), row.stop) << row.value;
    }
}

TEST_F(NumberFormatTest, TakesASeparatorOnlyWhenItIsExactlyOneByte)
{
    struct Row {
        const char* thousands;
        const char* decimal;
        const char* want_thousands;
        const char* want_decimal;
    };
    const Row rows[] = {
        {".", ",", ".", ","},
        {"'", ".", "'", "."},
        {"", "", ",", "."},
        {"..", ",,", ",", "."},
        {nullptr, nullptr, ",", "."},
        {"\xe2\x80\xaf", ",", ",", ","},  // narrow no-break space, three bytes
        {" ", "\xc2\xb7", " ", "."},      // middle dot, two bytes
        {"1234", "56789", ",", "."},
    };
    for (const Row& row : rows) {
        scribble();
        set_number_format(row.thousands, row.decimal);
        EXPECT_STREQ(number_format.thousands, row.want_thousands) << "row " << &row - rows;
        EXPECT_STREQ(number_format.decimal, row.want_decimal) << "row " << &row - rows;
    }
}

}  // namespace
