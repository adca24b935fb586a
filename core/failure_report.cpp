// The process-wide failure report and count.
#include "core/failure_report.h"

#include <atomic>

namespace {
std::atomic<FailureReport> failure_report{nullptr};
std::atomic<uint32_t> failures_reported{0};
}  // namespace

void store_failure_report(FailureReport report)
{
    failure_report.store(report, std::memory_order_release);
}

void report_failure(ScanFailure failure, const char* path, size_t path_len,
                    const char* name, int error)
{
    failures_reported.fetch_add(1, std::memory_order_relaxed);
    FailureReport report = failure_report.load(std::memory_order_acquire);
    if (report != nullptr) report(failure, path, path_len, name, error);
}

uint32_t take_failure_count()
{
    return failures_reported.exchange(0, std::memory_order_relaxed);
}
