// Counting one top-level item into the Tally: scan_item, walk_folder and the
// status text of the folder being entered.
//
// A scan runs on a worker holding scan_lock and works in place on the one
// ScanCursor path buffer:
//
//   worker:      places the item's path in scan_cursor.path, depth 0
//   scan_item:   records base_len and base_depth, raises max_abs_path, asks
//                for the item's attributes; a file is counted on the spot, a
//                folder has its attribute counters raised and is walked
//   walk_folder: counts the folder at entry (so one that cannot be listed
//                still counts), posts its relative path as progress,
//                raises the depth and path maxima, appends a separator, and
//                for each listed entry writes the name after that separator
//                (the name slot), asks for its attributes and counts it as a
//                file or walks it as a folder
//   on leaving:  the path is cut back to the folder's path and separator,
//                and depth is restored
//
// Skipped without counting: an item or entry whose attributes cannot be read,
// "." and "..", an entry whose path would not fit the buffer, and everything
// below a folder that cannot be listed (or that loops back to a folder above
// it). Each skip is passed to the failure report, which only the terminal
// mode fills in.
#pragma once

#include <cstdint>

// Precondition: scan_cursor.path holds the item's path, zero-terminated, and
// scan_cursor.depth is 0. Afterwards the item and everything below it are
// counted, depth is 0 again and the path text is unspecified.
void scan_item();

// Precondition: the path holds a folder's path, the folder's attribute
// counters are already raised. Afterwards the folder and everything below it
// are counted, depth is as on entry, and the path holds the folder's path
// followed by one separator.
void walk_folder();

// Posts the path of the folder being entered, relative to the top-level item
// and shortened to 25 bytes, "..." and 25 bytes when it has 54 bytes or more,
// as the status line's progress: the window shows the latest one at its own
// pace, and the walk never waits for it. Cuts fall between characters where
// paths are UTF-8.
void show_progress();

// The status text for `rel` (n bytes) as show_progress builds it, into `out`
// (56 bytes). `whole_characters`: move each cut back to a character boundary.
void shorten_status_text(char* out, const char* rel, uint32_t n, bool whole_characters);
