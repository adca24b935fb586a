// Drop and argument requests and the worker body that counts them.
#include "core/requests.h"

#include <atomic>
#include <cstring>
#include <new>

#include "core/tally.h"
#include "core/threads.h"
#include "core/walk.h"
#include "core/window_port.h"
#include "resources/control_ids.h"
#include "text/summary.h"

ArgumentList argument_list;

enum class RequestKind { drop, arguments };

struct ScanRequest {
    RequestKind kind;
    Drop* drop;
};

namespace {

// The longest argument text counted; longer arguments are cut.
constexpr uint32_t argument_text_max = path_capacity - 2;

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

void count_drop(Drop* drop)
{
    const uint32_t count = drop_item_count(drop);
    for (uint32_t i = 0; i < count; ++i) {
        if (copy_drop_item(drop, i, scan_cursor.path, path_capacity) == 0) continue;
        scan_item();
    }
    release_drop(drop);
}

void count_arguments()
{
    for (int i = 1; i < argument_list.count; ++i) {
        const char* argument = argument_list.args[i];
        const size_t len = strnlen(argument, argument_text_max);
        memcpy(scan_cursor.path, argument, len);
        scan_cursor.path[len] = '\0';
        scan_cursor.path[path_capacity - 1] = '\0';
        scan_item();
    }
}

}  // namespace

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
    take_scan_lock();
    waiting_requests.fetch_sub(1, std::memory_order_relaxed);
    enable_control(IDC_RESET_BUTTON, false);
    scan_cursor.depth = 0;
    if (request->kind == RequestKind::drop)
        count_drop(request->drop);
    else
        count_arguments();
    // No progress of this request may land after its "Ready".
    withdraw_progress();
    set_control_text(IDC_STATUS_LINE, "Ready");
    refresh_summary();
    enable_control(IDC_RESET_BUTTON, true);
    release_scan_lock();

    if (request->kind == RequestKind::drop)
        delete request;
    else
        let_go_of_argument_list();
    return 0;
}
