// The command-line splitter: one walk over the text that counts, and when
// given a table also copies, so both calls agree on count and size.
#include "shell/win32/command_line.h"

namespace {

bool is_blank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// Where the texts go, or nowhere in the counting call.
struct Output {
    char* next;
    uint32_t copied;

    void put(char c)
    {
        if (next != nullptr) *next++ = c;
        ++copied;
    }
};

// Reads one argument from `p` (at its first byte) into `out`; returns where
// it ended: at the blank or the terminator that ended it.
const char* read_argument(const char* p, Output& out)
{
    bool quoted = false;
    for (;;) {
        const char c = *p;
        if (c == '\0') return p;
        if (c == '\\') {
            uint32_t run = 0;
            while (p[run] == '\\') ++run;
            if (p[run] != '"') {
                for (uint32_t i = 0; i < run; ++i) out.put('\\');
                p += run;
                continue;
            }
            for (uint32_t i = 0; i < run / 2; ++i) out.put('\\');
            p += run;
            if (run % 2 == 1) {
                out.put('"');
                ++p;
            }
            continue;  // an even run leaves the quote to act as one
        }
        if (c == '"') {
            ++p;
            if (!quoted) {
                quoted = true;
                continue;
            }
            quoted = false;
            if (*p == '"') {
                out.put('"');
                ++p;
            }
            continue;
        }
        if (!quoted && is_blank(c)) return p;
        out.put(c);
        ++p;
    }
}

}  // namespace

uint32_t split_command_line(const char* text, int* count, char** table, char* strings)
{
    Output out = {table != nullptr ? strings : nullptr, 0};
    int arguments = 0;
    const char* p = text;
    for (;;) {
        while (*p != '\0' && is_blank(*p)) ++p;
        if (*p == '\0') break;
        if (out.next != nullptr) {
            *out.next++ = '\0';
            table[arguments] = out.next;
        }
        ++arguments;
        p = read_argument(p, out);
    }
    if (out.next != nullptr) {
        for (int i = 0; i < 4; ++i) *out.next++ = '\0';
        table[arguments] = nullptr;
    }
    *count = arguments;
    return 16 + static_cast<uint32_t>(arguments) * static_cast<uint32_t>(sizeof(char*) + 1) + out.copied;
}
