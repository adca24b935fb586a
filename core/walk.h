// Counting one top-level item: scan_item, walk_folder and the status text of
// the folder being entered, done by a Walker, the state of one walking thread.
//
// A request's walkers (core/walk_team.h) each work in place on their own
// ScanCursor path buffer and count into their own share of the Tally:
//
//   lead walker: places the item's path in its cursor, depth 0
//   scan_item:   records base_len and base_depth, raises max_abs_path, asks
//                for the item's attributes; a file is counted on the spot, a
//                folder has its attribute counters raised and is walked
//   walk_folder: counts the folder at entry (so one that cannot be listed
//                still counts), posts its relative path as progress, raises
//                the depth and path maxima, appends a separator and opens
//                the folder's listing (short of descriptors, it gives back
//                those it holds above and asks again); then either hands the
//                open listing to an idle walker, with a copy of the path and
//                cursor, or lists it itself: for each entry it writes the
//                name after that separator (the name slot), asks for its
//                attributes and counts it as a file or walks it as a folder,
//                and while walkers are idle hands them shares of the entries
//                it has read and not yet looked at
//   on leaving:  the path is cut back to the folder's path and separator,
//                and depth is restored
//
// Skipped without counting: an item or entry whose attributes cannot be read,
// "." and "..", an entry whose path would not fit the buffer, and everything
// below a folder that cannot be listed (or that loops back to a folder above
// it). Each skip is passed to the failure report, which only the terminal
// mode fills in. Which walker counts what is all the hand-offs change: the
// shares add up to what one walker alone would count.
#pragma once

#include <cstdint>

#include "core/file_system.h"
#include "core/tally.h"

struct WalkTeam;

// Everything a walk in progress reads and writes, apart from the file system
// and the window: passed to each function of the walk, used by one thread.
struct Walker {
    ScanCursor cursor;
    Tally share;                // what this walker counted in this request
    FolderListings* listings;   // its listing levels
    WalkTeam* team;             // the walkers it may hand folders to
    uint32_t sharing;           // how many walkers the item being walked suits
    uint32_t place;             // its place in the team
    ItemAttributes entry;       // the entry being looked at
};

// Precondition: walker->cursor.path holds the item's path, zero-terminated,
// and cursor.depth is 0. Afterwards the item and everything below it are
// counted or handed to other walkers, depth is 0 again and the path text is
// unspecified.
void scan_item(Walker* walker);

// Lists a folder whose listing is open at the cursor's depth, the path
// holding the folder's path (`folder_len` bytes) and a separator up to the
// name slot; walks what it holds, then closes the listing and restores depth
// to one less. The second half of the walk of a folder, and what a walker
// does with a folder, or a share of one's entries, handed to it.
void list_folder(Walker* walker, uint32_t folder_len, uint32_t name_slot);
