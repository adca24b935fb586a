// Drop and argument requests and the worker body that counts them.
#include "core/requests.h"

#include <atomic>
#include <cstring>
#include <new>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/walk_team.h"

ArgumentList argument_list;

enum class RequestKind { drop, arguments };

struct ScanRequest {
    RequestKind kind;
    Drop* drop;
};

namespace {

// Walkers per request: 0 for as many as what each item lies on suits.
std::atomic<unsigned> walkers_asked{0};
// On a local disk, one per processor: even with few processors, a disk
// answers several reads at once; beyond the most, more walkers mostly wait
// for each other.
constexpr unsigned local_walkers_least = 4;
constexpr unsigned local_walkers_most = 16;
// A rotating disk answers best one read at a time: more walkers only make
// its head seek.
constexpr unsigned rotating_disk_walkers = 1;
// Over a network each question waits a round trip, and the server answers
// many at once: enough walkers to keep it busy while each waits. Measured
// on sshfs with 1 ms of latency each way (the benchmark's share round), 32
// walkers took less than half the time 4 did; 16 to 64 took about the same
// there, with the server on the same two processors, and a server of its
// own answers more at once.
constexpr unsigned remote_walkers = 32;

// An explicit number wins everywhere, a rotating disk included.
WalkerCounts walkers_per_request()
{
    const unsigned asked = walkers_asked.load(std::memory_order_relaxed);
    if (asked != 0) return WalkerCounts{asked, asked, asked};
    const unsigned processors = processors_available();
    const unsigned local = processors < local_walkers_least  ? local_walkers_least
                           : processors > local_walkers_most ? local_walkers_most
                                                             : processors;
    return WalkerCounts{local, rotating_disk_walkers, remote_walkers};
}

// Holders of the argument list: the shell, and the argument worker while it
// exists. The last one to let go frees it.
std::atomic<int> argument_list_holders{0};
void (*free_argument_block)(char** args) = nullptr;
ScanRequest argument_request = {RequestKind::arguments, nullptr};

// Requests started that have not yet taken scan_lock.
std::atomic<uint32_t> waiting_requests{0};

void let_go_of_argument_list()
{
    if (argument_list_holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    char** args = argument_list.args;
    argument_list = ArgumentList{0, nullptr};
    if (free_argument_block != nullptr && args != nullptr) free_argument_block(args);
}

unsigned run_request_thread(void* request)
{
    return run_scan_request(static_cast<ScanRequest*>(request));
}

bool start_request_worker(ScanRequest* request)
{
    waiting_requests.fetch_add(1, std::memory_order_relaxed);
    if (start_worker(run_request_thread, request)) return true;
    waiting_requests.fetch_sub(1, std::memory_order_relaxed);
    return false;
}

void count_drop(WalkTeam* team, Drop* drop)
{
    const uint32_t count = drop_item_count(drop);
    for (uint32_t i = 0; i < count; ++i) {
        char path[path_capacity];
        if (copy_drop_item(drop, i, path, path_capacity) != 0) count_path(team, path);
    }
    release_drop(drop);
}

void count_arguments(WalkTeam* team)
{
    for (int i = 1; i < argument_list.count; ++i) count_path(team, argument_list.args[i]);
}

// The request's items, counted by a team of walkers into the Tally; without
// memory for even one walker's state nothing is counted, and each item is
// named with the reason. The team's running counts are kept up only for a
// shell that shows them.
void count_items(ScanRequest* request)
{
    WalkTeam* team = start_walk_team(walkers_per_request(), running_counts_shown() ? &tally : nullptr);
    if (request->kind == RequestKind::drop)
        count_drop(team, request->drop);
    else
        count_arguments(team);
    finish_walk_team(team, &tally);
}

}  // namespace

void set_walkers_per_request(unsigned walkers)
{
    walkers_asked.store(walkers > max_walkers ? max_walkers : walkers, std::memory_order_relaxed);
}

void store_argument_list(int count, char** args, void (*free_block)(char** args))
{
    argument_list = ArgumentList{count, args};
    free_argument_block = free_block;
    argument_list_holders.store(1, std::memory_order_release);
}

void release_argument_list()
{
    let_go_of_argument_list();
}

void start_drop_request(Drop* drop)
{
    auto* request = new (std::nothrow) ScanRequest{RequestKind::drop, drop};
    if (request == nullptr) {
        release_drop(drop);
        return;
    }
    if (!start_request_worker(request)) {
        release_drop(drop);
        delete request;
    }
}

bool start_argument_request()
{
    argument_list_holders.fetch_add(1, std::memory_order_acq_rel);
    if (start_request_worker(&argument_request)) return true;
    let_go_of_argument_list();
    return false;
}

uint32_t requests_waiting()
{
    return waiting_requests.load(std::memory_order_relaxed);
}

unsigned run_scan_request(ScanRequest* request)
{
    scan_lock.lock();
    waiting_requests.fetch_sub(1, std::memory_order_relaxed);
    tell_request_started();
    // Failures met outside requests (a test's own scan) are not this request's.
    take_failure_count();
    count_items(request);
    const uint32_t unreadable = take_failure_count();
    // No progress of this request may land after its end.
    withdraw_progress();
    tell_request_finished(tally, unreadable);
    scan_lock.unlock();

    if (request->kind == RequestKind::drop)
        delete request;
    else
        let_go_of_argument_list();
    return 0;
}
