// The main window's dialog procedure: set-up at creation, the buttons, the
// close box and Escape, and drops handed to workers. The window thread never
// waits for scan_lock: workers write to this window synchronously while
// holding it, and post their progress, which it takes at its own pace.
#include "shell/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "core/drop.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/window_port.h"
#include "resources/control_ids.h"
#include "shell/dialog_templates.h"
#include "shell/win32/about_box.h"
#include "text/summary.h"

HINSTANCE instance_handle;
HWND tooltip_window;
std::atomic<HWND> main_window_handle{nullptr};

namespace {

// The core's texts are UTF-8 (paths, separators); the controls take UTF-16.
// Every text the core writes fits: result texts are built in
// summary_text_size bytes, status texts in fewer.
void set_dialog_text(void* window, int control, const char* text)
{
    wchar_t wide[summary_text_size];
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, summary_text_size) == 0) return;
    SetDlgItemTextW(static_cast<HWND>(window), control, wide);
}

void set_dialog_enabled(void* window, int control, bool enabled)
{
    EnableWindow(GetDlgItem(static_cast<HWND>(window), control), enabled ? TRUE : FALSE);
}

// Progress was posted: take it (and the timer that looks again).
constexpr UINT progress_message = WM_APP + 1;
constexpr UINT_PTR progress_timer = 1;

// Wakes the window thread and returns at once.
void progress_posted(void* window)
{
    PostMessageA(static_cast<HWND>(window), progress_message, 0, 0);
}

// Shows the latest progress, then looks again after the interval while there
// is more.
void look_at_progress(HWND window)
{
    char text[progress_text_size];
    if (!take_progress(text)) {
        KillTimer(window, progress_timer);
        return;
    }
    set_dialog_text(window, IDC_STATUS_LINE, text);
    SetTimer(window, progress_timer, progress_interval_ms, nullptr);
}

// The window as the core writes to it; its handle is set at creation.
WindowPort window_record = {nullptr, set_dialog_text, set_dialog_enabled, progress_posted};

void place_on_top(HWND window, bool on_top)
{
    SetWindowPos(window, on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void create_window(HWND window)
{
    main_window_handle.store(window, std::memory_order_release);
    window_record.handle = window;
    store_window_port(&window_record);

    for (const Tooltip& tooltip : main_window_tooltips) add_tooltip(tooltip.control, tooltip.text);

    CheckDlgButton(window, IDC_ON_TOP_CHECK, BST_CHECKED);
    place_on_top(window, true);
    refresh_summary();
    if (argument_list.count > 1) start_argument_request();
    DragAcceptFiles(window, TRUE);
}

INT_PTR command(HWND window, int id)
{
    switch (id) {
    case IDC_RESET_BUTTON:
        // Enabled only while no worker uses the Tally; the status line stays.
        reset_tally();
        refresh_summary();
        return TRUE;
    case IDC_QUIT_BUTTON:
    case IDCANCEL:
        EndDialog(window, 0);
        return TRUE;
    case IDC_ABOUT_BUTTON:
        run_about_box(window);
        return TRUE;
    case IDC_ON_TOP_CHECK:
        place_on_top(window, IsDlgButtonChecked(window, IDC_ON_TOP_CHECK) == BST_CHECKED);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void add_tooltip(int control, const char* text)
{
    const HWND window = main_window_handle.load(std::memory_order_acquire);
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, control));
    tool.hinst = instance_handle;
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(tooltip_window, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

INT_PTR CALLBACK main_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        create_window(window);
        return TRUE;
    case WM_CLOSE:
        PostMessageA(window, WM_COMMAND, IDC_QUIT_BUTTON, 0);
        return TRUE;
    case WM_COMMAND:
        return command(window, LOWORD(wParam));
    case progress_message:
        look_at_progress(window);
        return TRUE;
    case WM_TIMER:
        if (wParam != progress_timer) return FALSE;
        look_at_progress(window);
        return TRUE;
    case WM_DROPFILES:
        start_drop_request(reinterpret_cast<Drop*>(wParam));
        return FALSE;
    case WM_DESTROY:
        // Workers that are still running or waiting then write nowhere.
        store_window_port(nullptr);
        main_window_handle.store(nullptr, std::memory_order_release);
        return FALSE;
    default:
        return FALSE;
    }
}

// A Unicode dialog, so that its fields keep every character of the texts
// written to them whatever the process's code page.
void run_main_window()
{
    DialogBoxParamW(instance_handle, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, main_window_proc, 0);
}
