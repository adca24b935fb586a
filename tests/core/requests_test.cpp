// Scan requests and their workers as a shell sees them: each request's start, progress and end with its
// counts, requests that overlap, the argument list and its release, the drop copy and Reset.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/walk_team.h"
#include "tests/support/recording_shell.h"
#include "tests/support/scan_hold.h"
#include "tests/support/temp_tree.h"

namespace {

uint32_t separators(const std::string& path)
{
    return static_cast<uint32_t>(std::count(path.begin(), path.end(), path_separator));
}

// Every Tally field in order, so that a mismatch shows which one.
using Fields = std::array<uint64_t, 13>;
Fields fields(const Tally& t)
{
    return {t.file_count,   t.files_read_only,   t.files_system,   t.files_hidden,
            t.folder_count, t.folders_read_only, t.folders_system, t.folders_hidden,
            t.total_bytes,  t.max_rel_depth,     t.max_abs_depth,  t.max_rel_path, t.max_abs_path};
}

// The counts (the first nine fields) `times` over, the maxima as they were: what repeating a request gives.
Fields repeated(Fields f, uint64_t times)
{
    for (size_t i = 0; i < 9; ++i) f[i] *= times;
    return f;
}

// Skipped items must not reach scan_item, which reports every item it cannot read.
std::atomic<int> failures_reported{0};
void count_failure(ScanFailure, const char*, size_t, const char*, int)
{
    ++failures_reported;
}

class RequestsTest : public testing::Test {
protected:
    void SetUp() override
    {
        reset_tally();
        failures_reported = 0;
        // root/a/f (10 bytes) and root/b: three folders, one file, two levels.
        tree.folder("a");
        tree.file("a/f", 10);
        tree.folder("b");
    }
    void TearDown() override { store_failure_report(nullptr); }

    // The counts of `times` requests of the small tree, from the counting rules.
    Fields tree_counts(uint32_t times) const
    {
        const auto abs_depth = 2 + separators(tree.root());
        return {times, 0, 0, 0, 3 * times, 0, 0, 0, 10 * times, 2, abs_depth, 4, tree.root().size() + 4};
    }

    TempTree tree;
    RecordingShell shell;
};

TEST_F(RequestsTest, DropTellsItsStartThenEachFolderThenItsEndWithTheCounts)
{
    run_drop({tree.root()});

    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 1u);
    // The top-level folder's own relative text is empty.
    const std::string sep(1, path_separator);
    std::vector<std::string> progress = requests[0].progress;
    std::sort(progress.begin(), progress.end());
    EXPECT_EQ(progress, (std::vector<std::string>{"", sep + "a", sep + "b"}));
    EXPECT_EQ(fields(requests[0].counts), tree_counts(1));
    EXPECT_EQ(requests[0].unreadable, 0u);
}

// While a request is held, a shell slow to look at progress (woken, it
// takes the text only when the test does) has been told once however many
// folders were entered, and finds the latest; the running counts add to what
// earlier requests counted. Once a request has told its end, neither its
// progress nor its running counts are there any more.
std::atomic<int> progress_wakes{0};

TEST_F(RequestsTest, HeldRequestShowsLatestProgressAndRunningCountsThenNothingAfterReady)
{
    const ScanEvents slow{nullptr, nullptr, [](void*) { ++progress_wakes; }, nullptr, nullptr, true};
    store_scan_events(&slow);
    run_drop({tree.root()});
    progress_wakes = 0;
    const std::string sep(1, path_separator);
    char text[progress_text_size];
    Tally running{};
    EXPECT_FALSE(take_progress(text)) << "shown after \"Ready\": " << text;
    EXPECT_FALSE(running_tally(&running));
    // One walker: once it is held, it has entered (and posted) every folder.
    set_walkers_per_request(1);
    {
        ScanHold hold;
        const char* paths[] = {tree.root().c_str(), missing_path};
        start_drop_request(make_drop(paths, 2));
        while (!hold.held()) std::this_thread::yield();
        EXPECT_EQ(progress_wakes, 1);
        ASSERT_TRUE(take_progress(text));
        EXPECT_TRUE(text == sep + "a" || text == sep + "b") << text;
        EXPECT_FALSE(take_progress(text));
        ASSERT_TRUE(running_tally(&running));
        // Every folder of the second count has been entered, each after the
        // last of its walker's files and folders before it.
        EXPECT_EQ(running.folder_count, 2 * 3u) << describe(running);
        EXPECT_GE(running.file_count, 1u) << describe(running);
        hold.release();
        wait_for_workers();
    }
    EXPECT_FALSE(running_tally(&running));
    EXPECT_EQ(tally.folder_count, 2 * 3u);
    store_scan_events(nullptr);
    set_walkers_per_request(0);
}

