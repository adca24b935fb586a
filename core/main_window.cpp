// The process-wide main-window value and failure report.
#include "core/main_window.h"

#include <atomic>

namespace {
std::atomic<const MainWindow*> main_window{nullptr};
std::atomic<FailureReport> failure_report{nullptr};
}  // namespace

void store_main_window(const MainWindow* window)
{
    main_window.store(window, std::memory_order_release);
}

void set_control_text(int control, const char* text)
{
    const MainWindow* window = main_window.load(std::memory_order_acquire);
    if (window != nullptr) window->set_text(window->handle, control, text);
}

void enable_control(int control, bool enabled)
{
    const MainWindow* window = main_window.load(std::memory_order_acquire);
    if (window != nullptr) window->set_enabled(window->handle, control, enabled);
}

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
