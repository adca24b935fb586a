// The bare walk: counts each path on the calling thread, one walker and no
// worker, lock or window, and prints the file count and byte sum, for
// comparison with the full program.
#include <cstdio>

#include "core/tally.h"
#include "core/walk_team.h"

int main(int argc, char** argv)
{
    reset_tally();
    WalkTeam* team = start_walk_team(WalkerCounts{1, 1, 1});
    for (int i = 1; i < argc; ++i) count_path(team, argv[i]);
    finish_walk_team(team, &tally);
    printf("%u files, %u folders, %llu bytes\n", tally.file_count, tally.folder_count,
           static_cast<unsigned long long>(tally.total_bytes));
    return team != nullptr ? 0 : 1;
}
