// Threads with the walk's stack room, started with CreateThread.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <new>

#include "core/threads.h"

namespace {

// The walk recurses once per folder level; reserve room for the deepest walk
// the path buffer allows, whatever the program's default stack size is.
constexpr SIZE_T walk_stack_size = 8u * 1024 * 1024;

struct ThreadStart {
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

DWORD WINAPI run_thread(LPVOID raw)
{
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    see_folders_as_they_are();
    return start.body(start.argument);
}

// Null when no thread could be started.
HANDLE start_thread(WorkerBody body, void* argument)
{
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (start == nullptr) return nullptr;
    const HANDLE thread =
        CreateThread(nullptr, walk_stack_size, run_thread, start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) delete start;
    return thread;
}

}  // namespace

struct WalkerThread {
    HANDLE thread;
};

bool start_detached_thread(WorkerBody body, void* argument)
{
    const HANDLE thread = start_thread(body, argument);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

WalkerThread* start_walker_thread(WorkerBody body, void* argument)
{
    auto* handle = new (std::nothrow) WalkerThread;
    if (handle != nullptr && (handle->thread = start_thread(body, argument)) != nullptr) return handle;
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

// Handles belong to the process on Windows: nothing to leave.
void leave_shared_file_table() {}
