// The command-line splitter over arbitrary text: the counting and the filling
// call agree on count and size, the filling call stays within that size, no
// argument is longer than the text, and arguments quoted by the rules, joined
// and split again come back unchanged.
//
// The input is the text itself, and also a list of arguments separated by
// zero bytes for the round trip.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/win32/command_line.h"

namespace {

[[noreturn]] void wrong(const char* what, const std::string& text)
{
    fprintf(stderr, "%s; command line: [", what);
    fwrite(text.data(), 1, text.size(), stderr);
    fputs("]\n", stderr);
    abort();
}

// Splits `text` as start-up does: count, allocate exactly, fill.
std::vector<std::string> split(const std::string& text)
{
    int counted = -1;
    const uint32_t size = split_command_line(text.c_str(), &counted, nullptr, nullptr);
    if (counted < 0) wrong("negative count", text);
    if (size < 16 + static_cast<uint64_t>(counted) * (sizeof(char*) + 1)) wrong("block too small for the table", text);

    // Exactly the size asked for, so a write past it is caught.
    char* block = static_cast<char*>(malloc(size));
    char** table = reinterpret_cast<char**>(block);
    int filled = -1;
    const uint32_t fill_size =
        split_command_line(text.c_str(), &filled, table, block + (static_cast<size_t>(counted) + 1) * sizeof(char*));
    if (filled != counted) wrong("the two calls count differently", text);
    if (fill_size != size) wrong("the two calls size the block differently", text);
    if (table[filled] != nullptr) wrong("no null entry after the last argument", text);

    std::vector<std::string> arguments;
    for (int i = 0; i < filled; ++i) {
        const size_t len = strlen(table[i]);
        if (len > text.size()) wrong("an argument longer than the text", text);
        arguments.emplace_back(table[i], len);
    }
    free(block);
    return arguments;
}

// Quotes one argument so the splitter gives it back: inside double quotes,
// backslashes are doubled where a quote follows them, and a quote is escaped.
std::string quoted(const std::string& argument)
{
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(2 * backslashes + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The text as it stands, up to its first zero byte.
    split(std::string(input.c_str()));

    std::vector<std::string> arguments;
    size_t start = 0;
    for (;;) {
        const size_t end = input.find('\0', start);
        arguments.push_back(input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string joined;
    for (const std::string& argument : arguments) joined += (joined.empty() ? "" : " ") + quoted(argument);
    if (split(joined) != arguments) wrong("quoted arguments did not come back", joined);
    return 0;
}
