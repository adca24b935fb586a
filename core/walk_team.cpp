// A request's walkers: starting them, handing folders and shares of large
// folders to idle ones, and gathering their shares at the end.
#include "core/walk_team.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

#include "core/failure_report.h"
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
    bool ready;                    // has been idle once: it can be handed work
    uint32_t folder_len;           // of that folder
    uint32_t name_slot;
    WalkerThread* thread;          // null for the lead
};

}  // namespace

struct WalkTeam {
    std::mutex mutex;  // guards everything below but the walkers' own walks
    std::condition_variable ready_wake;  // a helper started is ready
    // Read without the mutex at every folder: whether a hand-off can succeed.
    std::atomic<uint32_t> idle_count{0};
    uint32_t idle[max_walkers];  // indexes of the idle walkers, a stack
    uint32_t busy = 0;           // walkers with something to walk
    bool done = false;
    // Walkers started; raised only by the lead, under this mutex and the
    // shown team's.
    uint32_t size = 0;
    WalkerCounts counts;
    Member* members[max_walkers];
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
    for (uint32_t i = 0; i < team->size; ++i) team->members[i]->wake.notify_one();
}

// Walks folders handed to the walker at `index` until the team is done.
void serve(WalkTeam* team, uint32_t index)
{
    Member& self = *team->members[index];
    std::unique_lock<std::mutex> hold(team->mutex);
    if (!self.ready) {
        self.ready = true;
        team->ready_wake.notify_one();
    }
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

// A walker of the team at `place`, its listings empty; null without memory.
Member* make_member(WalkTeam* team, uint32_t place)
{
    auto* member = new (std::nothrow) Member;
    if (member == nullptr) return nullptr;
    member->walker.share = Tally{};
    member->walker.listings = make_folder_listings();
    member->walker.team = team;
    member->walker.sharing = 1;
    member->walker.place = place;
    member->walker.cursor.depth = 0;
    member->published = Tally{};
    member->has_work = false;
    member->ready = false;
    member->thread = nullptr;
    if (member->walker.listings != nullptr) return member;
    delete member;
    return nullptr;
}

void free_member(Member* member)
{
    free_folder_listings(member->walker.listings);
    delete member;
}

// Starts helpers until the team has `walkers`, or no more can be had, and
// waits until they are ready, so that the item's first folders can be
// shared at once. Called by the lead only.
void grow_team(WalkTeam* team, uint32_t walkers)
{
    const uint32_t had = team->size;
    while (team->size < walkers) {
        const uint32_t place = team->size;
        Member* member = make_member(team, place);
        if (member == nullptr) break;
        team->members[place] = member;
        // Busy until it has started and found nothing to do.
        {
            const std::lock_guard<std::mutex> hold(team->mutex);
            ++team->busy;
        }
        member->thread = start_walker_thread(run_helper, &member->walker);
        if (member->thread == nullptr) {
            {
                const std::lock_guard<std::mutex> hold(team->mutex);
                --team->busy;
            }
            free_member(member);
            break;
        }
        const std::lock_guard<std::mutex> showing(shown_team_mutex);
        const std::lock_guard<std::mutex> hold(team->mutex);
        team->size = place + 1;
    }
    std::unique_lock<std::mutex> hold(team->mutex);
    for (uint32_t i = had; i < team->size; ++i)
        team->ready_wake.wait(hold, [&] { return team->members[i]->ready; });
}

// Caller holds the mutex, and an idle walker's place was found: the walker
// at the top of the idle stack, to be handed what `giver` found.
Member& idle_walker(WalkTeam* team)
{
    return *team->members[team->idle[team->idle_count.load(std::memory_order_relaxed) - 1]];
}

// Caller holds the mutex. The idle walker at the top of the stack was handed
// a listing at `depth`, one of the giver's levels: it takes the giver's path
// up to that level's name slot and cursor, and is woken to list it.
void wake_taker(WalkTeam* team, const Walker* giver, uint32_t depth, uint32_t folder_len, uint32_t name_slot)
{
    Member& taker = idle_walker(team);
    team->idle_count.store(team->idle_count.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
    ++team->busy;
    const ScanCursor& from = giver->cursor;
    ScanCursor& to = taker.walker.cursor;
    memcpy(to.path, from.path, name_slot);
    to.path[name_slot] = '\0';
    to.base_len = from.base_len;
    to.base_units = from.base_units;
    to.base_depth = from.base_depth;
    to.depth = depth;
    taker.walker.sharing = giver->sharing;
    taker.folder_len = folder_len;
    taker.name_slot = name_slot;
    taker.has_work = true;
    taker.wake.notify_one();
}

// Caller holds the mutex: whether `giver` may hand something to an idle walker.
bool may_hand_off(const WalkTeam* team, const Walker* giver)
{
    return team->idle_count.load(std::memory_order_relaxed) != 0 && !team->done && team->busy < giver->sharing;
}

}  // namespace

WalkTeam* start_walk_team(const WalkerCounts& counts, const Tally* counted_before)
{
    auto* team = new (std::nothrow) WalkTeam;
    if (team == nullptr) return nullptr;
    team->counts = counts;
    // The lead is busy from the start, with its items.
    team->busy = 1;
    team->members[0] = make_member(team, 0);
    if (team->members[0] == nullptr) {
        delete team;
        return nullptr;
    }
    team->size = 1;
    team->shown = counted_before != nullptr;
    if (team->shown) {
        team->counted_before = *counted_before;
        const std::lock_guard<std::mutex> hold(shown_team_mutex);
        shown_team = team;
    }
    return team;
}

void count_path(WalkTeam* team, const char* path)
{
    const size_t len = strnlen(path, path_capacity);
    if (len == path_capacity || team == nullptr) {
        report_failure(ScanFailure::cannot_read, path, strlen(path), nullptr,
                       team == nullptr ? out_of_memory_error : path_too_long_error);
        return;
    }
    Walker* lead = &team->members[0]->walker;
    memcpy(lead->cursor.path, path, len + 1);
    lead->cursor.depth = 0;
    scan_item(lead);
}

void finish_walk_team(WalkTeam* team, Tally* into)
{
    if (team == nullptr) return;
    serve(team, 0);
    for (uint32_t i = 1; i < team->size; ++i) join_walker_thread(team->members[i]->thread);
    if (team->shown) {
        const std::lock_guard<std::mutex> hold(shown_team_mutex);
        shown_team = nullptr;
    }
    for (uint32_t i = 0; i < team->size; ++i) {
        add_share(into, team->members[i]->walker.share);
        free_member(team->members[i]);
    }
    delete team;
}

bool running_tally(Tally* out)
{
    const std::lock_guard<std::mutex> hold(shown_team_mutex);
    if (shown_team == nullptr) return false;
    *out = shown_team->counted_before;
    for (uint32_t i = 0; i < shown_team->size; ++i) {
        Member& member = *shown_team->members[i];
        const std::lock_guard<std::mutex> copying(member.published_mutex);
        add_share(out, member.published);
    }
    return true;
}

void publish_share(const Walker* walker)
{
    WalkTeam* const team = walker->team;
    if (!team->shown) return;
    Member& member = *team->members[walker->place];
    const std::lock_guard<std::mutex> copying(member.published_mutex);
    member.published = walker->share;
}

void share_item(Walker* lead, const ItemAttributes& item)
{
    WalkTeam* const team = lead->team;
    const WalkerCounts& counts = team->counts;
    // Asked for one number (--jobs), the team need not ask what the item lies on.
    uint32_t walkers = counts.local;
    if (counts.rotating_disk != walkers || counts.remote != walkers) {
        const Storage storage = storage_of(item);
        walkers = storage == Storage::rotating_disk ? counts.rotating_disk
                  : storage == Storage::remote      ? counts.remote
                                                    : counts.local;
    }
    if (walkers > max_walkers) walkers = max_walkers;
    grow_team(team, walkers);
    lead->sharing = walkers < team->size ? walkers : team->size;
}

bool hand_off_folder(Walker* giver, uint32_t folder_len, uint32_t name_slot)
{
    WalkTeam* const team = giver->team;
    if (giver->sharing < 2 || team->idle_count.load(std::memory_order_relaxed) == 0) return false;
    // Handing on the one folder left to walk would only make the giver idle.
    const uint32_t depth = giver->cursor.depth;
    if (depth > 1 && !entries_waiting(giver->listings, depth - 1)) return false;
    const std::lock_guard<std::mutex> hold(team->mutex);
    if (!may_hand_off(team, giver) ||
        !hand_over_listing(giver->listings, idle_walker(team).walker.listings, depth))
        return false;
    wake_taker(team, giver, depth, folder_len, name_slot);
    return true;
}

void hand_off_entries(Walker* giver)
{
    WalkTeam* const team = giver->team;
    if (giver->sharing < 2 || team->idle_count.load(std::memory_order_relaxed) == 0) return;
    const std::lock_guard<std::mutex> hold(team->mutex);
    if (!may_hand_off(team, giver)) return;
    uint32_t name_slot = 0;
    const uint32_t level =
        hand_over_entries(giver->listings, idle_walker(team).walker.listings, giver->cursor.depth,
                          giver->cursor.path, &name_slot);
    // A folder below the top level ends just before its separator.
    if (level != 0) wake_taker(team, giver, level, level == 1 ? giver->cursor.base_len : name_slot - 1, name_slot);
}
