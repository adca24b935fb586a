// Presses a button of another program's window, found by its title, as a
// click would: used by the screenshot script to open the About box.
// Usage: press-button "WINDOW TITLE" CONTROL-ID
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const HWND window = FindWindowA("#32770", argv[1]);
    if (window == nullptr) return 1;
    const HWND button = GetDlgItem(window, atoi(argv[2]));
    if (button == nullptr) return 1;
    PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
}
