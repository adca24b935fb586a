// The process-wide failure report.
#include "core/failure_report.h"

#include <atomic>

namespace {
std::atomic<FailureReport> failure_report{nullptr};
}  // namespace

void store_failure_report(FailureReport report)
{
    failure_report.store(report, std::memory_order_release);
}

void report_failure(ScanFailure failure, const char* path, size_t path_len,
                    const char* name, int error)
{
    FailureReport report = failure_report.load(std::memory_order_acquire);
    if (report != nullptr) report(failure, path, path_len, name, error);
}
