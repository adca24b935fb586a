// The process-wide Tally and ScanCursor.
#include "core/tally.h"

Tally tally;
ScanCursor scan_cursor;

void reset_tally()
{
    tally = Tally{};
    scan_cursor.base_len = 0;
    scan_cursor.base_depth = 0;
    scan_cursor.depth = 0;
}
