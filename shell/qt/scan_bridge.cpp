// The core's events on the window's thread: a worker's request start and end
// become events served there while the worker waits, progress a wake-up after
// which the window looks at its own pace.
#include "shell/qt/scan_bridge.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/walk_team.h"
#include "shell/print/terminal_texts.h"
#include "shell/qt/main_window.h"

namespace {

// A request's start or end, handed to the window thread by its worker, which
// fills it, posts it and sleeps until the window thread marks it done; both
// sides touch it only under bridge_mutex.
struct WindowCall {
    bool finished;  // the end, else the start
    Tally counts;
    uint32_t unreadable;
    bool done;
};

std::mutex bridge_mutex;
std::condition_variable call_served;

const QEvent::Type window_call_event = static_cast<QEvent::Type>(QEvent::User + 1);
// Progress was posted: take it. The worker that posts it does not wait.
const QEvent::Type progress_event = static_cast<QEvent::Type>(QEvent::User + 2);

class WindowCallEvent : public QEvent {
public:
    explicit WindowCallEvent(WindowCall* request) : QEvent(window_call_event), call(request) {}
    WindowCall* call;
};

// The window the events reach; touched on the window thread only.
QPointer<MainWindowWidget> current_window;

// The events told before the first window exists, kept under bridge_mutex:
// the window program starts counting its command-line paths while Qt itself
// starts, and the window, once made, shows them.
struct EarlyEvents {
    bool recording;
    bool counting;  // a request has started and not finished
    bool finished;  // a request has finished
    Tally counts;   // the counts last told
    uint32_t unreadable;
};

EarlyEvents early;

// Caller holds bridge_mutex.
void record_early(const WindowCall& call)
{
    early.counting = !call.finished;
    if (!call.finished) return;
    early.finished = true;
    early.counts = call.counts;
    early.unreadable = call.unreadable;
}

void carry_out(const WindowCall& call)
{
    if (current_window.isNull()) return;
    if (call.finished)
        current_window->show_request_finished(call.counts, call.unreadable);
    else
        current_window->show_request_started();
}

// Receives the workers' calls and progress on the window thread. Made with
// the first window and kept for the rest of the process, so a worker's call
// always has a receiver, even once its window has gone.
class WindowThreadRelay : public QObject {
public:
    WindowThreadRelay()
    {
        progress_timer_.setSingleShot(true);
        progress_timer_.setInterval(progress_interval_ms);
        QObject::connect(&progress_timer_, &QTimer::timeout, this, &WindowThreadRelay::look_at_progress);
    }

    // The events, too, are read only under bridge_mutex: a worker made them,
    // and Qt's own hand-over is invisible to ThreadSanitizer.
    bool event(QEvent* event) override
    {
        std::unique_lock<std::mutex> hold(bridge_mutex);
        if (event->type() == progress_event) {
            hold.unlock();
            look_at_progress();
            return true;
        }
        if (event->type() != window_call_event) {
            hold.unlock();
            return QObject::event(event);
        }
        WindowCall* call = static_cast<WindowCallEvent*>(event)->call;
        carry_out(*call);
        call->done = true;
        hold.unlock();
        call_served.notify_all();
        return true;
    }

    // Shows the latest progress and, while a request runs, its counts so
    // far; looks again after the interval while either goes on. The counts
    // a request tells at its end come after its last look.
    void look_at_progress()
    {
        if (current_window.isNull()) return;
        char rel[progress_text_size];
        const bool fresh = take_progress(rel);
        if (fresh) current_window->show_progress(rel);
        Tally running;
        const bool counting = running_tally(&running);
        if (counting) current_window->show_counts(running);
        if (fresh || counting) progress_timer_.start();
    }

private:
    QTimer progress_timer_;
};

std::atomic<WindowThreadRelay*> relay{nullptr};

// Carries out a worker's call on the window thread and returns when it is
// done, or keeps it for the window while none exists yet. When the window
// thread has stopped serving events the worker waits for ever; the program
// ends the process without waiting for its workers.
void call_window(const WindowCall& request)
{
    std::unique_lock<std::mutex> hold(bridge_mutex);
    if (early.recording) {
        record_early(request);
        return;
    }
    WindowCall call = request;
    auto* event = new WindowCallEvent(&call);
    call.done = false;
    hold.unlock();  // hands the call and its event over to the window thread
    QCoreApplication::postEvent(relay.load(std::memory_order_acquire), event);
    hold.lock();
    call_served.wait(hold, [&call] { return call.done; });
}

void request_started(void*)
{
    call_window(WindowCall{false, Tally{}, 0, false});
}

void request_finished(void*, const Tally& counts, uint32_t unreadable)
{
    call_window(WindowCall{true, counts, unreadable, false});
}

// On the window thread: the window's own Reset.
void counts_reset(void*, const Tally& counts)
{
    if (!current_window.isNull()) current_window->show_counts(counts);
}

// Wakes the window thread and returns at once. Before there is a window,
// the window looks when it is made.
void progress_waiting(void*)
{
    const std::lock_guard<std::mutex> hold(bridge_mutex);
    if (early.recording) return;
    QCoreApplication::postEvent(relay.load(std::memory_order_acquire), new QEvent(progress_event));
}

const ScanEvents window_events = {nullptr, request_started, progress_waiting, request_finished, counts_reset, true};

}  // namespace

void count_arguments_before_window()
{
    {
        const std::lock_guard<std::mutex> hold(bridge_mutex);
        early = EarlyEvents{};
        early.recording = true;
        early.counts = tally;
    }
    store_scan_events(&window_events);
    if (argument_list.count > 1) start_argument_request();
}

void report_failures_to_window()
{
    store_failure_report(write_failure_line);
}

void attach_window(MainWindowWidget* window)
{
    if (relay.load(std::memory_order_acquire) == nullptr)
        relay.store(new WindowThreadRelay, std::memory_order_release);
    bool counted_early = false;
    {
        const std::lock_guard<std::mutex> hold(bridge_mutex);
        if (early.recording) {
            early.recording = false;
            counted_early = true;
            window->show_counts(early.counts);
            if (early.finished) window->show_request_finished(early.counts, early.unreadable);
            // Reset stays disabled while a request still uses the Tally.
            if (early.counting) window->show_request_started();
            current_window = window;
        }
    }
    if (counted_early) {
        relay.load(std::memory_order_acquire)->look_at_progress();
        return;
    }
    current_window = window;
    store_scan_events(&window_events);
    window->show_counts(tally);
    if (argument_list.count > 1) start_argument_request();
}

void detach_window(MainWindowWidget* window)
{
    if (current_window != window) return;
    current_window = nullptr;
    store_scan_events(nullptr);
}
