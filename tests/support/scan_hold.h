// A scan that stays running for as long as a test needs: the first item or
// entry a walker cannot read (a path that does not exist, say) stops that
// walker inside the failure report, still holding scan_lock, until released.
#pragma once

#include <condition_variable>
#include <mutex>

// One at a time; stored as the failure report while it exists.
class ScanHold {
public:
    ScanHold();
    ~ScanHold();  // releases, and removes the report
    ScanHold(const ScanHold&) = delete;
    ScanHold& operator=(const ScanHold&) = delete;

    // Whether a walker is stopped in the report now.
    bool held() const;
    // Lets the stopped walker (and any later one) go on.
    void release();

private:
    void stop_here();

    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    bool holding_ = true;
};

// A path that names nothing, for holding a scan after the items before it.
extern const char missing_path[];
