// How the core's events reach the main window from the threads that tell
// them: each is carried out on the window's thread, a request's start and
// end while its worker waits, progress and running counts at the window's
// own pace; before the first window exists they are kept for it.
#pragma once

class MainWindowWidget;

// Starts counting the argument list's paths before the first window (and Qt
// itself) exists, so the walk overlaps the program's start: the events are
// kept, and the first window shows them when it is made instead of starting
// the request itself. Call at most once, before any window is made.
void count_arguments_before_window();

// Makes the window program's failure report the core's: each item a scan
// could not read is named on standard error as the terminal mode names it.
void report_failures_to_window();

// Makes `window`, being made, the one the events reach, on the thread that
// runs the event loop: it shows what was told before it existed or, when
// nothing was counted early, the Tally, and the argument request is started
// when the argument list names a path. Only one window is reached at a time.
void attach_window(MainWindowWidget* window);

// The window has ended: no event reaches it any more.
void detach_window(MainWindowWidget* window);
