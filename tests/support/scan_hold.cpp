// The held scan: a failure report that waits.
#include "tests/support/scan_hold.h"

#include <atomic>

#include "core/failure_report.h"

const char missing_path[] = "/heapwise-test/no such path";

namespace {
std::atomic<ScanHold*> current_hold{nullptr};
}  // namespace

ScanHold::ScanHold()
{
    current_hold.store(this);
    store_failure_report([](ScanFailure, const char*, size_t, const char*, int) {
        if (ScanHold* hold = current_hold.load()) hold->stop_here();
    });
}

ScanHold::~ScanHold()
{
    release();
    store_failure_report(nullptr);
    current_hold.store(nullptr);
}

bool ScanHold::held() const
{
    const std::lock_guard<std::mutex> hold(mutex_);
    return held_;
}

void ScanHold::release()
{
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        holding_ = false;
    }
    released_.notify_all();
}

void ScanHold::stop_here()
{
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = true;
    released_.wait(lock, [this] { return !holding_; });
    held_ = false;
}
