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
#include "core/walk.h"
#include "core/walk_team.h"

ArgumentList argument_list;

enum class RequestKind { drop, arguments };

struct ScanRequest {
    RequestKind kind;
    Drop* drop;
};

namespace {

// Walkers per request: 0 for as many as there are processors to run them,
// within default_walkers_least and default_walkers_most.
std::atomic<unsigned> walkers_asked{0};
// Even with few processors, a disk or a network share answers several reads
// at once; beyond the most, more walkers mostly wait for each other.
constexpr unsigned default_walkers_least = 4;
constexpr unsigned default_walkers_most = 16;

unsigned walkers_per_request()
{
    const unsigned asked = walkers_asked.load(std::memory_order_relaxed);
    if (asked != 0) return asked;
    const unsigned processors = processors_available();
    if (processors < default_walkers_least) return default_walkers_least;
    return processors > default_walkers_most ? default_walkers_most : processors;
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

void count_drop(Walker* walker, Drop* drop)
{
    const uint32_t count = drop_item_count(drop);
    for (uint32_t i = 0; i < count; ++i) {
        if (copy_drop_item(drop, i, walker->cursor.path, path_capacity) == 0) continue;
        walker->cursor.depth = 0;
        scan_item(walker);
    }
    release_drop(drop);
}

// An argument that does not fit the path buffer is skipped and named: cut,
// it would name something else.
void count_arguments(Walker* walker)
{
    for (int i = 1; i < argument_list.count; ++i) {
        const char* argument = argument_list.args[i];
        const size_t len = strnlen(argument, path_capacity);
        if (len == path_capacity) {
            report_failure(ScanFailure::cannot_read, argument, strlen(argument), nullptr, path_too_long_error);
            continue;
        }
        memcpy(walker->cursor.path, argument, len + 1);
        walker->cursor.depth = 0;
        scan_item(walker);
    }
}

// The request's items, counted by a team of walkers into the Tally; without
// memory for even one walker's state nothing is counted. The team's running
// counts are kept up only for a shell that shows them.
void count_items(ScanRequest* request)
{
    WalkTeam* team = start_walk_team(walkers_per_request(), running_counts_shown() ? &tally : nullptr);
    if (team == nullptr) {
        if (request->kind == RequestKind::drop) release_drop(request->drop);
        return;
    }
    Walker* lead = lead_walker(team);
    if (request->kind == RequestKind::drop)
        count_drop(lead, request->drop);
    else
        count_arguments(lead);
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
