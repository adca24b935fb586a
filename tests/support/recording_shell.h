// A shell for tests that records every event the core tells it, in order,
// taking each progress text as soon as it is posted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/scan_events.h"
#include "core/tally.h"

struct ScanEvent {
    enum Kind { started, progress, finished, reset } kind;
    std::string text;  // the progress text taken
    Tally counts;      // told at the end of a request, or by Reset
    uint32_t unreadable;
};

// One request as the shell saw it.
struct RequestSeen {
    std::vector<std::string> progress;  // in the order posted
    Tally counts;
    uint32_t unreadable;
};

// Stored as the core's listener on creation and removed on destruction.
class RecordingShell {
public:
    RecordingShell();
    ~RecordingShell();
    RecordingShell(const RecordingShell&) = delete;
    RecordingShell& operator=(const RecordingShell&) = delete;

    std::vector<ScanEvent> events() const;
    // The events as requests, each its start, its progress and its end;
    // fails the test where they depart from that.
    std::vector<RequestSeen> requests() const;
    // Every progress text, in the order posted.
    std::vector<std::string> progress() const;
    void clear();

private:
    ScanEvents events_;
};

// Runs a drop of `paths` through a worker and waits until it has finished.
void run_drop(const std::vector<std::string>& paths);
