// scan_lock as a critical section, and worker threads started with
// CreateThread.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <new>

#include "core/threads.h"

struct ScanLock {
    CRITICAL_SECTION section;
};

// Initialised once and never deleted: workers may outlive the window.
ScanLock scan_lock;

namespace {

INIT_ONCE scan_lock_once = INIT_ONCE_STATIC_INIT;

SRWLOCK workers_lock = SRWLOCK_INIT;
CONDITION_VARIABLE workers_done = CONDITION_VARIABLE_INIT;
unsigned workers_running = 0;

// The walk recurses once per folder level; reserve room for the deepest walk
// the path buffer allows, whatever the program's default stack size is.
constexpr SIZE_T worker_stack_size = 8u * 1024 * 1024;

struct WorkerStart {
    WorkerBody body;
    void* argument;
};

// A 32-bit program on 64-bit Windows is shown SysWOW64 where it names
// C:\Windows\System32: a walk of C:\Windows would count SysWOW64 twice and
// System32 never. Every thread that walks sees the folders as they are; the
// redirection is the thread's own, so the rest of the program keeps it.
void see_folders_as_they_are()
{
    BOOL wow64 = FALSE;
    PVOID redirection = nullptr;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) Wow64DisableWow64FsRedirection(&redirection);
}

BOOL CALLBACK initialise_scan_lock(PINIT_ONCE, PVOID, PVOID*)
{
    InitializeCriticalSection(&scan_lock.section);
    return TRUE;
}

void worker_ended()
{
    AcquireSRWLockExclusive(&workers_lock);
    const bool last = --workers_running == 0;
    ReleaseSRWLockExclusive(&workers_lock);
    if (last) WakeAllConditionVariable(&workers_done);
}

DWORD WINAPI run_worker(LPVOID raw)
{
    const WorkerStart start = *static_cast<WorkerStart*>(raw);
    delete static_cast<WorkerStart*>(raw);
    see_folders_as_they_are();
    const unsigned result = start.body(start.argument);
    worker_ended();
    return result;
}

}  // namespace

void init_scan_lock()
{
    InitOnceExecuteOnce(&scan_lock_once, initialise_scan_lock, nullptr, nullptr);
}

// Safe even where start-up has not prepared the lock (as in the tests).
void take_scan_lock()
{
    init_scan_lock();
    EnterCriticalSection(&scan_lock.section);
}

void release_scan_lock()
{
    LeaveCriticalSection(&scan_lock.section);
}

struct WalkerThread {
    HANDLE thread;
};

namespace {

// A walker is joined by its request, so it is no worker of those counted.
DWORD WINAPI run_walker(LPVOID raw)
{
    const WorkerStart start = *static_cast<WorkerStart*>(raw);
    delete static_cast<WorkerStart*>(raw);
    see_folders_as_they_are();
    return start.body(start.argument);
}

}  // namespace

WalkerThread* start_walker_thread(WorkerBody body, void* argument)
{
    auto* handle = new (std::nothrow) WalkerThread;
    auto* start = new (std::nothrow) WorkerStart{body, argument};
    if (handle != nullptr && start != nullptr) {
        handle->thread = CreateThread(nullptr, worker_stack_size, run_walker, start,
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (handle->thread != nullptr) return handle;
    }
    delete start;
    delete handle;
    return nullptr;
}

void join_walker_thread(WalkerThread* thread)
{
    WaitForSingleObject(thread->thread, INFINITE);
    CloseHandle(thread->thread);
    delete thread;
}

unsigned processors_available()
{
    DWORD_PTR process_mask = 0;
    DWORD_PTR system_mask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return 1;
    unsigned count = 0;
    for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
    return count > 0 ? count : 1;
}

bool start_worker(WorkerBody body, void* argument)
{
    auto* start = new (std::nothrow) WorkerStart{body, argument};
    if (start == nullptr) return false;

    AcquireSRWLockExclusive(&workers_lock);
    ++workers_running;
    ReleaseSRWLockExclusive(&workers_lock);

    HANDLE thread = CreateThread(nullptr, worker_stack_size, run_worker, start,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) {
        delete start;
        worker_ended();
        return false;
    }
    CloseHandle(thread);
    return true;
}

void wait_for_workers()
{
    AcquireSRWLockExclusive(&workers_lock);
    while (workers_running != 0) SleepConditionVariableSRW(&workers_done, &workers_lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&workers_lock);
}

bool wait_for_workers_for(unsigned milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    AcquireSRWLockExclusive(&workers_lock);
    for (ULONGLONG now = GetTickCount64(); workers_running != 0 && now < deadline; now = GetTickCount64())
        SleepConditionVariableSRW(&workers_done, &workers_lock, static_cast<DWORD>(deadline - now), 0);
    const bool all_ended = workers_running == 0;
    ReleaseSRWLockExclusive(&workers_lock);
    return all_ended;
}

// Handles belong to the process on Windows: nothing to separate.
void give_workers_own_file_tables() {}
