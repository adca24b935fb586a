// The failure line and the result lines, shared by the terminal mode and the
// window program.
#include "shell/print/terminal_texts.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "shell/dialog_templates.h"
#include "text/utf8.h"

namespace {

// Characters that could move the cursor, change the terminal's state,
// reorder the text around them or hide in it: C0 and C1 controls, DEL, the
// bidirectional marks, embeddings, overrides and isolates, the line and
// paragraph separators (some terminals break the line there) and the
// zero-width no-break space (a byte order mark).
bool steers_the_terminal(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

}  // namespace

// No character takes more than two columns.
size_t write_visible(FILE* stream, const char* text, size_t len, size_t columns)
{
    const size_t limit = columns;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < len;) {
        char32_t c = 0;
        size_t size = utf8_character(bytes + i, len - i, &c);
        const bool shown = size != 0 && !steers_the_terminal(c);
        if (size == 0) size = 1;
        const size_t width = shown && c >= 0x80 ? 2 : 1;
        if (width > columns) break;
        columns -= width;
        if (shown)
            fwrite(bytes + i, 1, size, stream);
        else
            fputc('?', stream);
        i += size;
    }
    return limit - columns;
}

void write_failure_line(ScanFailure failure, const char* path, size_t path_len, const char* name, int error)
{
    flockfile(stderr);
    fputs(failure == ScanFailure::cannot_list ? "heapwise: cannot list folder '" : "heapwise: cannot read '",
          stderr);
    write_visible(stderr, path, path_len);
    if (name != nullptr) write_visible(stderr, name, strlen(name));
    fprintf(stderr, "': %s\n", strerror(error));
    funlockfile(stderr);
}

// The labels are the main window's, in field order.
std::string result_lines(const char* const (&texts)[4])
{
    constexpr size_t label_column = 14;
    std::string lines;
    int field = 0;
    for (const DialogControl& control : main_window_template.controls) {
        if (control.kind != ControlKind::label || field == 4) continue;
        lines += control.text;
        lines.append(label_column - std::min(label_column, strlen(control.text)), ' ');
        lines += texts[field++];
        lines += '\n';
    }
    return lines;
}

std::string in_terminal_encoding(const std::string& utf8)
{
    const locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return utf8;
    const std::string target = std::string(nl_langinfo_l(CODESET, user)) + "//TRANSLIT";
    freelocale(user);
    if (target == "UTF-8//TRANSLIT") return utf8;
    const iconv_t converter = iconv_open(target.c_str(), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return utf8;
    // No character grows when it leaves UTF-8 for an 8-bit set, and a
    // transliteration ('?' included) is short.
    std::string converted(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* out = converted.data();
    size_t out_left = converted.size();
    while (in_left > 0 && iconv(converter, &in, &in_left, &out, &out_left) == static_cast<size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL) break;
        // A character the set cannot show even by likeness: '?', as for names.
        size_t skipped = 1;
        while (skipped < in_left && (static_cast<unsigned char>(in[skipped]) & 0xC0) == 0x80) ++skipped;
        in += skipped;
        in_left -= skipped;
        if (out_left == 0) break;
        *out++ = '?';
        --out_left;
    }
    iconv(converter, nullptr, nullptr, &out, &out_left);
    iconv_close(converter);
    converted.resize(converted.size() - out_left);
    return converted;
}
