// The grouped numbers and the four result texts over arbitrary Tally values
// and separators (any character of 1 to 4 bytes in UTF-8, or bytes the rule
// refuses): each text is terminated within its buffer, and read back it gives
// the values it was built from; the size unit never falls as the total grows.
// The rest of the input is a folder's relative path: its status text keeps
// both ends of it, at most 25 bytes each, and splits no UTF-8 character.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/tally.h"
#include "text/number_format.h"
#include "text/summary.h"
#include "text/utf8.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
    uint64_t take(unsigned bytes)
    {
        uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) value = value << 8 | (pos < size ? data[pos++] : 0);
        return value;
    }
};

[[noreturn]] void wrong(const char* what, const char* text)
{
    fprintf(stderr, "%s: \"%s\"\n", what, text);
    abort();
}

// Reads a grouped number at `*at` and moves past it.
uint64_t read_grouped(const char*& at, const char* text)
{
    const char* separator = number_format.thousands;
    const size_t separator_len = strlen(separator);
    uint64_t value = 0;
    unsigned digits = 0;
    while (*at >= '0' && *at <= '9') {
        value = value * 10 + static_cast<uint64_t>(*at++ - '0');
        ++digits;
    }
    if (digits == 0 || digits > 3) wrong("leading group", text);
    if (digits > 1 && at[-static_cast<int>(digits)] == '0') wrong("leading zero", text);
    while (strncmp(at, separator, separator_len) == 0 && at[separator_len] >= '0' && at[separator_len] <= '9') {
        at += separator_len;
        for (int i = 0; i < 3; ++i, ++at) {
            if (*at < '0' || *at > '9') wrong("group of fewer than three digits", text);
            value = value * 10 + static_cast<uint64_t>(*at - '0');
        }
    }
    return value;
}

uint64_t read_decimal(const char*& at, const char* text)
{
    if (*at < '0' || *at > '9') wrong("number expected", text);
    uint64_t value = 0;
    while (*at >= '0' && *at <= '9') value = value * 10 + static_cast<uint64_t>(*at++ - '0');
    return value;
}

void expect(const char*& at, const char* literal, const char* text)
{
    const size_t n = strlen(literal);
    if (strncmp(at, literal, n) != 0) wrong(literal, text);
    at += n;
}

// The letters for three counters: "" when all are zero.
void letters(char* out, uint32_t read_only, uint32_t system, uint32_t hidden)
{
    if (read_only != 0) *out++ = 'R';
    if (system != 0) *out++ = 'S';
    if (hidden != 0) *out++ = 'H';
    *out = '\0';
}

// A result text built into a buffer of exactly its size, so ASan sees a
// write past it; checked to be terminated inside.
char* build(void (*text_fn)(char*, const Tally&))
{
    char* out = static_cast<char*>(malloc(summary_text_size));
    memset(out, 0x7F, summary_text_size);
    text_fn(out, tally);
    if (memchr(out, '\0', summary_text_size) == nullptr) wrong("not terminated", "");
    return out;
}

// A separator text from the input: one byte, and when it leads a UTF-8
// sequence the bytes that sequence announces, whatever they are. A digit
// alone would make the texts unreadable: it becomes `fallback`.
void take_separator(Input& in, char* text, char fallback)
{
    const auto lead = static_cast<unsigned char>(in.take(1));
    const unsigned len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    text[0] = static_cast<char>(lead);
    for (unsigned i = 1; i < len; ++i) text[i] = static_cast<char>(in.take(1));
    text[len] = '\0';
    if (lead >= '0' && lead <= '9') text[0] = fallback;
}

// Room for ten times the largest total shifted by up to 40 bits.
__extension__ typedef unsigned __int128 Wide;

struct SizeFigure {
    unsigned unit;   // 0 KB, 1 MB, 2 GB, 3 TB
    uint64_t tenths;
};

SizeFigure read_size_text(const char* text, uint64_t total)
{
    const char* at = text;
    if (read_grouped(at, text) != total) wrong("byte total", text);
    expect(at, " bytes  (", text);
    const uint64_t whole = read_decimal(at, text);
    expect(at, number_format.decimal, text);
    if (*at < '0' || *at > '9') wrong("tenth digit", text);
    const uint64_t tenth = static_cast<uint64_t>(*at++ - '0');
    static const char* const units[4] = {" KB)", " MB)", " GB)", " TB)"};
    unsigned unit = 0;
    while (unit < 4 && strcmp(at, units[unit]) != 0) ++unit;
    if (unit == 4) wrong("unit", text);
    const unsigned expected_unit = total >= 1000000000000ull ? 3 : total >= 1000000000ull ? 2 : total >= 1000000ull ? 1 : 0;
    if (unit != expected_unit) wrong("unit for the total", text);
    // The figure is cut, never rounded: not above the total, and below it by
    // less than a tenth of the unit (plus the bytes below the unit's shift).
    const unsigned shift = 10 * unit;
    const Wide figure = static_cast<Wide>(whole * 10 + tenth) << (shift + 10);
    const Wide ten_total = static_cast<Wide>(total) * 10;
    if (figure > ten_total) wrong("figure above the total", text);
    if (ten_total >= figure + (static_cast<Wide>(1) << (shift + 10)) + (static_cast<Wide>(10) << shift))
        wrong("figure below the total by a tenth or more", text);
    return {unit, whole * 10 + tenth};
}

