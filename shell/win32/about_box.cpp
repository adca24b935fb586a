// The About box's dialog procedure: OK, Escape and the close box close it;
// the address button opens the maker's page and leaves the box open.
#include "shell/win32/about_box.h"

#include <shellapi.h>

#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/win32/main_window.h"

namespace {

INT_PTR CALLBACK about_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // The dialog manager would start on the first button, the address,
        // and Enter would open the browser: Enter closes the box instead.
        SetFocus(GetDlgItem(window, IDOK));
        return FALSE;
    case WM_CLOSE:
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(window, 0);
            return TRUE;
        case IDC_ADDRESS_BUTTON:
            // Shown normally: a browser started hidden would never show the page.
            ShellExecuteA(nullptr, "open", HEAPWISE_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

void run_about_box(HWND owner)
{
    DialogBoxParamA(instance_handle, MAKEINTRESOURCEA(IDD_ABOUT_BOX), owner, about_window_proc, 0);
}
