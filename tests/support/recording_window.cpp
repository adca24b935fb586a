// The recording window: events kept in order, safe to write from workers.
#include "tests/support/recording_window.h"

#include <mutex>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/requests.h"
#include "core/threads.h"
#include "resources/control_ids.h"

namespace {

std::mutex events_mutex;
std::vector<WindowEvent> recorded;

void record_text(void*, int control, const char* text)
{
    std::lock_guard<std::mutex> hold(events_mutex);
    recorded.push_back({WindowEvent::text, control, text});
}

void record_enabled(void*, int control, bool enabled)
{
    std::lock_guard<std::mutex> hold(events_mutex);
    recorded.push_back({enabled ? WindowEvent::enabled : WindowEvent::disabled, control, {}});
}

// A window that looks at once: every folder's progress is recorded as a
// status-line text, in the order posted.
void record_progress(void*)
{
    char text[progress_text_size];
    while (take_progress(text)) record_text(nullptr, IDC_STATUS_LINE, text);
}

}  // namespace

RecordingWindow::RecordingWindow() : window_{this, record_text, record_enabled, record_progress}
{
    clear();
    store_window_port(&window_);
}

RecordingWindow::~RecordingWindow()
{
    store_window_port(nullptr);
}

std::vector<WindowEvent> RecordingWindow::events() const
{
    std::lock_guard<std::mutex> hold(events_mutex);
    return recorded;
}

std::string RecordingWindow::text(int control) const
{
    std::lock_guard<std::mutex> hold(events_mutex);
    for (auto event = recorded.rbegin(); event != recorded.rend(); ++event)
        if (event->kind == WindowEvent::text && event->control == control) return event->value;
    return {};
}

void RecordingWindow::clear()
{
    std::lock_guard<std::mutex> hold(events_mutex);
    recorded.clear();
}

void run_drop(const std::vector<std::string>& paths)
{
    std::vector<const char*> texts;
    for (const std::string& path : paths) texts.push_back(path.c_str());
    Drop* drop = make_drop(texts.data(), static_cast<uint32_t>(texts.size()));
    ASSERT_NE(drop, nullptr);
    start_drop_request(drop);
    wait_for_workers();
}
