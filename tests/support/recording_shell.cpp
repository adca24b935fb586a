// The recording shell: events kept in order, safe to tell from workers.
#include "tests/support/recording_shell.h"

#include <mutex>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/requests.h"
#include "core/threads.h"

namespace {

std::mutex events_mutex;
std::vector<ScanEvent> recorded;

void record(const ScanEvent& event)
{
    const std::lock_guard<std::mutex> hold(events_mutex);
    recorded.push_back(event);
}

// A shell that looks at once: every folder's progress is recorded, in the
// order posted.
void take_every_progress(void*)
{
    char text[progress_text_size];
    while (take_progress(text)) record({ScanEvent::progress, text, {}, 0});
}

}  // namespace

RecordingShell::RecordingShell()
    : events_{this, [](void*) { record({ScanEvent::started, {}, {}, 0}); }, take_every_progress,
              [](void*, const Tally& counts, uint32_t unreadable) {
                  record({ScanEvent::finished, {}, counts, unreadable});
              },
              [](void*, const Tally& counts) { record({ScanEvent::reset, {}, counts, 0}); }, false}
{
    clear();
    store_scan_events(&events_);
}

RecordingShell::~RecordingShell()
{
    store_scan_events(nullptr);
}

std::vector<ScanEvent> RecordingShell::events() const
{
    const std::lock_guard<std::mutex> hold(events_mutex);
    return recorded;
}

std::vector<RequestSeen> RecordingShell::requests() const
{
    std::vector<RequestSeen> requests;
    bool open = false;
    for (const ScanEvent& event : events()) {
        if (event.kind == ScanEvent::reset) continue;
        if ((event.kind == ScanEvent::started) == open) {
            ADD_FAILURE() << "request " << requests.size() << ": event " << event.kind
                          << (open ? " before its end" : " before its start");
            return requests;
        }
        if (event.kind == ScanEvent::started) {
            requests.push_back({});
            open = true;
        } else if (event.kind == ScanEvent::progress) {
            requests.back().progress.push_back(event.text);
        } else {
            requests.back().counts = event.counts;
            requests.back().unreadable = event.unreadable;
            open = false;
        }
    }
    if (open) ADD_FAILURE() << "the last request did not end";
    return requests;
}

std::vector<std::string> RecordingShell::progress() const
{
    std::vector<std::string> texts;
    for (const ScanEvent& event : events())
        if (event.kind == ScanEvent::progress) texts.push_back(event.text);
    return texts;
}

void RecordingShell::clear()
{
    const std::lock_guard<std::mutex> hold(events_mutex);
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
