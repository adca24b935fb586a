// Threads with the walk's stack room on POSIX threads, and a worker's own
// table of open files on Linux.
#include <pthread.h>
#include <sched.h>

#include <new>

#include "core/threads.h"

namespace {

// The walk recurses once per folder level; give it room for the deepest walk
// the path buffer allows, whatever the process's default stack size is.
constexpr size_t walk_stack_size = 8u * 1024 * 1024;

struct ThreadStart {
    WorkerBody body;
    void* argument;
};

void* run_thread(void* raw)
{
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.body(start.argument);
    return nullptr;
}

bool start_thread(pthread_t* thread, WorkerBody body, void* argument, bool detached)
{
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (start == nullptr) return false;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, walk_stack_size);
    if (detached) pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    const bool started = pthread_create(thread, &attributes, run_thread, start) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) delete start;
    return started;
}

}  // namespace

struct WalkerThread {
    pthread_t thread;
};

bool start_detached_thread(WorkerBody body, void* argument)
{
    pthread_t thread;
    return start_thread(&thread, body, argument, true);
}

WalkerThread* start_walker_thread(WorkerBody body, void* argument)
{
    auto* handle = new (std::nothrow) WalkerThread;
    if (handle != nullptr && start_thread(&handle->thread, body, argument, false)) return handle;
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

void leave_shared_file_table()
{
    unshare(CLONE_FILES);
}
