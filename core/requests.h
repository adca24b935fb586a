// Scan requests: a drop or the command-line paths, each counted on a worker
// thread of its own, one request at a time under scan_lock.
#pragma once

#include <cstdint>

#include "core/drop.h"

// The command line split into arguments; argument 0 is the program itself and
// is not counted. Shared with the argument worker, never copied.
struct ArgumentList {
    int count;
    char** args;
};

extern ArgumentList argument_list;

// Stores the argument list. `free_block`, when not null, frees `args` once
// neither the shell nor the argument worker needs it any more.
void store_argument_list(int count, char** args, void (*free_block)(char** args));

// The shell is done with the argument list (its window has ended). It is
// freed now, or by the argument worker when that is still running or waiting.
void release_argument_list();

// How many walkers count each item of a request from now on: 0 (the
// default) for as many as what the item lies on suits: on a local disk one
// per processor this process may run on, but at least 4 and at most 16; on
// a rotating disk one; on a file system over the network 32. Otherwise that
// many wherever the item lies, at most max_walkers.
void set_walkers_per_request(unsigned walkers);

// Called by the window for a drop: starts a worker for it and returns at
// once. The request owns the drop from here on; it is released even when no
// worker can be started (the drop is then lost).
void start_drop_request(Drop* drop);

// Called once when the window is created, when the argument list holds more
// than one argument: starts a worker that counts arguments 1 to count - 1.
// Returns false when no worker could be started (the request is then lost).
bool start_argument_request();

// Requests started that wait for the one holding scan_lock (or are about to
// take it themselves). Any thread; it may have changed by the time it is used.
uint32_t requests_waiting();

struct ScanRequest;

// The worker body: takes scan_lock, tells the shell the request started,
// counts every item in order with a team of walkers (the worker leads it) and
// adds their shares to the Tally, tells the shell it finished, with the
// counts and how many items could not be read, and releases the lock.
// Returns 0.
unsigned run_scan_request(ScanRequest* request);
