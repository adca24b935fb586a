// The Windows program's entry: WinMain and the steps of one run, from the
// common controls to the exit code.
#include "shell/win32/winmain.h"

#include <commctrl.h>

#include "core/requests.h"
#include "core/tally.h"
#include "shell/win32/command_line.h"
#include "shell/win32/main_window.h"
#include "text/number_format.h"

namespace {

void free_argument_block(char** args)
{
    HeapFree(GetProcessHeap(), 0, args);
}

// The argument list in one block from the process heap: the table, then the
// texts. Without memory the command-line paths are dropped.
void split_arguments(const char* command_line)
{
    int count = 0;
    const uint32_t size = split_command_line(command_line, &count, nullptr, nullptr);
    auto** table = static_cast<char**>(HeapAlloc(GetProcessHeap(), 0, size));
    if (table == nullptr) {
        store_argument_list(0, nullptr, nullptr);
        return;
    }
    split_command_line(command_line, &count, table, reinterpret_cast<char*>(table + count + 1));
    store_argument_list(count, table, free_argument_block);
}

// The process's command line in UTF-8, the program's own encoding, from its
// UTF-16 original, so that names outside the user's code page arrive whole.
// In a block from the process heap; null without memory.
char* command_line_in_utf8()
{
    const wchar_t* line = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    if (size == 0) return nullptr;
    auto* text = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(size)));
    if (text != nullptr) WideCharToMultiByte(CP_UTF8, 0, line, -1, text, size, nullptr, nullptr);
    return text;
}

}  // namespace

int run_program(HINSTANCE instance, const char* command_line)
{
    instance_handle = instance;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    if (!InitCommonControlsEx(&controls)) return 1;

    tooltip_window = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                     instance, nullptr);
    // Above the main window, which is itself topmost.
    SetWindowPos(tooltip_window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);

    split_arguments(command_line);
    reset_tally();
    load_number_format();

    run_main_window();

    // The lock is never deleted, and the argument list is freed by whichever
    // of this thread and the argument worker lets go of it last: workers may
    // still be running or waiting when the window has ended.
    release_argument_list();
    return 0;
}

// Without memory for the line its paths are dropped, as without memory for
// the argument list. The list holds copies of the texts, so workers still
// running when the window has ended never read the line.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char* line = command_line_in_utf8();
    const int code = run_program(instance, line != nullptr ? line : "");
    if (line != nullptr) HeapFree(GetProcessHeap(), 0, line);
    // Ended here rather than by returning: the C runtime's exit tears down
    // the thread library's state while workers may still walk, and a worker
    // that then takes a lock is aborted. ExitProcess ends the workers first.
    ExitProcess(static_cast<UINT>(code));
}
