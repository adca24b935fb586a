// The accumulated statistics (Tally), one process-wide record used by workers
// under scan_lock, and the position of a walk in progress (ScanCursor), which
// each walking thread has of its own.
#pragma once

#include <cstdint>

// Everything the window reports. Accumulates over scan requests until Reset.
// Attribute counters count items: a hidden read-only file adds to both. Each
// walker of a request counts into a Tally of its own, its share, which is
// added to the accumulated one when the request ends.
struct Tally {
    uint32_t file_count;
    uint32_t files_read_only;
    uint32_t files_system;
    uint32_t files_hidden;
    uint32_t folder_count;
    uint32_t folders_read_only;
    uint32_t folders_system;
    uint32_t folders_hidden;
    uint64_t total_bytes;
    uint32_t max_rel_depth;  // a dropped folder is level 1
    uint32_t max_abs_depth;  // relative level plus base_depth
    uint32_t max_rel_path;   // path length minus the top-level item's
    uint32_t max_abs_path;   // whole path, in path_length's unit
};

// Capacity of a walker's path buffer, terminator included.
constexpr uint32_t path_capacity = 4096;

// Scratch state of one walker: the path being examined, appended to and cut
// in place, and what relates it to the top-level item it came from.
struct ScanCursor {
    char path[path_capacity];
    uint32_t base_len;    // length of the top-level item's path, in bytes
    uint32_t base_units;  // the same in path_length's unit (core/file_system.h)
    uint32_t base_depth;  // separators in the top-level item's path
    uint32_t depth;       // level of the folder being walked; 0 outside any
};

extern Tally tally;

// Zeroes every field of the accumulated Tally. Runs at start-up and on Reset,
// never while a worker uses the Tally (workers keep Reset disabled while they
// do).
void reset_tally();

// Raises `maximum` to `value` where that is larger.
inline void raise(uint32_t& maximum, uint32_t value)
{
    if (value > maximum) maximum = value;
}

// Adds a walker's share into `into`: the counts add up, the maxima rise to
// the larger of the two.
void add_share(Tally* into, const Tally& share);
