// The walkers of one request. The request's own thread is the lead: it walks
// the request's items in order. The others, helpers on threads of their own,
// wait until a walker that has just opened a folder finds one of them idle
// and hands it that folder (its open listing, its path and cursor) instead of
// listing it itself. Nothing waits in a queue, so nothing grows with the
// tree, and no walker ever waits for another while it has a folder to walk.
// When the lead has walked its items it helps with what was handed out; once
// every walker is idle the helpers end and the shares are added up.
#pragma once

#include <cstdint>

#include "core/tally.h"

struct Walker;
struct WalkTeam;

// The most walkers a team can have.
constexpr uint32_t max_walkers = 64;

// Makes a team of `walkers` (1 to max_walkers), its helpers started and
// idle. With fewer threads or less memory than asked the team is smaller;
// null only when not even the lead's state could be had. With `counted_before`
// (the Tally the shares will be added to, which does not change while the
// team walks) the team's running counts are what running_tally reports.
WalkTeam* start_walk_team(uint32_t walkers, const Tally* counted_before = nullptr);

// The walker of the thread that started the team.
Walker* lead_walker(WalkTeam* team);

// Called by the lead once its items are walked: helps until every folder
// handed out is walked, lets the helpers end, adds every walker's share to
// `into` and frees the team.
void finish_walk_team(WalkTeam* team, Tally* into);

// While a team started with its counts before walks: those counts plus what
// its walkers have counted up to the last folder each entered, into *out;
// false otherwise. For showing the counts while a request runs; any thread.
bool running_tally(Tally* out);

// Called by walk_folder as the walker enters a folder: makes its share so
// far what running_tally sees of it.
void publish_share(const Walker* walker);

// Called by walk_folder with the folder's listing just opened at the
// walker's depth (its path `folder_len` bytes, then a separator, up to the
// name slot): hands it to an idle walker of the team, which walks it, and
// returns true; false when the walker has no team, may not share this item,
// or finds nobody idle. Costs one atomic read when nobody is idle.
bool hand_off_folder(Walker* giver, uint32_t folder_len, uint32_t name_slot);