// Only a shell that shows running counts has them kept up.
TEST_F(RequestsTest, RunningCountsOnlyForAShellThatShowsThem)
{
    ScanHold hold;
    const char* paths[] = {tree.root().c_str(), missing_path};
    start_drop_request(make_drop(paths, 2));
    while (!hold.held()) std::this_thread::yield();
    Tally running{};
    EXPECT_FALSE(running_tally(&running));
    hold.release();
    wait_for_workers();
}

TEST_F(RequestsTest, DropOfZeroItemsStillStartsAndFinishes)
{
    start_drop_request(make_drop(nullptr, 0));
    wait_for_workers();

    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].progress.empty());
    EXPECT_EQ(fields(requests[0].counts), Fields{});
}

// Each request tells how many items it could not read, its own only.
TEST_F(RequestsTest, EndTellsHowManyItemsCouldNotBeRead)
{
    run_drop({missing_path, tree.root(), tree.path("not there")});
    run_drop({tree.root()});

    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].unreadable, 2u);
    EXPECT_EQ(requests[1].unreadable, 0u);
    EXPECT_EQ(requests[1].counts.folder_count, 2 * 3u);
}

TEST_F(RequestsTest, SecondDropStartedWhileFirstRunsDoublesCountsNotMaxima)
{
    run_drop({tree.root()});
    const Fields once = fields(tally);
    reset_tally();
    shell.clear();

    const char* paths[] = {tree.root().c_str()};
    start_drop_request(make_drop(paths, 1));
    start_drop_request(make_drop(paths, 1));
    wait_for_workers();

    EXPECT_EQ(fields(tally), repeated(once, 2));
    // One after the other, never interleaved: the first tells one count, the second both.
    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(fields(requests[0].counts), tree_counts(1));
    EXPECT_EQ(requests[1].counts.folder_count, 2 * 3u);
}

TEST_F(RequestsTest, DropsStartedFromSeveralThreadsAllCompleteAndSum)
{
    run_drop({tree.root()});
    const Fields once = fields(tally);
    reset_tally();
    shell.clear();

    constexpr uint32_t threads = 4, drops_per_thread = 6;
    std::vector<std::thread> starters;
    for (uint32_t t = 0; t < threads; ++t)
        starters.emplace_back([&] {
            const char* paths[] = {tree.root().c_str()};
            for (uint32_t d = 0; d < drops_per_thread; ++d) start_drop_request(make_drop(paths, 1));
        });
    for (std::thread& starter : starters) starter.join();
    wait_for_workers();

    EXPECT_EQ(fields(tally), repeated(once, threads * drops_per_thread));
    EXPECT_EQ(shell.requests().size(), threads * drops_per_thread);
}

// An argument block the test owns; `free_block` counts how often the core frees it.
std::atomic<int> blocks_freed{0};
void free_block(char** block)
{
    ++blocks_freed;
    delete[] block;
}

struct ArgumentBlock {
    explicit ArgumentBlock(std::vector<std::string> arguments) : texts(std::move(arguments))
    {
        char** block = new char*[texts.size() + 1];
        for (size_t i = 0; i < texts.size(); ++i) block[i] = texts[i].data();
        block[texts.size()] = nullptr;
        blocks_freed = 0;
        store_argument_list(static_cast<int>(texts.size()), block, free_block);
    }
    std::vector<std::string> texts;
};

TEST_F(RequestsTest, ArgumentRequestCountsArgumentsAfterTheProgramItself)
{
    // Argument 0 names a folder holding a file: counting it would add both.
    ArgumentBlock arguments({tree.path("a"), tree.path("a/f"), tree.path("b")});
    ASSERT_TRUE(start_argument_request());
    wait_for_workers();
    release_argument_list();

    EXPECT_EQ(tally.file_count, 1u);
    EXPECT_EQ(tally.total_bytes, 10u);
    EXPECT_EQ(tally.folder_count, 1u);
    EXPECT_EQ(tally.max_rel_depth, 1u);
    EXPECT_EQ(tally.max_abs_depth, 1 + separators(tree.path("b")));
    EXPECT_EQ(tally.max_rel_path, 0u);  // a top-level file and an empty folder add no relative length
    EXPECT_EQ(tally.max_abs_path, tree.path("a/f").size());
    const std::vector<RequestSeen> requests = shell.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].progress, std::vector<std::string>{""});
}

