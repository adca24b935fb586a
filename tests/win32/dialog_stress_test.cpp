// The real main window under load: hundreds of drops, Reset pressed between
// them whenever the window allows it, and the window quitting while workers
// run or wait for the lock. Nothing crashes or hangs, every request the window
// sees ends with "Ready", and the counts are the sum since the last Reset.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/tally.h"
#include "core/threads.h"
#include "resources/control_ids.h"
#include "tests/win32/dialog_support.h"

namespace {

// What the window thread saw, counted there by the subclassed controls.
std::atomic<unsigned> ready_total{0};
std::atomic<unsigned> ready_since_reset{0};
std::atomic<unsigned> resets{0};
WNDPROC status_proc = nullptr;
WNDPROC dialog_proc = nullptr;

// Asks the window to press Reset if the button is enabled, as a click would.
constexpr UINT press_reset_message = WM_APP + 1;

LRESULT CALLBACK counting_status(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT && lParam != 0 && std::string(reinterpret_cast<const char*>(lParam)) == "Ready") {
        ++ready_total;
        ++ready_since_reset;
    }
    return CallWindowProcA(status_proc, window, message, wParam, lParam);
}

LRESULT CALLBACK pressing_dialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == press_reset_message) {
        if (!IsWindowEnabled(GetDlgItem(window, IDC_RESET_BUTTON))) return 0;
        CallWindowProcA(dialog_proc, window, WM_COMMAND, IDC_RESET_BUTTON, 0);
        ready_since_reset = 0;
        ++resets;
        return 1;
    }
    return CallWindowProcA(dialog_proc, window, message, wParam, lParam);
}

void watch(HWND dialog)
{
    ready_total = 0;
    ready_since_reset = 0;
    status_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        GetDlgItem(dialog, IDC_STATUS_LINE), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counting_status)));
    dialog_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pressing_dialog)));
}

// Waits, on the window thread, until every worker has returned, serving
// whatever they still send meanwhile.
bool workers_end()
{
    std::atomic<bool> ended{false};
    std::thread waiter([&ended] {
        wait_for_workers();
        ended = true;
    });
    const bool done = wait_until([&ended] {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        return ended.load();
    });
    if (done)
        waiter.join();
    else
        waiter.detach();
    return done;
}

void drop(HWND dialog, const std::string& path)
{
    PostMessageA(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(make_hdrop({path})), 0);
}

enum class Ending { all_done, quit_while_running, quit_while_waiting };

struct Round {
    Ending ending;
    unsigned drops;
    unsigned reset_every;
};

const Round rounds[] = {
    {Ending::all_done, 60, 7},
    {Ending::quit_while_running, 60, 5},
    {Ending::quit_while_waiting, 40, 9},
    {Ending::all_done, 80, 11},
    {Ending::quit_while_running, 40, 3},
    {Ending::quit_while_waiting, 40, 6},
};

TEST(DialogStress, DropsResetsAndQuitting)
{
    TempFolder temp;
    make_sample_tree(temp, "load");
    const std::string top = temp.path("load");
    const std::string line = "\"C:\\Heapwise\\heapwise.exe\"";
    unsigned total_drops = 0;
    unsigned total_resets = 0;
    int number = 0;
    for (const Round& round : rounds) {
        SCOPED_TRACE("round " + std::to_string(number++));
        resets = 0;
        unsigned at_quit_ready = 0, at_quit_since_reset = 0;
        const int code = run_with_driver(line, [&](HWND dialog) {
            watch(dialog);
            if (round.ending == Ending::quit_while_waiting) scan_lock.lock();
            for (unsigned i = 1; i <= round.drops; ++i) {
                drop(dialog, top);
                if (i % round.reset_every == 0) SendMessageA(dialog, press_reset_message, 0, 0);
            }
            if (round.ending == Ending::all_done) {
                EXPECT_TRUE(wait_until([&] {
                    return ready_total == round.drops && IsWindowEnabled(GetDlgItem(dialog, IDC_RESET_BUTTON));
                })) << ready_total << " of " << round.drops << " requests ended";
                EXPECT_EQ(shown(dialog).files, sample_tree_texts(top, ready_since_reset).files);
                EXPECT_EQ(shown(dialog).folders, sample_tree_texts(top, ready_since_reset).folders);
            }
            // Counted on the window thread, read once the window has gone.
            PostMessageA(dialog, WM_COMMAND, IDC_QUIT_BUTTON, 0);
            EXPECT_TRUE(wait_until([dialog] { return !IsWindow(dialog); }));
            at_quit_ready = ready_total;
            at_quit_since_reset = ready_since_reset;
            if (round.ending == Ending::quit_while_waiting) scan_lock.unlock();
        });
        EXPECT_EQ(code, 0);
        ASSERT_TRUE(workers_end()) << "workers still running";
        EXPECT_LE(at_quit_ready, round.drops);
        // Requests that ended after the window had gone were counted all the same.
        const unsigned counted = at_quit_since_reset + (round.drops - at_quit_ready);
        EXPECT_EQ(tally.file_count, 4 * counted);
        EXPECT_EQ(tally.folder_count, 3 * counted);
        EXPECT_EQ(tally.total_bytes, 9500ull * counted);
        total_drops += round.drops;
        total_resets += resets;
    }
    EXPECT_GE(total_drops, 300u);
    // Reset was really pressed between requests, not only refused.
    EXPECT_GT(total_resets, 0u);
}

}  // namespace
