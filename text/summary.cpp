// The result texts of the four fields, and the status line's texts.
#include "text/summary.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/tally.h"
#include "text/number_format.h"
#include "text/utf8.h"

namespace {

// Where a cut at `at` falls inside a well-formed UTF-8 character of `text`
// (n bytes), the start of that character, its length in *length; otherwise
// `at`, and 0.
size_t character_around(const char* text, size_t n, size_t at, size_t* length)
{
    *length = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t back = 1; back <= 3 && back <= at; ++back) {
        if ((bytes[at - back] & 0xC0) == 0x80) continue;  // a continuation byte
        char32_t code_point = 0;
        const size_t len = utf8_character(bytes + at - back, n - (at - back), &code_point);
        if (len <= back) return at;
        *length = len;
        return at - back;
    }
    return at;
}

const char* letter(uint32_t counter, const char* text)
{
    return counter != 0 ? text : "";
}

// Appends to the text already in `out`.
__attribute__((format(printf, 2, 3))) void append(char* out, const char* format, ...)
{
    const size_t used = strlen(out);
    va_list values;
    va_start(values, format);
    vsnprintf(out + used, summary_text_size - used, format, values);
    va_end(values);
}

}  // namespace

void files_text(char* out, const Tally& from)
{
    format_grouped(out, from.file_count);
    if (from.files_read_only != 0 || from.files_system != 0 || from.files_hidden != 0)
        append(out, "  (%s%s%s)", letter(from.files_read_only, "R"), letter(from.files_system, "S"),
               letter(from.files_hidden, "H"));
}

void folders_text(char* out, const Tally& from)
{
    format_grouped(out, from.folder_count);
    append(out, "  (");
    if (from.folders_read_only != 0 || from.folders_system != 0 || from.folders_hidden != 0)
        append(out, "%s%s%s, ", letter(from.folders_read_only, "R"), letter(from.folders_system, "S"),
               letter(from.folders_hidden, "H"));
    append(out, "depth %u / %u)", from.max_rel_depth, from.max_abs_depth);
}

void size_unit_text(char* out, uint64_t total_bytes)
{
    // Decimal thresholds, binary divisions: one million bytes read 0.9 MB.
    unsigned shift = 0;
    const char* unit = "KB";
    if (total_bytes >= 1000000000000ull) {
        shift = 30;
        unit = "TB";
    } else if (total_bytes >= 1000000000ull) {
        shift = 20;
        unit = "GB";
    } else if (total_bytes >= 1000000ull) {
        shift = 10;
        unit = "MB";
    }
    // 64-bit throughout, so the largest totals keep their true figure.
    const uint64_t scaled = total_bytes >> shift;
    const unsigned long long whole = scaled >> 10;
    const unsigned tenth = static_cast<unsigned>(((scaled * 10) >> 10) % 10);
    snprintf(out, 40, "  (%llu%s%u %s)", whole, number_format.decimal, tenth, unit);
}

void total_size_text(char* out, const Tally& from)
{
    format_grouped(out, from.total_bytes);
    append(out, " bytes");
    size_unit_text(out + strlen(out), from.total_bytes);
}

void longest_path_text(char* out, const Tally& from)
{
    snprintf(out, summary_text_size, "%u / %u", from.max_rel_path, from.max_abs_path);
}

void status_text(char* out, const char* rel, size_t n)
{
    constexpr size_t kept = 25;
    if (n < 2 * kept + 4) {
        memcpy(out, rel, n);
        out[n] = '\0';
        return;
    }
    size_t length = 0;
    const size_t head = character_around(rel, n, kept, &length);
    const size_t start = character_around(rel, n, n - kept, &length);
    const size_t tail = length != 0 ? start + length : n - kept;
    char* end = out;
    memcpy(end, rel, head);
    end += head;
    memcpy(end, "...", 3);
    end += 3;
    memcpy(end, rel + tail, n - tail);
    end[n - tail] = '\0';
}

void ready_text(char* out, uint32_t unreadable)
{
    if (unreadable == 0) {
        snprintf(out, summary_text_size, "Ready");
        return;
    }
    char count[grouped_text_size];
    format_grouped(count, unreadable);
    snprintf(out, summary_text_size, "Ready - %s %s could not be read", count, unreadable == 1 ? "item" : "items");
}
