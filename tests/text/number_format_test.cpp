// Grouped numbers, the one-byte separator rule, and the separators read from
// real installed locales through LC_ALL / LC_NUMERIC / LANG.
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "text/number_format.h"

namespace {

const char* const locale_variables[] = {"LC_ALL", "LC_NUMERIC", "LANG"};

// Restores number_format and the three locale variables after each test.
class NumberFormatTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset_tally();
        saved_format_ = number_format;
        for (int i = 0; i < 3; ++i)
            if (const char* value = std::getenv(locale_variables[i])) saved_environment_[i] = value;
    }
    void TearDown() override
    {
        number_format = saved_format_;
        for (int i = 0; i < 3; ++i)
            set_variable(i, saved_environment_[i] ? saved_environment_[i]->c_str() : nullptr);
    }

    static void set_variable(int i, const char* value)
    {
        if (value != nullptr)
            setenv(locale_variables[i], value, 1);
        else
            unsetenv(locale_variables[i]);
    }

    // Loads the separators under the given environment (null: unset),
    // starting from separators no rule produces, so that a result equal to
    // the defaults shows the defaults were written, not merely left.
    static void load_under(const char* lc_all, const char* lc_numeric, const char* lang)
    {
        set_variable(0, lc_all);
        set_variable(1, lc_numeric);
        set_variable(2, lang);
        scribble();
        load_number_format();
    }
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
    std::optional<std::string> saved_environment_[3];
};

bool installed(const char* name)
{
    const locale_t probe = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(0));
    if (probe == static_cast<locale_t>(0)) return false;
    freelocale(probe);
    return true;
}

// The locales whose separators the tests know; CI installs them.
bool locales_installed()
{
    return installed("de_DE.UTF-8") && installed("fr_FR.UTF-8");
}
constexpr const char* locales_missing = "de_DE.UTF-8 or fr_FR.UTF-8 is not installed (Debian: locales-all)";

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

TEST_F(NumberFormatTest, CAndUnknownLocalesGiveTheDefaults)
{
    for (const char* name : {"C", "xx_NOWHERE.UTF-8"}) {  // C has no thousands separator at all
        load_under(name, nullptr, nullptr);
        EXPECT_STREQ(number_format.thousands, ",") << name;
        EXPECT_STREQ(number_format.decimal, ".") << name;
    }
}

TEST_F(NumberFormatTest, ReadsTheSeparatorsOfAnInstalledLocale)
{
    if (!locales_installed()) GTEST_SKIP() << locales_missing;
    load_under("de_DE.UTF-8", nullptr, nullptr);
    EXPECT_STREQ(number_format.thousands, ".");
    EXPECT_STREQ(number_format.decimal, ",");
    load_under("fr_FR.UTF-8", nullptr, nullptr);
    EXPECT_STREQ(number_format.thousands, ",");  // its U+202F is three bytes
    EXPECT_STREQ(number_format.decimal, ",");
}

TEST_F(NumberFormatTest, LcAllBeatsLcNumericWhichBeatsLang)
{
    if (!locales_installed()) GTEST_SKIP() << locales_missing;
    struct Row {
        const char* lc_all;
        const char* lc_numeric;
        const char* lang;
        const char* thousands;  // "." if de_DE was used
    };
    const Row rows[] = {
        {"de_DE.UTF-8", "C", "C", "."},
        {"C", "de_DE.UTF-8", "de_DE.UTF-8", ","},
        {nullptr, "de_DE.UTF-8", "C", "."},
        {nullptr, "C", "de_DE.UTF-8", ","},
        {nullptr, nullptr, "de_DE.UTF-8", "."},
        {nullptr, nullptr, nullptr, ","},
    };
    for (const Row& row : rows) {
        load_under(row.lc_all, row.lc_numeric, row.lang);
        EXPECT_STREQ(number_format.thousands, row.thousands) << "row " << &row - rows;
    }
}

TEST_F(NumberFormatTest, LeavesTheProcessLocaleAlone)
{
    if (!locales_installed()) GTEST_SKIP() << locales_missing;
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const std::string point_before = std::localeconv()->decimal_point;

    load_under("de_DE.UTF-8", nullptr, nullptr);

    EXPECT_STREQ(number_format.decimal, ",");  // the locale was read...
    EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), before);  // ...but not made the process's
    EXPECT_EQ(std::localeconv()->decimal_point, point_before);
}

}  // namespace
