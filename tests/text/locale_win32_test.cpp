// The separators read from the user's locale with GetLocaleInfoA. The user's
// own separators are changed with SetLocaleInfoA for each case and put back
// afterwards, so this test runs alone.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "text/number_format.h"

namespace {

std::string user_value(LCTYPE type)
{
    char buffer[32] = {};
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0 ? buffer : "";
}

class LocaleTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_format_ = number_format;
        saved_thousands_ = user_value(LOCALE_STHOUSAND);
        saved_decimal_ = user_value(LOCALE_SDECIMAL);
    }
    void TearDown() override
    {
        number_format = saved_format_;
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, saved_thousands_.c_str());
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_decimal_.c_str());
    }

    // Sets the user's separators and loads them, starting from separators no
    // rule produces.
    static void load_under(const char* thousands, const char* decimal)
    {
        ASSERT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands));
        ASSERT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal));
        std::strcpy(number_format.thousands, "x");
        std::strcpy(number_format.decimal, "y");
        load_number_format();
    }

private:
    NumberFormat saved_format_{};
    std::string saved_thousands_;
    std::string saved_decimal_;
};

// One byte is taken; none, two, or more than the 5-byte field holds (the
// call then fails) give the defaults.
TEST_F(LocaleTest, TakesTheUsersSeparatorOnlyWhenItIsOneByte)
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
        {"\xA0", ",", "\xA0", ","},  // no-break space, one byte in the ANSI code page
        {"", "", ",", "."},
        {"..", ",,", ",", "."},
        {"abcdefgh", "12345", ",", "."},
    };
    for (const Row& row : rows) {
        load_under(row.thousands, row.decimal);
        EXPECT_STREQ(number_format.thousands, row.want_thousands) << "row " << &row - rows;
        EXPECT_STREQ(number_format.decimal, row.want_decimal) << "row " << &row - rows;
    }
}

TEST_F(LocaleTest, GroupsWithTheLoadedSeparator)
{
    load_under(".", ",");
    char out[27];
    format_grouped(out, 1234567);
    EXPECT_STREQ(out, "1.234.567");
}

}  // namespace
