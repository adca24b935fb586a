// The separators read from real installed locales through LC_ALL /
// LC_NUMERIC / LANG.
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
class LocaleTest : public testing::Test {
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
const char* const known_locales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_CH.UTF-8", "fr_FR"};
bool locales_installed()
{
    for (const char* name : known_locales)
        if (!installed(name)) return false;
    return true;
}
constexpr const char* locales_missing = "de_DE.UTF-8, fr_FR.UTF-8, de_CH.UTF-8 or fr_FR is not installed "
                                        "(Debian: locales-all)";

TEST_F(LocaleTest, CAndUnknownLocalesGiveTheDefaults)
{
    for (const char* name : {"C", "xx_NOWHERE.UTF-8"}) {  // C has no thousands separator at all
        load_under(name, nullptr, nullptr);
        EXPECT_STREQ(number_format.thousands, ",") << name;
        EXPECT_STREQ(number_format.decimal, ".") << name;
    }
}

// Separators of one character, however many bytes it takes, in UTF-8
// whatever the locale's own encoding.
TEST_F(LocaleTest, ReadsTheSeparatorsOfAnInstalledLocale)
{
    if (!locales_installed()) GTEST_SKIP() << locales_missing;
    struct Row {
        const char* locale;
        const char* thousands;
        const char* decimal;
    };
    const Row rows[] = {
        {"de_DE.UTF-8", ".", ","},
        {"fr_FR.UTF-8", "\u202F", ","},  // narrow no-break space
        {"de_CH.UTF-8", "\u2019", "."},  // right single quotation mark
        {"fr_FR", "\u00A0", ","},        // ISO-8859-1 has only the no-break space, as byte 0xA0
    };
    for (const Row& row : rows) {
        load_under(row.locale, nullptr, nullptr);
        EXPECT_STREQ(number_format.thousands, row.thousands) << row.locale;
        EXPECT_STREQ(number_format.decimal, row.decimal) << row.locale;
    }
}

TEST_F(LocaleTest, LcAllBeatsLcNumericWhichBeatsLang)
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

TEST_F(LocaleTest, LeavesTheProcessLocaleAlone)
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
