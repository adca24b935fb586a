// A request's walkers: starting them, handing folders to idle ones, and
// gathering their shares at the end.
#include "core/walk_team.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

#include "core/file_system.h"
#include "core/threads.h"
#include "core/walk.h"

namespace {

// One walker and what the team knows of it.
struct Member {
    Walker walker;
    std::mutex published_mutex;    // held only to copy a share in or out
    Tally published;               // its share as of the last folder it entered
    std::condition_variable wake;  // a folder was handed to it, or the team is done
    bool has_work;                 // a folder waits in its cursor and listings
    uint32_t folder_len;           // of that folder
    uint32_t name_slot;
    WalkerThread* thread;          // null for the lead
};

}  // namespace

struct WalkTeam {
    std::mutex mutex;  // guards everything below but the walkers' own walks
    // Read without the mutex at every folder: whether a hand-off can succeed.
    std::atomic<uint32_t> idle_count{0};
    uint32_t idle[max_walkers];  // indexes of the idle walkers, a stack
    uint32_t busy = 0;           // walkers with something to walk
    bool done = false;
    uint32_t size = 0;
    Member* members = nullptr;
    bool shown;           // whether running_tally reports this team
    Tally counted_before;
};

namespace {

// The team whose running counts are shown, while it walks.
std::mutex shown_team_mutex;
WalkTeam* shown_team = nullptr;

// Caller holds the mutex. The walker at `index` is idle; when it was the
// last busy one, every folder has been walked and the team is done.
void become_idle(WalkTeam* team, uint32_t index)
{
    team->idle[team->idle_count.load(std::memory_order_relaxed)] = index;
    team->idle_count.store(team->idle_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    if (--team->busy != 0) return;
    team->done = true;
    for (uint32_t i = 0; i < team->size; ++i) team->members[i].wake.notify_one();
}

// Walks folders handed to the walker at `index` until the team is done.
void serve(WalkTeam* team, uint32_t index)
{
    Member& self = team->members[index];
    std::unique_lock<std::mutex> hold(team->mutex);
    for (;;) {
        become_idle(team, index);
        self.wake.wait(hold, [&] { return self.has_work || team->done; });
        if (!self.has_work) return;
        self.has_work = false;
        hold.unlock();
        list_folder(&self.walker, self.folder_len, self.name_slot);
        hold.lock();
    }
}

unsigned run_helper(void* raw)
{
    const Walker* walker = static_cast<Walker*>(raw);
    serve(walker->team, walker->place);
    return 0;
}

void free_members(WalkTeam* team)
{
    for (uint32_t i = 0; i < team->size; ++i) free_folder_listings(team->members[i].walker.listings);
    delete[] team->members;
    delete team;
}

}  // namespace

WalkTeam* start_walk_team(uint32_t walkers, const Tally* counted_before)
{
    if (walkers < 1) walkers = 1;
    if (walkers > max_walkers) walkers = max_walkers;
    auto* team = new (std::nothrow) WalkTeam;
    if (team == nullptr) return nullptr;
    team->members = new (std::nothrow) Member[walkers];
    if (team->members == nullptr) {
        delete team;
        return nullptr;
    }
    // The lead is busy from the start, with its items.
    team->busy = 1;
    for (uint32_t i = 0; i < walkers; ++i) {
        Member& member = team->members[i];
        member.walker.share = Tally{};
        member.walker.listings = make_folder_listings();
        member.walker.team = team;
        member.walker.hands_off = false;
        member.walker.place = i;
        member.walker.cursor.depth = 0;
        member.published = Tally{};
        member.has_work = false;
        member.thread = nullptr;
        if (member.walker.listings == nullptr && i > 0) break;
        team->size = i + 1;
        if (i == 0) continue;
        // Busy until it has started and found nothing to do.
        {
            const std::lock_guard<std::mutex> hold(team->mutex);
            ++team->busy;
        }
        member.thread = start_walker_thread(run_helper, &member.walker);
        if (member.thread == nullptr) {
            free_folder_listings(member.walker.listings);
            team->size = i;
            const std::lock_guard<std::mutex> hold(team->mutex);
            --team->busy;
            break;
        }
    }
    team->shown = counted_before != nullptr;
    if (team->shown) {
        team->counted_before = *counted_before;
        const std::lock_guard<std::mutex> hold(shown_team_mutex);
        shown_team = team;
    }
    return team;
}

Walker* lead_walker(WalkTeam* team)
{
    return &team->members[0].walker;
}

void finish_walk_team(WalkTeam* team, Tally* into)
{
    serve(team, 0);
    for (uint32_t i = 1; i < team->size; ++i) join_walker_thread(team->members[i].thread);
    if (team->shown) {
        const std::lock_guard<std::mutex> hold(shown_team_mutex);
        shown_team = nullptr;
    }
    for (uint32_t i = 0; i < team->size; ++i) add_share(into, team->members[i].walker.share);
    free_members(team);
}

bool running_tally(Tally* out)
{
    const std::lock_guard<std::mutex> hold(shown_team_mutex);
    if (shown_team == nullptr) return false;
    *out = shown_team->counted_before;
    for (uint32_t i = 0; i < shown_team->size; ++i) {
        Member& member = shown_team->members[i];
        const std::lock_guard<std::mutex> copying(member.published_mutex);
        add_share(out, member.published);
    }
    return true;
}

void publish_share(const Walker* walker)
{
    WalkTeam* const team = walker->team;
    if (!team->shown) return;
    Member& member = team->members[walker->place];
    const std::lock_guard<std::mutex> copying(member.published_mutex);
    member.published = walker->share;
}

bool hand_off_folder(Walker* giver, uint32_t folder_len, uint32_t name_slot)
{
    WalkTeam* const team = giver->team;
    if (!giver->hands_off || team->idle_count.load(std::memory_order_relaxed) == 0)
        return false;
    const std::lock_guard<std::mutex> hold(team->mutex);
    const uint32_t idle = team->idle_count.load(std::memory_order_relaxed);
    if (idle == 0 || team->done) return false;
    Member& taker = team->members[team->idle[idle - 1]];
    team->idle_count.store(idle - 1, std::memory_order_relaxed);
    ++team->busy;

    const ScanCursor& from = giver->cursor;
    ScanCursor& to = taker.walker.cursor;
    memcpy(to.path, from.path, name_slot + 1);
    to.base_len = from.base_len;
    to.base_units = from.base_units;
    to.base_depth = from.base_depth;
    to.depth = from.depth;
    hand_over_listing(giver->listings, taker.walker.listings, from.depth);
    taker.walker.hands_off = true;
    taker.folder_len = folder_len;
    taker.name_slot = name_slot;
    taker.has_work = true;
    taker.wake.notify_one();
    return true;
}
