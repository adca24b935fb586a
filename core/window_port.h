// The window as the core sees it: a process-wide port, empty until a shell
// stores one, through which workers set a control's text and enable or
// disable a control.
#pragma once

// A shell's window. Both calls are synchronous: they return once the window
// has done what was asked, whichever thread they are made from. The window's
// own thread must never wait for scan_lock while serving them.
struct WindowPort {
    void* handle;
    void (*set_text)(void* handle, int control, const char* text);
    void (*set_enabled)(void* handle, int control, bool enabled);
};

// Stores the window the core writes to; null empties it again, after which
// writes have no effect. The record must outlive every write made through it.
void store_window_port(const WindowPort* port);

// Writes to the stored window; without one they do nothing.
void set_control_text(int control, const char* text);
void enable_control(int control, bool enabled);
