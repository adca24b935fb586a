// scan_lock, and the workers running, which wait_for_workers waits for.
#include "core/threads.h"

#include <atomic>
#include <condition_variable>
#include <new>

// Constant-initialised, with nothing to undo at exit: workers may outlive the
// window.
std::mutex scan_lock;

namespace {

struct Workers {
    std::mutex mutex;
    std::condition_variable all_ended;
    unsigned running = 0;
};

// Never destroyed: a worker may still end while the process exits.
Workers& workers = *new Workers;

std::atomic<bool> workers_own_file_tables{false};

struct WorkerStart {
    WorkerBody body;
    void* argument;
    bool own_file_table;
};

void worker_ended()
{
    const std::lock_guard<std::mutex> hold(workers.mutex);
    if (--workers.running == 0) workers.all_ended.notify_all();
}

unsigned run_worker(void* raw)
{
    const WorkerStart start = *static_cast<WorkerStart*>(raw);
    delete static_cast<WorkerStart*>(raw);
    // Where this fails the worker goes on with the shared table.
    if (start.own_file_table) leave_shared_file_table();
    const unsigned result = start.body(start.argument);
    worker_ended();
    return result;
}

}  // namespace

bool start_worker(WorkerBody body, void* argument)
{
    auto* start = new (std::nothrow)
        WorkerStart{body, argument, workers_own_file_tables.load(std::memory_order_relaxed)};
    if (start == nullptr) return false;
    {
        const std::lock_guard<std::mutex> hold(workers.mutex);
        ++workers.running;
    }
    if (start_detached_thread(run_worker, start)) return true;
    delete start;
    worker_ended();
    return false;
}

void wait_for_workers()
{
    std::unique_lock<std::mutex> hold(workers.mutex);
    workers.all_ended.wait(hold, [] { return workers.running == 0; });
}

void give_workers_own_file_tables()
{
    workers_own_file_tables.store(true, std::memory_order_relaxed);
}
