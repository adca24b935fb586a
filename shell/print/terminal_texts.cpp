// The failure line and the result lines, shared by the terminal mode and the
// window program.
#include "shell/print/terminal_texts.h"

#include <algorithm>
#include <cstring>

#include "shell/dialog_templates.h"

void write_visible(FILE* stream, const char* text, size_t len)
{
    for (size_t i = 0; i < len; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        fputc(byte < 0x20 || byte == 0x7F ? '?' : byte, stream);
    }
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
