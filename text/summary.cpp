// The result texts of the four fields, and the status line's texts.
#include "text/summary.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/tally.h"
#include "text/number_format.h"
#include "text/utf8.h"

namespace {

// The length of the character `text` (n bytes) begins with: a UTF-8
// character's, or 1 for a byte that is not UTF-8 (a Latin-1 name's), which
// is cut like any other.
size_t character_length(const char* text, size_t n)
{
    char32_t code_point = 0;
    const size_t len = utf8_character(reinterpret_cast<const unsigned char*>(text), n, &code_point);
    return len != 0 ? len : 1;
}

// What a character of `len` bytes counts for in `unit`: in UTF-16, one code
// unit, or two (a surrogate pair) past the first plane.
size_t units_of(size_t len, TextUnit unit)
{
    return unit == TextUnit::bytes ? len : len == 4 ? 2 : 1;
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

void status_text(char* out, const char* rel, size_t n, TextUnit unit)
{
    constexpr size_t kept = 25;
    size_t total = 0;
    for (size_t at = 0; at < n;) {
        const size_t len = character_length(rel + at, n - at);
        total += units_of(len, unit);
        at += len;
    }
    if (total < 2 * kept + 4) {
        memcpy(out, rel, n);
        out[n] = '\0';
        return;
    }
    // The head keeps whole characters up to `kept` units; the tail starts at
    // the first character after which no more than `kept` units remain.
    size_t head = 0, tail = n, counted = 0, head_units = 0;
    for (size_t at = 0; at < n;) {
        const size_t len = character_length(rel + at, n - at);
        const size_t units = units_of(len, unit);
        if (head == at && head_units + units <= kept) {
            head += len;
            head_units += units;
        }
        if (counted >= total - kept) {
            tail = at;
            break;
        }
        counted += units;
        at += len;
    }
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
