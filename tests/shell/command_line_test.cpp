// The command-line splitter, table-driven: blanks, quotes, doubled quotes,
// backslash runs, and the two calls agreeing on count and block size.
#include <cctype>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shell/win32/command_line.h"

namespace {

struct Split {
    const char* name;
    std::string text;
    std::vector<std::string> arguments;
};

// Each case is a command line and the arguments it must give.
const Split splits[] = {
    // Blanks
    {"empty line", "", {}},
    {"only blanks", " \t\r\n ", {}},
    {"one word", "heapwise.exe", {"heapwise.exe"}},
    {"runs of blanks", "  a   b\t\tc  ", {"a", "b", "c"}},
    {"every byte up to 0x20 is a blank", "a\x01" "b\x1f" "c\x20" "d", {"a", "b", "c", "d"}},
    {"bytes from 0x80 are ordinary", "\xa0x\xc3\xa9 \xff", {"\xa0x\xc3\xa9", "\xff"}},
    // Quotes
    {"quoted blanks", "\"C:\\My Files\\a b\" next", {"C:\\My Files\\a b", "next"}},
    {"quotes inside a word", "a\"b c\"d", {"ab cd"}},
    {"empty quotes are an argument", "a \"\" b", {"a", "", "b"}},
    {"blank after closing quote ends", "\"a\" b", {"a", "b"}},
    {"open quote runs to the end", "\"a b  c", {"a b  c"}},
    {"quoted tab kept", "\"a\tb\"", {"a\tb"}},
    {"doubled quote inside quotes", "\"a\"\"b\"", {"a\"b"}},
    {"doubled quote ends the quoted part", "\"a\"\"b c\"", {"a\"b", "c"}},
    {"three quotes", "\"\"\"", {"\""}},
    {"four quotes", "\"\"\"\" x", {"\" x"}},
    {"doubled quote outside quotes", "a\"\"b", {"ab"}},
    {"tripled quote outside quotes", "a\"\"\"b", {"a\"b"}},
    {"quote after closing quote then blank", "\"a\"\" b", {"a\"", "b"}},
    // Backslashes
    {"backslashes in a path unchanged", "C:\\data\\x \\\\server\\share\\", {"C:\\data\\x", "\\\\server\\share\\"}},
    {"trailing backslashes unchanged", "a\\\\\\", {"a\\\\\\"}},
    {"one backslash, literal quote", "a\\\"b", {"a\"b"}},
    {"two backslashes, quote acts", "a\\\\\"b c\"", {"a\\b c"}},
    {"three backslashes, literal quote", "a\\\\\\\"b", {"a\\\"b"}},
    {"four backslashes, quote acts", "\\\\\\\\\"x y\"", {"\\\\x y"}},
    {"inside quotes two backslashes end the part", "\"a\\\\\" b", {"a\\", "b"}},
    {"inside quotes three backslashes keep it open", "\"a\\\\\\\" b\"", {"a\\\" b"}},
    {"backslash run right after closing quote", "\"a\"\\\"b", {"a\"b"}},
    {"escaped quote does not open quoting", "\\\"a b", {"\"a", "b"}},
    // Whole lines as the shell writes them
    {"program and quoted path",
     "\"C:\\Program Files\\Heapwise\\heapwise.exe\" \"D:\\My Data\\\\\" E:\\x",
     {"C:\\Program Files\\Heapwise\\heapwise.exe", "D:\\My Data\\", "E:\\x"}},
};

void PrintTo(const Split& split, std::ostream* out)
{
    *out << split.name;
}

class CommandLine : public testing::TestWithParam<Split> {};

TEST_P(CommandLine, SplitsAsTheRulesSay)
{
    const Split& split = GetParam();
    size_t text_bytes = 0;
    for (const std::string& argument : split.arguments) text_bytes += argument.size();
    const int expected_count = static_cast<int>(split.arguments.size());

    int counted = -1;
    const uint32_t size = split_command_line(split.text.c_str(), &counted, nullptr, nullptr);
    ASSERT_EQ(counted, expected_count);
    EXPECT_EQ(size, 16 + split.arguments.size() * (sizeof(char*) + 1) + text_bytes);

    // The block as start-up lays it out, with a guard after it that must stay
    // untouched.
    constexpr unsigned char untouched = 0xA5;
    constexpr size_t guard = 32;
    std::vector<char*> storage((size + guard) / sizeof(char*) + 1);
    auto* block = reinterpret_cast<unsigned char*>(storage.data());
    memset(block, untouched, size + guard);
    auto** table = reinterpret_cast<char**>(block);
    char* strings = reinterpret_cast<char*>(table + counted + 1);

    int filled = -1;
    EXPECT_EQ(split_command_line(split.text.c_str(), &filled, table, strings), size);
    ASSERT_EQ(filled, counted);

    std::vector<std::string> got;
    for (int i = 0; i < filled; ++i) got.emplace_back(table[i]);
    EXPECT_EQ(got, split.arguments);
    EXPECT_EQ(table[filled], nullptr);

    // Each text follows a zero byte; four zero bytes close the last one, all
    // inside the block.
    char* expected_text = strings + 1;
    for (int i = 0; i < filled; ++i) {
        EXPECT_EQ(table[i], expected_text) << "argument " << i;
        EXPECT_EQ(table[i][-1], '\0');
        expected_text += split.arguments[i].size() + 1;
    }
    const auto* end = reinterpret_cast<unsigned char*>(expected_text - 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(end[i], 0) << "closing zero " << i;
    EXPECT_LE(end + 4, block + size);
    for (unsigned char* p = const_cast<unsigned char*>(end) + 4; p < block + size + guard; ++p)
        ASSERT_EQ(*p, untouched) << "written past the texts at offset " << (p - block);
}

std::string case_name(const testing::TestParamInfo<Split>& param_info)
{
    std::string name;
    for (const char* c = param_info.param.name; *c != '\0'; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rules, CommandLine, testing::ValuesIn(splits), case_name);

}  // namespace
