// heapwise.exe as it starts on PATH..., quitting as soon as the count of those
// paths has ended: timed from start to exit, it gives the time from start to
// "Ready" with the dialog open. With --no-window first, the same request runs
// on its worker with no window at all, for comparison.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "resources/control_ids.h"
#include "shell/win32/main_window.h"
#include "shell/win32/winmain.h"
#include "text/number_format.h"

namespace {

DWORD WINAPI quit_when_counted(LPVOID)
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
    PostMessageA(window, WM_COMMAND, IDC_QUIT_BUTTON, 0);
    return 0;
}

int count_without_window(int argc, char** argv)
{
    reset_tally();
    load_number_format();
    init_scan_lock();
    store_argument_list(argc, argv, nullptr);
    start_argument_request();
    wait_for_workers();
    printf("%u files, %u folders\n", tally.file_count, tally.folder_count);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--no-window") == 0) return count_without_window(argc - 1, argv + 1);
    CloseHandle(CreateThread(nullptr, 0, quit_when_counted, nullptr, 0, nullptr));
    return run_program(GetModuleHandleA(nullptr), GetCommandLineA());
}
