// Many drops while scans run, each counted by one to four walkers, Reset
// pressed between requests whenever the window would allow it, and the window
// quitting while workers wait for the lock, round after round: nothing
// crashes or hangs, every request tells its end, and the Tally is the sum of
// the requests since the last Reset.
#include <condition_variable>
#include <mutex>
#include <string>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/scan_events.h"
#include "core/threads.h"
#include "tests/support/temp_tree.h"

namespace {

// A window as the core meets it: the events are served one at a time, and
// Reset is pressed on its own thread and acts only while enabled. Reset and
// the repaint after it form one step the workers' events cannot split.
struct StressWindow {
    std::recursive_mutex mutex;
    bool reset_enabled = true;
    unsigned ready_total = 0;        // ends of requests seen
    unsigned ready_since_reset = 0;
    unsigned resets = 0;
    Tally shown{};                   // the counts last told

    // Holding: the next worker to disable Reset stops there, holding
    // scan_lock, until let go.
    std::mutex hold_mutex;
    std::condition_variable hold_changed;
    bool hold_next = false;
    bool holding = false;
};

StressWindow stress;

void stress_started(void*)
{
    {
        std::lock_guard<std::recursive_mutex> serve(stress.mutex);
        stress.reset_enabled = false;
    }
    std::unique_lock<std::mutex> hold(stress.hold_mutex);
    if (!stress.hold_next) return;
    stress.hold_next = false;
    stress.holding = true;
    stress.hold_changed.notify_all();
    stress.hold_changed.wait(hold, [] { return !stress.holding; });
}

void stress_finished(void*, const Tally& counts, uint32_t)
{
    std::lock_guard<std::recursive_mutex> serve(stress.mutex);
    ++stress.ready_total;
    ++stress.ready_since_reset;
    stress.shown = counts;
    stress.reset_enabled = true;
}

void stress_reset(void*, const Tally& counts)
{
    std::lock_guard<std::recursive_mutex> serve(stress.mutex);
    stress.shown = counts;
}

const ScanEvents stress_window = {nullptr, stress_started, nullptr, stress_finished, stress_reset, false};

void press_reset()
{
    std::lock_guard<std::recursive_mutex> serve(stress.mutex);
    if (!stress.reset_enabled) return;
    reset_counts();
    stress.ready_since_reset = 0;
    ++stress.resets;
}

// What one request adds: the tree holds 4 folders of 8 sub-folders of 6
// one-byte files, enough for its walkers to hand folders to each other.
constexpr uint32_t files_per_request = 4 * 8 * 6;
constexpr uint32_t folders_per_request = 1 + 4 + 4 * 8;
constexpr uint64_t bytes_per_request = files_per_request;

void start_drop(const std::string& path)
{
    const char* paths[] = {path.c_str()};
    Drop* drop = make_drop(paths, 1);
    ASSERT_NE(drop, nullptr);
    start_drop_request(drop);
}

void expect_sum_of(unsigned requests, const std::string& round)
{
    EXPECT_EQ(tally.file_count, files_per_request * requests) << round << describe(tally);
    EXPECT_EQ(tally.folder_count, folders_per_request * requests) << round << describe(tally);
    EXPECT_EQ(tally.total_bytes, bytes_per_request * requests) << round << describe(tally);
    EXPECT_EQ(tally.max_rel_depth, requests == 0 ? 0u : 3u) << round << describe(tally);
}

}  // namespace

TEST(RequestStress, DropsResetsAndQuittingOverManyRounds)
{
    TempTree tree;
    tree.bushy(4);
    const std::string root = tree.root();

    reset_tally();
    store_scan_events(&stress_window);
    unsigned started = 0;
    unsigned quits = 0;

    for (unsigned round = 0; round < 300; ++round) {
        const std::string name = "round " + std::to_string(round) + ": ";
        // One to four walkers per request, the teams changing between rounds.
        set_walkers_per_request(1 + round % 4);
        const bool quitting = round % 10 == 9;
        if (quitting) {
            std::lock_guard<std::mutex> hold(stress.hold_mutex);
            stress.hold_next = true;
        }
        // 1 to 4 drops, Reset pressed between some of them.
        const unsigned drops = 1 + round % 4;
        for (unsigned i = 0; i < drops; ++i) {
            start_drop(root);
            ++started;
            if ((round + i) % 3 == 0) press_reset();
        }
        if (quitting) {
            // The first worker is held inside the window with the lock; the
            // others are started and wait for it. The window goes away, then
            // lets go of it.
            {
                std::unique_lock<std::mutex> hold(stress.hold_mutex);
                stress.hold_changed.wait(hold, [] { return stress.holding; });
            }
            store_scan_events(nullptr);
            {
                std::lock_guard<std::mutex> hold(stress.hold_mutex);
                stress.holding = false;
                stress.hold_changed.notify_all();
            }
            wait_for_workers();
            ++quits;
            // Requests that finished after the window went away told nobody
            // but still counted.
            std::lock_guard<std::recursive_mutex> serve(stress.mutex);
            expect_sum_of(stress.ready_since_reset + (started - stress.ready_total), name);
            // The next round starts as a new window would, from zero.
            stress.ready_total = started;
            stress.ready_since_reset = 0;
            reset_tally();
            store_scan_events(&stress_window);
            continue;
        }
        wait_for_workers();
        std::unique_lock<std::recursive_mutex> serve(stress.mutex);
        ASSERT_EQ(stress.ready_total, started) << name << "a request did not tell its end";
        expect_sum_of(stress.ready_since_reset, name);
        EXPECT_EQ(describe(stress.shown), describe(tally)) << name;
        if (::testing::Test::HasFailure()) break;
        // With every request done, Reset is enabled and always acts.
        if (round % 5 == 2) {
            press_reset();
            expect_sum_of(0, name + "after Reset: ");
            EXPECT_EQ(describe(stress.shown), describe(Tally{})) << name;
        }
    }
    store_scan_events(nullptr);
    set_walkers_per_request(0);
    printf("%u requests, %u effective resets, %u quits\n", started, stress.resets, quits);
}
