// The main window as the core sees it: a process-wide value, empty until a
// shell stores one, through which workers set a control's text and enable or
// disable a control. Also the optional report of what a scan could not read.
#pragma once

#include <cstddef>

// A shell's window. Both calls are synchronous: they return once the window
// has done what was asked, whichever thread they are made from. The window's
// own thread must never wait for scan_lock while serving them.
struct MainWindow {
    void* handle;
    void (*set_text)(void* handle, int control, const char* text);
    void (*set_enabled)(void* handle, int control, bool enabled);
};

// Stores the window the core writes to; null empties it again, after which
// writes have no effect. The record must outlive every write made through it.
void store_main_window(const MainWindow* window);

// Writes to the stored window; without one they do nothing.
void set_control_text(int control, const char* text);
void enable_control(int control, bool enabled);

// What a scan skipped. `path` holds `path_len` bytes of the item or folder
// concerned; `name`, when not null, is an entry of that folder whose own
// path could not be formed or read. `error` is the platform's error number.
enum class ScanFailure { cannot_read, cannot_list };
using FailureReport = void (*)(ScanFailure failure, const char* path, size_t path_len,
                               const char* name, int error);

// The windows report nothing; the terminal mode stores a report here before
// its request starts. Null (the default) reports nothing.
void store_failure_report(FailureReport report);
void report_failure(ScanFailure failure, const char* path, size_t path_len,
                    const char* name, int error);
