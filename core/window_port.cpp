// The process-wide window port.
#include "core/window_port.h"

#include <atomic>

namespace {
std::atomic<const WindowPort*> window_port{nullptr};
}  // namespace

void store_window_port(const WindowPort* port)
{
    window_port.store(port, std::memory_order_release);
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
