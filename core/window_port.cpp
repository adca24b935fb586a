// The process-wide window port and the progress slot.
#include "core/window_port.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

std::atomic<const WindowPort*> window_port{nullptr};

// Held only to copy a text in or out, never while calling into the window.
struct ProgressSlot {
    std::mutex mutex;
    char text[progress_text_size];
    bool fresh;         // posted and not yet taken
    bool window_looks;  // the window was woken, or will look again, and will take
};

ProgressSlot progress;

}  // namespace

// Under the slot's mutex, so that a post either wakes the window it was made
// for or is dropped with the slot.
void store_window_port(const WindowPort* port)
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    window_port.store(port, std::memory_order_release);
    progress.fresh = false;
    progress.window_looks = false;
}

void set_control_text(int control, const char* text)
{
    const WindowPort* port = window_port.load(std::memory_order_acquire);
    if (port != nullptr) port->set_text(port->handle, control, text);
}

void enable_control(int control, bool enabled)
{
    const WindowPort* port = window_port.load(std::memory_order_acquire);
    if (port != nullptr) port->set_enabled(port->handle, control, enabled);
}

void post_progress(const char* text)
{
    const WindowPort* wake = nullptr;
    {
        const std::lock_guard<std::mutex> hold(progress.mutex);
        strncpy(progress.text, text, progress_text_size - 1);
        progress.text[progress_text_size - 1] = '\0';
        progress.fresh = true;
        if (!progress.window_looks) wake = window_port.load(std::memory_order_acquire);
        progress.window_looks = true;
    }
    if (wake != nullptr && wake->progress_posted != nullptr) wake->progress_posted(wake->handle);
}

bool take_progress(char* out)
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    if (!progress.fresh) {
        progress.window_looks = false;
        return false;
    }
    memcpy(out, progress.text, progress_text_size);
    progress.fresh = false;
    return true;
}

void withdraw_progress()
{
    const std::lock_guard<std::mutex> hold(progress.mutex);
    progress.fresh = false;
}
