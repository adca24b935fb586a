// The Windows program's main window (dialog 2000), and the process-wide
// handles start-up stores for it.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

// Stored by start-up before the window is created; read-only afterwards.
extern HINSTANCE instance_handle;
extern HWND tooltip_window;

// The main window while it exists, null before and after.
extern std::atomic<HWND> main_window_handle;

// Runs the main window as a modal dialog on the calling thread until it ends.
// The window makes itself the core's listener when it is created and stops
// listening when it is destroyed.
void run_main_window();
