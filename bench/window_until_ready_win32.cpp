// heapwise.exe as it starts on PATH..., ending as soon as the count of those
// paths has ended: timed from start to exit, it gives the time from start to
// "Ready" with the dialog open. With --no-window first, the same request runs
// on its worker with no window at all, for comparison; --jobs N (first, or
// after --no-window) sets the walkers per request.
//
//   window_until_ready_win32 [--no-window] [--jobs N] PATH...
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "resources/control_ids.h"
#include "shell/win32/main_window.h"
#include "shell/win32/winmain.h"
#include "text/number_format.h"

namespace {

DWORD WINAPI end_when_counted(LPVOID)
{
    HWND window;
    while ((window = main_window_handle.load()) == nullptr) Sleep(1);
    // Served only once the window has finished its set-up, which starts the
    // argument request.
    SendMessageA(window, WM_NULL, 0, 0);
    wait_for_workers();
    char status[64] = {};
    GetDlgItemTextA(window, IDC_STATUS_LINE, status, sizeof status);
    printf("%s\n", status);
    fflush(stdout);
    // Ends here rather than through Quit: under Wine without a window manager
    // taking a window down waits two seconds for an answer that never comes.
    ExitProcess(strcmp(status, "Ready") == 0 ? 0 : 1);
}

int count_without_window(int argc, char** argv)
{
    reset_tally();
    load_number_format();
    store_argument_list(argc, argv, nullptr);
    start_argument_request();
    wait_for_workers();
    printf("%u files, %u folders\n", tally.file_count, tally.folder_count);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool window = !(argc > 1 && strcmp(argv[1], "--no-window") == 0);
    int first = window ? 1 : 2;
    if (argc > first + 1 && strcmp(argv[first], "--jobs") == 0) {
        set_walkers_per_request(static_cast<unsigned>(atoi(argv[first + 1])));
        first += 2;
    }
    // The paths, and argument 0 before them, which is not counted.
    if (!window) return count_without_window(argc - first + 1, argv + first - 1);
    CloseHandle(CreateThread(nullptr, 0, end_when_counted, nullptr, 0, nullptr));
    // The program splits its own command line: hand it the paths alone.
    static char line[32768];
    snprintf(line, sizeof line, "heapwise");
    for (int i = first; i < argc; ++i) {
        strncat(line, " \"", sizeof line - strlen(line) - 1);
        strncat(line, argv[i], sizeof line - strlen(line) - 1);
        strncat(line, "\"", sizeof line - strlen(line) - 1);
    }
    return run_program(GetModuleHandleA(nullptr), line);
}
