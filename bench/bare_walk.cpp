// The bare walk: counts each path with scan_item on the calling thread and
// prints the file count and byte sum, for comparison with the full program.
#include <cstdio>
#include <cstring>

#include "core/tally.h"
#include "core/walk.h"

int main(int argc, char** argv)
{
    reset_tally();
    for (int i = 1; i < argc; ++i) {
        const size_t len = strnlen(argv[i], path_capacity - 1);
        memcpy(scan_cursor.path, argv[i], len);
        scan_cursor.path[len] = '\0';
        scan_cursor.depth = 0;
        scan_item();
    }
    printf("%u files, %u folders, %llu bytes\n", tally.file_count, tally.folder_count,
           static_cast<unsigned long long>(tally.total_bytes));
    return 0;
}