// Whether every byte of `text` (n bytes) belongs to a well-formed character.
bool is_utf8(const char* text, size_t n)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    char32_t code_point = 0;
    for (size_t at = 0, len = 0; at < n; at += len)
        if ((len = utf8_character(bytes + at, n - at, &code_point)) == 0) return false;
    return true;
}

void check_status_text(const char* rel, size_t n)
{
    char* out = static_cast<char*>(malloc(status_text_size));
    status_text(out, rel, n);
    const size_t len = strnlen(out, status_text_size);
    if (len == status_text_size) wrong("status text not terminated", "");
    if (n < 54 && (len != n || memcmp(out, rel, n) != 0)) wrong("short path not shown whole", out);
    // Both ends kept, each cut at most 3 bytes short of 25 (a character of 4
    // bytes moved out whole), "..." between them; the path may hold "..." too.
    bool ends_kept = n < 54;
    for (size_t head = 22; head <= 25 && !ends_kept; ++head) {
        const size_t tail = len - head - 3;
        ends_kept = len >= head + 3 && tail >= 22 && tail <= 25 && memcmp(out, rel, head) == 0 &&
                    memcmp(out + head, "...", 3) == 0 && memcmp(out + head + 3, rel + n - tail, tail) == 0;
    }
    if (!ends_kept) wrong("status text ends", out);
    if (is_utf8(rel, n) && !is_utf8(out, len)) wrong("a character split", out);
    // Counted in UTF-16 units, as the Windows program counts: a path of up
    // to 3 bytes a unit still fits, and no character is split.
    status_text(out, rel, n, TextUnit::utf16);
    const size_t units_len = strnlen(out, status_text_size);
    if (units_len == status_text_size) wrong("status text in UTF-16 units not terminated", "");
    if (is_utf8(rel, n) && !is_utf8(out, units_len)) wrong("a character split in UTF-16 units", out);
    free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size, 0};
    char thousands[5];
    char decimal[5];
    take_separator(in, thousands, ',');
    take_separator(in, decimal, '.');
    set_number_format(thousands, decimal);

    tally.file_count = static_cast<uint32_t>(in.take(4));
    tally.files_read_only = static_cast<uint32_t>(in.take(1));
    tally.files_system = static_cast<uint32_t>(in.take(1));
    tally.files_hidden = static_cast<uint32_t>(in.take(1));
    tally.folder_count = static_cast<uint32_t>(in.take(4));
    tally.folders_read_only = static_cast<uint32_t>(in.take(1));
    tally.folders_system = static_cast<uint32_t>(in.take(1));
    tally.folders_hidden = static_cast<uint32_t>(in.take(1));
    tally.total_bytes = in.take(8);
    tally.max_rel_depth = static_cast<uint32_t>(in.take(4));
    tally.max_abs_depth = static_cast<uint32_t>(in.take(4));
    tally.max_rel_path = static_cast<uint32_t>(in.take(4));
    tally.max_abs_path = static_cast<uint32_t>(in.take(4));
    const uint64_t growth = in.take(8);

    char* grouped = static_cast<char*>(malloc(grouped_text_size));
    format_grouped(grouped, tally.total_bytes);
    const char* at = grouped;
    if (read_grouped(at, grouped) != tally.total_bytes || *at != '\0') wrong("grouped number", grouped);
    free(grouped);

    char expected_letters[4];
    char* text = build(files_text);
    at = text;
    if (read_grouped(at, text) != tally.file_count) wrong("file count", text);
    letters(expected_letters, tally.files_read_only, tally.files_system, tally.files_hidden);
    if (expected_letters[0] != '\0') {
        expect(at, "  (", text);
        expect(at, expected_letters, text);
        expect(at, ")", text);
    }
    if (*at != '\0') wrong("trailing text", text);
    free(text);

    text = build(folders_text);
    at = text;
    if (read_grouped(at, text) != tally.folder_count) wrong("folder count", text);
    expect(at, "  (", text);
    letters(expected_letters, tally.folders_read_only, tally.folders_system, tally.folders_hidden);
    if (expected_letters[0] != '\0') {
        expect(at, expected_letters, text);
        expect(at, ", ", text);
    }
    expect(at, "depth ", text);
    if (read_decimal(at, text) != tally.max_rel_depth) wrong("relative depth", text);
    expect(at, " / ", text);
    if (read_decimal(at, text) != tally.max_abs_depth) wrong("absolute depth", text);
    expect(at, ")", text);
    if (*at != '\0') wrong("trailing text", text);
    free(text);

    text = build(longest_path_text);
    at = text;
    if (read_decimal(at, text) != tally.max_rel_path) wrong("relative path", text);
    expect(at, " / ", text);
    if (read_decimal(at, text) != tally.max_abs_path) wrong("absolute path", text);
    if (*at != '\0') wrong("trailing text", text);
    free(text);

    text = build(total_size_text);
    const SizeFigure before = read_size_text(text, tally.total_bytes);
    free(text);
    if (tally.total_bytes + growth >= tally.total_bytes) {
        tally.total_bytes += growth;
        text = build(total_size_text);
        const SizeFigure after = read_size_text(text, tally.total_bytes);
        if (after.unit < before.unit || (after.unit == before.unit && after.tenths < before.tenths))
            wrong("the figure fell as the total grew", text);
        free(text);
    }
    // A path holds no zero byte.
    const char* rel = reinterpret_cast<const char*>(data + in.pos);
    check_status_text(rel, in.pos < size ? strnlen(rel, size - in.pos) : 0);
    return 0;
}
