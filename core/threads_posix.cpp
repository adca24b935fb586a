// scan_lock and worker threads on POSIX threads.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <new>

#include "core/threads.h"

struct ScanLock {
    pthread_mutex_t mutex;
};

// Statically initialised and never destroyed: workers may outlive the window.
ScanLock scan_lock = {PTHREAD_MUTEX_INITIALIZER};

namespace {

pthread_mutex_t workers_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t workers_done = PTHREAD_COND_INITIALIZER;
unsigned workers_running = 0;
bool workers_own_file_tables = false;  // set before the first worker starts

// The walk recurses once per folder level; give it room for the deepest walk
// the path buffer allows, whatever the process's default stack size is.
constexpr size_t worker_stack_size = 8u * 1024 * 1024;

struct WorkerStart {
    WorkerBody body;
    void* argument;
    bool own_file_table;
};

void worker_ended()
{
    pthread_mutex_lock(&workers_mutex);
    if (--workers_running == 0) pthread_cond_broadcast(&workers_done);
    pthread_mutex_unlock(&workers_mutex);
}

void* run_worker(void* raw)
{
    const WorkerStart start = *static_cast<WorkerStart*>(raw);
    delete static_cast<WorkerStart*>(raw);
    // Where this fails the worker goes on with the shared table.
    if (start.own_file_table) unshare(CLONE_FILES);
    start.body(start.argument);
    worker_ended();
    return nullptr;
}

}  // namespace

void init_scan_lock() {}

void take_scan_lock()
{
    pthread_mutex_lock(&scan_lock.mutex);
}

void release_scan_lock()
{
    pthread_mutex_unlock(&scan_lock.mutex);
}

struct WalkerThread {
    pthread_t thread;
};

namespace {

// A walker is joined by its request, so it is no worker of those counted.
void* run_walker(void* raw)
{
    const WorkerStart start = *static_cast<WorkerStart*>(raw);
    delete static_cast<WorkerStart*>(raw);
    start.body(start.argument);
    return nullptr;
}

}  // namespace

WalkerThread* start_walker_thread(WorkerBody body, void* argument)
{
    auto* handle = new (std::nothrow) WalkerThread;
    auto* start = new (std::nothrow) WorkerStart{body, argument, false};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, worker_stack_size);
    const bool started = handle != nullptr && start != nullptr &&
                         pthread_create(&handle->thread, &attributes, run_walker, start) == 0;
    pthread_attr_destroy(&attributes);
    if (started) return handle;
    delete start;
    delete handle;
    return nullptr;
}

void join_walker_thread(WalkerThread* thread)
{
    pthread_join(thread->thread, nullptr);
    delete thread;
}

unsigned processors_available()
{
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
    const int count = CPU_COUNT(&allowed);
    return count > 0 ? static_cast<unsigned>(count) : 1;
}

bool start_worker(WorkerBody body, void* argument)
{
    auto* start = new (std::nothrow) WorkerStart{body, argument, workers_own_file_tables};
    if (start == nullptr) return false;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, worker_stack_size);

    pthread_mutex_lock(&workers_mutex);
    ++workers_running;
    pthread_mutex_unlock(&workers_mutex);

    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, run_worker, start) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        delete start;
        worker_ended();
    }
    return started;
}

void wait_for_workers()
{
    pthread_mutex_lock(&workers_mutex);
    while (workers_running != 0) pthread_cond_wait(&workers_done, &workers_mutex);
    pthread_mutex_unlock(&workers_mutex);
}

bool wait_for_workers_for(unsigned milliseconds)
{
    // The condition's clock is the wall clock; a jump in it only makes one
    // wait shorter or longer.
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000;
    }
    pthread_mutex_lock(&workers_mutex);
    while (workers_running != 0 &&
           pthread_cond_timedwait(&workers_done, &workers_mutex, &deadline) == 0) {}
    const bool all_ended = workers_running == 0;
    pthread_mutex_unlock(&workers_mutex);
    return all_ended;
}

void give_workers_own_file_tables()
{
    workers_own_file_tables = true;
}
