// The --help text, laid out from the entries of usage.h.
#include "shell/print/usage.h"

#include <algorithm>
#include <cstring>

namespace {

// Fits a terminal of 80 columns without wrapping there.
constexpr size_t line_width = 79;

// Writes `text` with the cursor at `column`, which is `indent` or more,
// breaking between words so that no line is wider than line_width; lines after
// the first start at `indent`. Ends the last line.
void write_wrapped(FILE* stream, const char* text, size_t column, size_t indent)
{
    bool line_has_word = false;
    while (*text != '\0') {
        const size_t len = strcspn(text, " ");
        if (line_has_word && column + 1 + len > line_width) {
            fprintf(stream, "\n%*s", static_cast<int>(indent), "");
            column = indent;
            line_has_word = false;
        }
        if (line_has_word) {
            fputc(' ', stream);
            ++column;
        }
        fwrite(text, 1, len, stream);
        column += len;
        line_has_word = true;
        text += len;
        text += strspn(text, " ");
    }
    fputc('\n', stream);
}

// A heading and its entries, the texts lined up two columns after the widest term.
template <size_t count>
void write_table(FILE* stream, const char* heading, const UsageEntry (&entries)[count])
{
    size_t term_width = 0;
    for (const UsageEntry& entry : entries) term_width = std::max(term_width, strlen(entry.term));
    fprintf(stream, "\n%s\n", heading);
    for (const UsageEntry& entry : entries) {
        fprintf(stream, "  %-*s  ", static_cast<int>(term_width), entry.term);
        write_wrapped(stream, entry.text, term_width + 4, term_width + 4);
    }
}

}  // namespace

void write_usage(FILE* stream)
{
    const char* lead = "Usage: ";
    for (const char* form : usage_forms) {
        fprintf(stream, "%sheapwise %s\n", lead, form);
        lead = "  or:  ";
    }
    for (const char* paragraph : usage_description) {
        fputc('\n', stream);
        write_wrapped(stream, paragraph, 0, 0);
    }
    write_table(stream, "Options:", usage_options);
    write_table(stream, "Exit status:", usage_exit_codes);
}
