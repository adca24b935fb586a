// The walkers of one request. The request's own thread is the lead: it walks
// the request's items in order. The others, helpers on threads of their own,
// wait until a walker that has just opened a folder finds one of them idle
// and hands it that folder (its open listing, its path and cursor) instead of
// listing it itself, or, listing a large folder, hands it a share of the
// entries it has read. Nothing waits in a queue, so nothing grows with the
// tree, and no walker ever waits for another while it has a folder to walk.
// When the lead has walked its items it helps with what was handed out; once
// every walker is idle the helpers end and the shares are added up.
#pragma once

#include <cstdint>

#include "core/tally.h"

struct ItemAttributes;
struct Walker;
struct WalkTeam;

// The most walkers a team can have.
constexpr uint32_t max_walkers = 64;

// How many walkers count an item, by what it lies on (see storage_of in
// core/file_system.h), each from 1 to max_walkers.
struct WalkerCounts {
    uint32_t local;
    uint32_t rotating_disk;
    uint32_t remote;
};

// Makes a team whose walkers count each item, as many as `counts` gives for
// what the item lies on; helpers are started when an item first needs them.
// With fewer threads or less memory than asked an item has fewer walkers.
// Null when not even the lead's state could be had: count_path then counts
// nothing and names each path with the reason. With `counted_before` (the
// Tally the shares will be added to, which does not change while the team
// walks) the team's running counts are what running_tally reports.
WalkTeam* start_walk_team(const WalkerCounts& counts, const Tally* counted_before = nullptr);

// Counts the item at `path` (zero-terminated) with the team: the lead walks
// it, sharing its folders with the team's other walkers. A path that does
// not fit the path buffer is named and skipped (cut, it would name something
// else), as is every path when `team` is null.
void count_path(WalkTeam* team, const char* path);

// Called by the lead once its items are walked: helps until every folder
// handed out is walked, lets the helpers end, adds every walker's share to
// `into` and frees the team. Nothing is added for a null team.
void finish_walk_team(WalkTeam* team, Tally* into);

// While a team started with its counts before walks: those counts plus what
// its walkers have counted up to the last folder each entered, into *out;
// false otherwise. For showing the counts while a request runs; any thread.
bool running_tally(Tally* out);

// Called by walk_folder as the walker enters a folder: makes its share so
// far what running_tally sees of it.
void publish_share(const Walker* walker);

// Called by scan_item for a top-level folder: sets how many walkers may
// share it, starting helpers where the team has fewer.
void share_item(Walker* lead, const ItemAttributes& item);

// Called by walk_folder with the folder's listing just opened at the
// walker's depth (its path `folder_len` bytes, then a separator, up to the
// name slot): hands it to an idle walker of the team, which walks it, and
// returns true; false when the item is the walker's alone, nobody is idle,
// or the walker has nothing else to go on with in the folder above. Costs
// one atomic read when nobody is idle.
bool hand_off_folder(Walker* giver, uint32_t folder_len, uint32_t name_slot);

// Called by list_folder at each entry it looks at: while walkers are idle,
// hands one of them a share of the entries the walker has read and not yet
// looked at, in the shallowest of its folders that has any (see
// hand_over_entries in core/file_system.h), which it queries and walks.
// Costs one atomic read when nobody is idle.
void hand_off_entries(Walker* giver);
