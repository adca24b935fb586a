// The bare walk: counts each path with scan_item on the calling thread, one
// walker and no worker, lock or window, and prints the file count and byte
// sum, for comparison with the full program.
#include <cstdio>
#include <cstring>

#include "core/tally.h"
#include "core/walk.h"
#include "core/walk_team.h"

int main(int argc, char** argv)
{
    reset_tally();
    WalkTeam* team = start_walk_team(1);
    if (team == nullptr) return 1;
    Walker* walker = lead_walker(team);
    for (int i = 1; i < argc; ++i) {
        const size_t len = strnlen(argv[i], path_capacity - 1);
        memcpy(walker->cursor.path, argv[i], len);
        walker->cursor.path[len] = '\0';
        walker->cursor.depth = 0;
        scan_item(walker);
    }
    finish_walk_team(team, &tally);
    printf("%u files, %u folders, %llu bytes\n", tally.file_count, tally.folder_count,
           static_cast<unsigned long long>(tally.total_bytes));
    return 0;
}
