// The separators read from the user's locale. The user's own separators are
// changed with SetLocaleInfoW for each case and put back afterwards; and the
// whole locale is set as Wine takes it, from the environment, by CTest, which
// runs this program again for each of four locales (HEAPWISE_USER_LOCALE
// names the one set). All in a Wine prefix of their own, one run at a time.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

std::wstring wide(const std::string& text)
{
    std::wstring out(text.size(), L'\0');
    out.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                       out.data(), static_cast<int>(out.size()))));
    return out;
}

std::wstring user_value(LCTYPE type)
{
    wchar_t buffer[32] = {};
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 32) > 0 ? buffer : L"";
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
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, saved_thousands_.c_str());
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved_decimal_.c_str());
    }

    // Sets the user's separators (UTF-8 here) and loads them, starting from
    // separators no rule produces.
    static void load_under(const char* thousands, const char* decimal)
    {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, wide(thousands).c_str()));
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, wide(decimal).c_str()));
        std::strcpy(number_format.thousands, "x");
        std::strcpy(number_format.decimal, "y");
        load_number_format();
    }

private:
    NumberFormat saved_format_{};
    std::wstring saved_thousands_;
    std::wstring saved_decimal_;
};

// One character is taken, in UTF-8 whatever this program's code page (not
// UTF-8 here); none, two, or more than the 5-byte field holds give the
// defaults.
TEST_F(LocaleTest, TakesTheUsersSeparatorOnlyWhenItIsOneCharacter)
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
        {"\u00A0", ",", "\u00A0", ","},            // no-break space, in this code page too
        {"\u202F", "\u066B", "\u202F", "\u066B"},  // narrow no-break space, Arabic decimal separator
        {"\U0001F4A0", ".", "\U0001F4A0", "."},    // a surrogate pair in UTF-16, 4 bytes in UTF-8
        {"", "", ",", "."},
        {"..", ",,", ",", "."},
        {"\u202F\u202F", "\u00A0.", ",", "."},
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
    char out[grouped_text_size];
    format_grouped(out, 1234567);
    EXPECT_STREQ(out, "1.234.567");
}

// The size text in the user's own locale, with its separators as the system
// gives them: French has either no-break space (older data has U+00A0).
TEST(UserLocale, SizeTextReadsInTheUsersLocale)
{
    const char* wanted = std::getenv("HEAPWISE_USER_LOCALE");
    if (wanted == nullptr) GTEST_SKIP() << "no user locale set (run through CTest)";
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    ASSERT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 0);
    ASSERT_EQ(name, wide(wanted)) << "the user locale was not set";
    const std::map<std::string, std::vector<std::string>> texts = {
        {"fr-FR", {"1\u202F234\u202F567 bytes  (1,1 MB)", "1\u00A0234\u00A0567 bytes  (1,1 MB)"}},
        {"de-CH", {"1\u2019234\u2019567 bytes  (1.1 MB)"}},
        {"ru-RU", {"1\u00A0234\u00A0567 bytes  (1,1 MB)"}},
        {"de-DE", {"1.234.567 bytes  (1,1 MB)"}},
    };
    ASSERT_EQ(texts.count(wanted), 1u) << "no text for this locale";

    const NumberFormat saved = number_format;
    load_number_format();
    reset_tally();
    tally.total_bytes = 1234567;
    char text[summary_text_size];
    total_size_text(text, tally);
    reset_tally();
    number_format = saved;
    const std::vector<std::string>& allowed = texts.at(wanted);
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), text), allowed.end()) << text;
}

}  // namespace
