// Start-up and shutdown of the Windows program.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// The whole run: prepares the process-wide state, splits `command_line`
// (UTF-8) into the argument list (argument 0 is the program), runs the main
// window until it ends, and returns the exit code: 0, or 1 when the common
// controls cannot be initialised. WinMain calls it with the process's command
// line, converted from UTF-16.
int run_program(HINSTANCE instance, const char* command_line);