// An argument that does not fit the path buffer is skipped and named, never
// cut: cut, it would name another item. One that just fits is counted.
std::vector<std::pair<size_t, int>> failures_seen;  // path length, error
void record_failure(ScanFailure, const char*, size_t path_len, const char*, int error)
{
    failures_seen.emplace_back(path_len, error);
}

TEST_F(RequestsTest, ArgumentTooLongForThePathBufferIsSkippedAndNamed)
{
    // An empty folder whose path is exactly 4,094 bytes: with 300 more bytes the argument does not fit,
    // and its first 4,094 bytes would name the folder.
    if (!long_paths_reachable()) GTEST_SKIP() << "paths of 4 KB cannot be made here";
    std::string relative;
    size_t remaining = 4094 - tree.root().size();
    while (remaining > 0) {
        size_t part = std::min<size_t>(remaining, 201);
        if (remaining - part == 1) --part;  // leave room for "/" and a name
        relative += (relative.empty() ? "" : "/") + std::string(part - 1, 'd');
        tree.folder(relative);
        remaining -= part;
    }
    const std::string folder = tree.path(relative);
    ASSERT_EQ(folder.size(), 4094u);
    failures_seen.clear();
    store_failure_report(record_failure);

    const std::string too_long = folder + path_separator + std::string(300, 'x');
    const std::string fits = folder + path_separator;  // 4,095 bytes and the terminator
    ArgumentBlock arguments({"heapwise", too_long, fits});
    ASSERT_TRUE(start_argument_request());
    wait_for_workers();
    release_argument_list();

    EXPECT_EQ(failures_seen, (std::vector<std::pair<size_t, int>>{{too_long.size(), path_too_long_error}}));
    EXPECT_EQ(tally.folder_count, 1u);
    EXPECT_EQ(tally.max_abs_path, 4095u);
}

struct ReleaseCase {
    const char* name;
    bool start_request;
    bool worker_lets_go_last;
};
void PrintTo(const ReleaseCase& c, std::ostream* out)
{
    *out << c.name;
}

class ArgumentListRelease : public RequestsTest, public testing::WithParamInterface<ReleaseCase> {};

TEST_P(ArgumentListRelease, BlockIsFreedOnceByWhoeverLetsGoLast)
{
    const ReleaseCase c = GetParam();
    ArgumentBlock arguments({"heapwise", tree.path("a/f")});
    if (!c.start_request) {
        release_argument_list();
    } else if (c.worker_lets_go_last) {
        // The worker waits for the lock while the shell lets go; it must still read the arguments.
        scan_lock.lock();
        ASSERT_TRUE(start_argument_request());
        release_argument_list();
        EXPECT_EQ(blocks_freed, 0);
        scan_lock.unlock();
        wait_for_workers();
        EXPECT_EQ(tally.file_count, 1u);
    } else {
        ASSERT_TRUE(start_argument_request());
        wait_for_workers();
        EXPECT_EQ(blocks_freed, 0);
        release_argument_list();
    }
    EXPECT_EQ(blocks_freed, 1);
}

INSTANTIATE_TEST_SUITE_P(Holders, ArgumentListRelease,
                         testing::Values(ReleaseCase{"NoRequest", false, false},
                                         ReleaseCase{"ShellLast", true, false},
                                         ReleaseCase{"WorkerLast", true, true}),
                         [](const testing::TestParamInfo<ReleaseCase>& param) { return param.param.name; });

TEST_F(RequestsTest, DropItemsThatDoNotFitOrAreEmptyAreSkippedNotCut)
{
    // The root padded with separators still names the root: 4,095 bytes fit with the terminator,
    // 4,096 do not, and cut to 4,095 they would name the root again.
    if (!long_paths_reachable()) GTEST_SKIP() << "paths of 4 KB cannot be read here";
    const std::string fits = tree.path("b") + std::string(4095 - tree.path("b").size(), path_separator);
    const std::string too_long = fits + path_separator;
    store_failure_report(count_failure);

    run_drop({"", too_long});
    EXPECT_EQ(fields(tally), Fields{});
    EXPECT_EQ(failures_reported, 0);

    run_drop({fits});
    EXPECT_EQ(tally.folder_count, 1u);
    EXPECT_EQ(tally.max_abs_path, 4095u);
    EXPECT_EQ(shell.requests().size(), 2u);
}

TEST_F(RequestsTest, ResetAfterRequestZeroesTheCountsAndTellsThem)
{
    run_drop({tree.root()});
    shell.clear();

    reset_counts();

    EXPECT_EQ(fields(tally), Fields{});
    const std::vector<ScanEvent> events = shell.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, ScanEvent::reset);
    EXPECT_EQ(fields(events[0].counts), Fields{});
}

}  // namespace
