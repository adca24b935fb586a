// The main window's dialog procedure: set-up at creation, the buttons, the
// close box and Escape, drops handed to workers, and the core's events drawn
// as the dialog's controls. The window thread never waits for scan_lock:
// workers write to this window synchronously while holding it, and post their
// progress, which it takes at its own pace.
#include "shell/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

#include "core/drop.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "resources/control_ids.h"
#include "shell/dialog_templates.h"
#include "shell/win32/about_box.h"
#include "text/summary.h"

HINSTANCE instance_handle;
HWND tooltip_window;
std::atomic<HWND> main_window_handle{nullptr};

namespace {

// The core's texts are UTF-8 (paths, separators); the controls take UTF-16.
// Every text written here fits: result texts are built in
// summary_text_size bytes, status texts in fewer.
void set_dialog_text(HWND window, int control, const char* text)
{
    wchar_t wide[summary_text_size];
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, summary_text_size) == 0) return;
    SetDlgItemTextW(window, control, wide);
}

void enable_reset(HWND window, bool enabled)
{
    EnableWindow(GetDlgItem(window, IDC_RESET_BUTTON), enabled ? TRUE : FALSE);
}

// The four result texts for `counts`, each written as soon as it is built,
// in the order files, folders, size, longest path.
void refresh_summary(HWND window, const Tally& counts)
{
    char text[summary_text_size];
    files_text(text, counts);
    set_dialog_text(window, IDC_FILES_FIELD, text);
    folders_text(text, counts);
    set_dialog_text(window, IDC_FOLDERS_FIELD, text);
    total_size_text(text, counts);
    set_dialog_text(window, IDC_SIZE_FIELD, text);
    longest_path_text(text, counts);
    set_dialog_text(window, IDC_PATH_FIELD, text);
}

// The core's events, each carried out on the thread that tells it: a
// request's start and end on its worker, whose calls into the window are
// synchronous, so Reset is disabled before the Tally is touched and enabled
// after its last use.
void request_started(void* window)
{
    enable_reset(static_cast<HWND>(window), false);
}

// What could not be read is not reported here: the status line says "Ready".
void request_finished(void* window, const Tally& counts, uint32_t)
{
    const auto dialog = static_cast<HWND>(window);
    set_dialog_text(dialog, IDC_STATUS_LINE, "Ready");
    refresh_summary(dialog, counts);
    enable_reset(dialog, true);
}

// On the window thread, from Reset; the status line is not touched.
void counts_reset(void* window, const Tally& counts)
{
    refresh_summary(static_cast<HWND>(window), counts);
}

// Progress was posted: take it (and the timer that looks again).
constexpr UINT progress_message = WM_APP + 1;
constexpr UINT_PTR progress_timer = 1;

// Wakes the window thread and returns at once.
void progress_waiting(void* window)
{
    PostMessageA(static_cast<HWND>(window), progress_message, 0, 0);
}

// Shows the latest progress, then looks again after the interval while there
// is more.
void look_at_progress(HWND window)
{
    char rel[progress_text_size];
    if (!take_progress(rel)) {
        KillTimer(window, progress_timer);
        return;
    }
    // Cut by the characters Windows counts, as Max Path is.
    char text[status_text_size];
    status_text(text, rel, strlen(rel), TextUnit::utf16);
    set_dialog_text(window, IDC_STATUS_LINE, text);
    SetTimer(window, progress_timer, progress_interval_ms, nullptr);
}

// The window as the core's listener; its handle is set at creation.
ScanEvents window_events = {nullptr, request_started, progress_waiting, request_finished, counts_reset, false};

void place_on_top(HWND window, bool on_top)
{
    SetWindowPos(window, on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

// Registers control `control` of the main window with the tooltip window,
// showing `text` (which must live as long as the window).
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

void create_window(HWND window)
{
    main_window_handle.store(window, std::memory_order_release);
    window_events.shell = window;
    store_scan_events(&window_events);

    for (const Tooltip& tooltip : main_window_tooltips) add_tooltip(tooltip.control, tooltip.text);

    CheckDlgButton(window, IDC_ON_TOP_CHECK, BST_CHECKED);
    place_on_top(window, true);
    refresh_summary(window, tally);
    if (argument_list.count > 1) start_argument_request();
    DragAcceptFiles(window, TRUE);
}

INT_PTR command(HWND window, int id)
{
    switch (id) {
    case IDC_RESET_BUTTON:
        // Enabled only while no worker uses the Tally.
        reset_counts();
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
        store_scan_events(nullptr);
        main_window_handle.store(nullptr, std::memory_order_release);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

// A Unicode dialog, so that its fields keep every character of the texts
// written to them whatever the process's code page.
void run_main_window()
{
    DialogBoxParamW(instance_handle, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, main_window_proc, 0);
}
