// The Windows program's main window (dialog 2000): its dialog procedure, its
// tooltips, and the process-wide handles start-up stores for it.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

// Stored by start-up before the window is created; read-only afterwards.
extern HINSTANCE instance_handle;
extern HWND tooltip_window;

// The main window while it exists, null before and after.
extern std::atomic<HWND> main_window_handle;

// The dialog procedure of the main window. The window stores itself as the
// window the core writes to when it is created and empties that value when
// it is destroyed.
INT_PTR CALLBACK main_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers control `control` of the main window with the tooltip window,
// showing `text` (which must live as long as the window).
void add_tooltip(int control, const char* text);

// Runs the main window as a modal dialog on the calling thread until it ends.
void run_main_window();
