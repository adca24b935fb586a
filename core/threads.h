// The lock that serialises scan requests, and the threads that run them. The
// lock and the count of running workers are the standard library's, the same
// on every platform (threads.cpp); starting a thread with the walk's stack
// room is the platform's (threads_posix.cpp, threads_win32.cpp).
#pragma once

#include <mutex>

// Protects the Tally, the ScanCursor and the walk's attribute record. Only
// workers take it, each for its whole request; the window thread never does.
// It is never destroyed while the process runs, so a worker still holding or
// waiting for it when the window has ended is safe.
extern std::mutex scan_lock;

using WorkerBody = unsigned (*)(void* argument);

// Starts a thread running `body(argument)` and returns at once; the thread is
// not waited for by anyone unless wait_for_workers is called. Returns false
// when no thread could be started.
bool start_worker(WorkerBody body, void* argument);

// Waits until every worker started so far has returned.
void wait_for_workers();

// A thread that walks for a request's team, started by the request's worker
// and joined by it when the request ends. It has the walk's stack room, as a
// worker does, and shares the table of open files of the thread that starts
// it (so a folder opened by one walker can be listed by another).
struct WalkerThread;
// Null when no thread could be started.
WalkerThread* start_walker_thread(WorkerBody body, void* argument);
// Waits until the thread has returned, and frees its handle.
void join_walker_thread(WalkerThread* thread);

// How many processors this process may run on (its affinity), at least 1.
unsigned processors_available();

// Makes each worker started from now on keep its own table of open files,
// where the platform shares one between threads (Linux): a walk's queries
// relative to a folder's descriptor then skip the reference counting a shared
// table needs, a few per cent of a walk. Only for a process that opens and
// closes nothing else while workers run (the terminal mode): a worker keeps
// its copies of the files open when it started, so a pipe another thread
// closes would stay open until that worker ends.
void give_workers_own_file_tables();

// The platform's part, for threads.cpp: starts `body(argument)` on a thread
// of its own with the walk's stack room, not to be joined; false when none
// could be started.
bool start_detached_thread(WorkerBody body, void* argument);
// On the thread calling it, from now on: a table of open files of its own,
// where the platform has such tables (see give_workers_own_file_tables).
void leave_shared_file_table();
