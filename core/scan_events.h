// What the core tells a shell about its scans: a request started, a progress
// text waits, a request finished with its counts, the counts were reset. A
// process-wide listener, empty until a shell stores one; the core knows no
// window, and each shell draws these events its own way.
#pragma once

#include <cstdint>

#include "core/tally.h"

// A shell's listener. A handler left null is an event the shell has no use for.
//
// request_started and request_finished are called on the request's worker,
// which holds scan_lock, and are synchronous: they return once the shell has
// done what they ask. That is what keeps Reset sound: a shell that offers
// Reset disables it in request_started, before the request first touches the
// Tally, and enables it in request_finished, after its last use. A shell's
// own thread must therefore never wait for scan_lock while serving them.
// request_finished is given the Tally, the request's counts added, and how
// many items the request could not read.
//
// progress_waiting asks the shell to call take_progress soon and returns at
// once; it must never wait for the shell.
//
// counts_reset is called by reset_counts, on the thread that called it, with
// the zeroed Tally.
//
// shows_running_counts: whether the shell shows running_tally while a
// request walks (core/walk_team.h); the walkers publish their counts as they
// go only for such a shell.
struct ScanEvents {
    void* shell;
    void (*request_started)(void* shell);
    void (*progress_waiting)(void* shell);
    void (*request_finished)(void* shell, const Tally& counts, uint32_t unreadable);
    void (*counts_reset)(void* shell, const Tally& counts);
    bool shows_running_counts;
};

// Stores the listener; null empties it again, after which events go nowhere.
// The record must outlive every event told through it. Progress not yet
// taken is dropped.
void store_scan_events(const ScanEvents* events);

// Told by the requests, on their workers.
void tell_request_started();
void tell_request_finished(const Tally& counts, uint32_t unreadable);
bool running_counts_shown();

// Zeroes the Tally and tells the shell. Only while no request uses the Tally:
// a shell calls it for its Reset, which it offers only between requests.
void reset_counts();

// Progress: the path of the folder being entered, relative to the top-level
// item, kept in one slot where the latest wins. Walkers post into it for every
// folder they enter without waiting for anything but the slot; the shell
// takes it when woken and then looks again no sooner than
// progress_interval_ms later, so the status line is redrawn at a pace a
// person can read, however fast folders are entered. The shell shortens it
// for its status line (text/summary.h: status_text), so the walk does no more
// than copy it.
constexpr uint32_t progress_text_size = path_capacity;
constexpr int progress_interval_ms = 33;

// Makes the `len` bytes at `rel` (fewer than progress_text_size) the slot's
// text and wakes the shell unless it is already going to look.
void post_progress(const char* rel, uint32_t len);

// On the shell's thread: copies the text posted since the last take into
// `out` (progress_text_size bytes), zero-terminated, and returns true. The
// caller shows it, and calls again after progress_interval_ms. Returns false
// when nothing new was posted; then the next post wakes the shell again.
bool take_progress(char* out);

// Drops a text not yet taken: called before a request tells that it
// finished, so that no progress of that request can land after its end.
void withdraw_progress();
