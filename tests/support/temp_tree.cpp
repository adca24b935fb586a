// What the tests share on every platform: a Tally as text, and one path
// counted as a worker would count it.
#include "tests/support/temp_tree.h"

#include <cstring>
#include <sstream>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "core/walk_team.h"

std::string describe(const Tally& t)
{
    std::ostringstream out;
    out << "files " << t.file_count << " (R" << t.files_read_only << " S" << t.files_system << " H" << t.files_hidden
        << ") folders " << t.folder_count << " (R" << t.folders_read_only << " S" << t.folders_system << " H"
        << t.folders_hidden << ") bytes " << t.total_bytes << " depth " << t.max_rel_depth << "/" << t.max_abs_depth
        << " path " << t.max_rel_path << "/" << t.max_abs_path;
    return out.str();
}

unsigned walkers_in_tests = 1;

void scan_path(const std::string& path, unsigned walkers)
{
    WalkTeam* team = start_walk_team(WalkerCounts{walkers, walkers, walkers});
    ASSERT_NE(team, nullptr);
    count_path(team, path.c_str());
    finish_walk_team(team, &tally);
}

std::string TempTree::folder_chain(const std::string& name, int levels)
{
    std::string chain;
    for (int level = 0; level < levels; ++level) {
        chain += chain.empty() ? name : "/" + name;
        folder(chain);
    }
    return chain;
}

void TempTree::bushy(int folders)
{
    for (int i = 0; i < folders; ++i) {
        const std::string top = "f" + std::to_string(i);
        folder(top);
        for (int j = 0; j < 8; ++j) {
            const std::string below = top + "/s" + std::to_string(j);
            folder(below);
            for (int k = 0; k < 6; ++k) file(below + "/x" + std::to_string(k), 1);
        }
    }
}
