// Grouped numbers and the one-character separator rule.
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
        char out[grouped_text_size + 16];
        std::memset(out, 0x7f, sizeof out);
        format_grouped(out, value);
        const size_t len = std::strlen(out);
        // Nothing may land past the terminator, nor past the documented room.
        EXPECT_LT(len, static_cast<size_t>(grouped_text_size));
        for (size_t i = len + 1; i < sizeof out; ++i) EXPECT_EQ(out[i], 0x7f) << "byte " << i << " written";
        return out;
    }

private:
    NumberFormat saved_format_{};
};

// A separator of several bytes keeps their order: "\u202F" is a narrow
// no-break space (3 bytes); the widest, 4 bytes, fits the room too.
TEST_F(NumberFormatTest, GroupsInThreesWithAnySeparator)
{
    struct Row {
        uint64_t value;
        const char* comma;
        const char* stop;
        const char* narrow_space;
    };
    const Row rows[] = {
        {0, "0", "0", "0"},
        {7, "7", "7", "7"},
        {999, "999", "999", "999"},
        {1000, "1,000", "1.000", "1\u202F000"},
        {100000, "100,000", "100.000", "100\u202F000"},
        {999999, "999,999", "999.999", "999\u202F999"},
        {1000000, "1,000,000", "1.000.000", "1\u202F000\u202F000"},
        {1234567, "1,234,567", "1.234.567", "1\u202F234\u202F567"},
        {4294967295u, "4,294,967,295", "4.294.967.295", "4\u202F294\u202F967\u202F295"},
        {4294967296u, "4,294,967,296", "4.294.967.296", "4\u202F294\u202F967\u202F296"},
        {UINT64_MAX, "18,446,744,073,709,551,615", "18.446.744.073.709.551.615",
         "18\u202F446\u202F744\u202F073\u202F709\u202F551\u202F615"},
    };
    for (const Row& row : rows) {
        set_number_format(",", ".");
        EXPECT_EQ(grouped(row.value), row.comma) << row.value;
        set_number_format(".", ",");
        EXPECT_EQ(grouped(row.value), row.stop) << row.value;
        set_number_format("\u202F", ",");
        EXPECT_EQ(grouped(row.value), row.narrow_space) << row.value;
    }
    set_number_format("\U0001F4A0", ",");
    EXPECT_EQ(grouped(UINT64_MAX), "18\U0001F4A0446\U0001F4A0744\U0001F4A0073\U0001F4A0709\U0001F4A0551\U0001F4A0615");
}

// One character of any length in UTF-8 is taken; none, several, or bytes
// that are not UTF-8 give the defaults.
TEST_F(NumberFormatTest, TakesASeparatorOnlyWhenItIsExactlyOneCharacter)
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
        {"\xe2\x80\xaf", ",", "\xe2\x80\xaf", ","},  // narrow no-break space, three bytes
        {"\xe2\x80\x99", "\xc2\xb7", "\xe2\x80\x99", "\xc2\xb7"},  // right quote; middle dot, two bytes
        {"\xf0\x9f\x92\xa0", "'", "\xf0\x9f\x92\xa0", "'"},  // four bytes fill the field
        {"\xc2\xa0\xc2\xa0", ".,", ",", "."},          // two characters
        {"\xa0", "\xe2\x80", ",", "."},                  // a legacy code page's byte; a cut sequence
        {"\xc0\xa0", "\xed\xa0\x80", ",", "."},          // an overlong space; a surrogate
        {"\xf4\x90\x80\x80", "\xff", ",", "."},          // past U+10FFFF; never UTF-8
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
