// The About box (dialog 2001): the program's name, version and maker, and a
// button that opens the maker's web page.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Runs the About box modally over `owner` until it is closed.
void run_about_box(HWND owner);
