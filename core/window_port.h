// The window as the core sees it: a process-wide port, empty until a shell
// stores one, through which workers write the window's controls, and the
// progress text of the status line, which never makes a worker wait.
#pragma once

#include <cstdint>

// A shell's window.
//
// set_text and set_enabled are synchronous: they return once the window has
// done what was asked, whichever thread they are made from. That is what
// keeps Reset sound: a worker's "disable Reset" has taken effect before it
// first touches the Tally, and its "enable Reset" comes after its last use.
// The window's own thread must therefore never wait for scan_lock while
// serving them.
//
// progress_posted (may be null) asks the window's thread to call
// take_progress soon and returns at once; it must never wait for the window.
struct WindowPort {
    void* handle;
    void (*set_text)(void* handle, int control, const char* text);
    void (*set_enabled)(void* handle, int control, bool enabled);
    void (*progress_posted)(void* handle);
};

// Stores the window the core writes to; null empties it again, after which
// writes have no effect. The record must outlive every write made through it.
// Progress not yet taken is dropped.
void store_window_port(const WindowPort* port);

// Synchronous writes to the stored window; without one they do nothing.
void set_control_text(int control, const char* text);
void enable_control(int control, bool enabled);

// Progress: the status line's text while a scan runs, kept in one slot where
// the latest text wins. Walkers post into it for every folder they enter
// without waiting for anything but the slot; the window's thread takes the
// text when woken and then looks again no sooner than progress_interval_ms
// later, so the status line is redrawn at a pace a person can read, however
// fast folders are entered.
constexpr uint32_t progress_text_size = 56;
constexpr int progress_interval_ms = 33;

// Makes `text` (shorter than progress_text_size) the slot's text and wakes the
// window's thread unless it is already going to look.
void post_progress(const char* text);

// On the window's thread: copies the text posted since the last take into
// `out` (progress_text_size bytes) and returns true. The caller shows it
// before serving any other write of the core, and calls again after
// progress_interval_ms. Returns false when nothing new was posted; then the
// next post wakes the window again.
bool take_progress(char* out);

// Drops a text not yet taken: called before a request writes "Ready", so that
// no progress of that request can land after it.
void withdraw_progress();
