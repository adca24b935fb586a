// The process-wide listener of scan events, and the progress slot.
#include "core/scan_events.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

std::atomic<const ScanEvents*> listener{nullptr};

// Held only to copy a text in or out, never while calling the shell.
struct ProgressSlot {
    std::mutex mutex;
    char text[progress_text_size];
    bool fresh;        // posted and not yet taken
    bool shell_looks;  // the shell was woken, or will look again, and will take
};

ProgressSlot progress;

const ScanEvents* current_listener()
{
    return listener.load(std::memory_order_acquire);
}

}  // namespace

// Under the slot's mutex, so that a post either wakes the shell it was made
// for or is dropped with the slot.
void store_scan_events(const ScanEvents* events)
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    listener.store(events, std::memory_order_release);
    progress.fresh = false;
    progress.shell_looks = false;
}

void tell_request_started()
{
    const ScanEvents* events = current_listener();
    if (events != nullptr && events->request_started != nullptr) events->request_started(events->shell);
}

void tell_request_finished(const Tally& counts, uint32_t unreadable)
{
    const ScanEvents* events = current_listener();
    if (events != nullptr && events->request_finished != nullptr)
        events->request_finished(events->shell, counts, unreadable);
}

bool running_counts_shown()
{
    const ScanEvents* events = current_listener();
    return events != nullptr && events->shows_running_counts;
}

void reset_counts()
{
    reset_tally();
    const ScanEvents* events = current_listener();
    if (events != nullptr && events->counts_reset != nullptr) events->counts_reset(events->shell, tally);
}

void post_progress(const char* rel, uint32_t len)
{
    const ScanEvents* wake = nullptr;
    {
        const std::lock_guard<std::mutex> hold(progress.mutex);
        memcpy(progress.text, rel, len);
        progress.text[len] = '\0';
        progress.fresh = true;
        if (!progress.shell_looks) wake = current_listener();
        progress.shell_looks = true;
    }
    if (wake != nullptr && wake->progress_waiting != nullptr) wake->progress_waiting(wake->shell);
}

bool take_progress(char* out)
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    if (!progress.fresh) {
        progress.shell_looks = false;
        return false;
    }
    memcpy(out, progress.text, strlen(progress.text) + 1);
    progress.fresh = false;
    return true;
}

void withdraw_progress()
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    progress.fresh = false;
}
