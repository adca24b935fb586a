// Start-up of the window program (heapwise-window, which heapwise starts
// where a display is present).
#pragma once

class MainWindowWidget;

// Counts the paths named after the program's name and Qt's own options
// (less a first "--") from the very start, then brings up Qt, shown only its
// options, and the main window meanwhile. Returns the window, shown and
// ending the application's event loop when it ends; the caller runs that
// loop. The argument list is argv itself. Where no display Qt could start on
// answers, starts nothing and returns null.
MainWindowWidget* start_window_program(int argc, char** argv);

// Takes the first "--" out of the argument list argv[0..argc), moving the
// rest (and the terminating null) down; returns the new count.
int drop_options_end(int argc, char** argv);
