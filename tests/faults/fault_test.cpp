// The real program on real trees with faults injected as it walks them: by a
// preloaded library (entries that vanish or turn into links, listings that
// fail), by resource limits (descriptors, stack), and by the kernel's own
// trees (/proc, /sys) and very wide and very deep folders; the deepest are
// walked on a worker and on a measured stack too.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/failure_report.h"
#include "core/file_system.h"
#include "core/tally.h"
#include "tests/support/recording_shell.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_tree.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

using Outcome = ProgramOutcome;

struct RunOptions {
    std::string fault;       // HEAPWISE_FAULT for the preloaded library; empty for none
    std::string fault_name;  // HEAPWISE_FAULT_NAME
    rlim_t descriptors = 0;  // soft and hard RLIMIT_NOFILE, 0 to keep
    rlim_t soft_descriptors = 0;  // soft RLIMIT_NOFILE only, 0 to keep
    rlim_t stack = 0;        // soft RLIMIT_STACK, 0 to keep
    unsigned jobs = 0;       // --jobs, 0 for the default
};

// Lowers the soft limit of `resource` to `soft`, and the hard one too when
// asked. Runs in the child, before exec.
bool lower_limit(int resource, rlim_t soft, bool hard_too)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0) return false;
    limit.rlim_cur = soft;
    if (hard_too) limit.rlim_max = soft;
    return setrlimit(resource, &limit) == 0;
}

Outcome run_heapwise(const std::vector<std::string>& paths, const RunOptions& options = {})
{
    ProgramLaunch launch;
    launch.argv = {HEAPWISE_PROGRAM, "--print", "--json"};
    if (options.jobs != 0) launch.argv.insert(launch.argv.end(), {"--jobs", std::to_string(options.jobs)});
    launch.argv.push_back("--");
    launch.argv.insert(launch.argv.end(), paths.begin(), paths.end());
    launch.environment = inherited_environment({"PATH", "TMPDIR", "ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"});
    launch.environment.push_back("LC_ALL=C");
    if (!options.fault.empty()) {
        launch.environment.push_back("LD_PRELOAD=" HEAPWISE_FAULT_SHIM);
        launch.environment.push_back("HEAPWISE_FAULT=" + options.fault);
        launch.environment.push_back("HEAPWISE_FAULT_NAME=" + options.fault_name);
    }
    // The program starts with its three standard streams only, as from a
    // shell, whatever the test runner left open: the limits count from there.
    launch.prepare = [&options] {
        close_range(3, ~0u, 0);
        return (options.descriptors == 0 || lower_limit(RLIMIT_NOFILE, options.descriptors, true)) &&
               (options.soft_descriptors == 0 || lower_limit(RLIMIT_NOFILE, options.soft_descriptors, false)) &&
               (options.stack == 0 || lower_limit(RLIMIT_STACK, options.stack, false));
    };
    return run_program(launch);
}

// A field of the --json output; fails the test when it is missing.
uint64_t field(const Outcome& outcome, const std::string& name)
{
    const std::string key = "\"" + name + "\": ";
    const size_t at = outcome.out.find(key);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << name << " in: " << outcome.out << outcome.err;
        return UINT64_MAX;
    }
    return std::strtoull(outcome.out.c_str() + at + key.size(), nullptr, 10);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// Every line on standard error names something that could not be read.
void expect_only_failure_lines(const Outcome& outcome)
{
    for (const std::string& line : lines(outcome.err))
        EXPECT_TRUE(line.rfind("heapwise: cannot read '", 0) == 0 || line.rfind("heapwise: cannot list folder '", 0) == 0)
            << line;
}

#define SKIP_UNDER_SANITIZERS(why) \
    do { if (sanitized) GTEST_SKIP() << why; } while (false)

constexpr const char* preload_skip = "a preloaded library cannot come before the sanitizer's runtime";

// A folder of three files of 1, 2 and 4 bytes and a sub-folder with two more.
void make_small_tree(TempTree& tree)
{
    tree.file("a", 1);
    tree.file("b", 2);
    tree.file("c", 4);
    tree.folder("sub");
    tree.file("sub/x", 8);
    tree.file("sub/y", 16);
}

}  // namespace

TEST(InjectedFaults, EntryRemovedBeforeItsQueryIsSkippedAndNamed)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    make_small_tree(tree);
    const Outcome outcome = run_heapwise({tree.root()}, {"vanish", "b"});
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    EXPECT_EQ(outcome.err, "heapwise: cannot read '" + tree.path("b") + "': No such file or directory\n");
    EXPECT_EQ(field(outcome, "file_count"), 4u);
    EXPECT_EQ(field(outcome, "total_bytes"), 1u + 4 + 8 + 16);
    EXPECT_EQ(field(outcome, "folder_count"), 2u);
}

TEST(InjectedFaults, EntryRenamedBeforeItsQueryIsCountedAtMostOnce)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    make_small_tree(tree);
    const Outcome outcome = run_heapwise({tree.root()}, {"rename", "b"});
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    EXPECT_EQ(outcome.err, "heapwise: cannot read '" + tree.path("b") + "': No such file or directory\n");
    // The new name may or may not come later in the same listing; either
    // way its two bytes count once at most.
    const uint64_t files = field(outcome, "file_count");
    const uint64_t bytes = field(outcome, "total_bytes");
    EXPECT_TRUE((files == 4 && bytes == 29) || (files == 5 && bytes == 31)) << outcome.out;
}

TEST(InjectedFaults, FolderReplacedByALinkToRootIsNotFollowed)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    make_small_tree(tree);
    const Outcome outcome = run_heapwise({tree.root()}, {"link_to_root", "sub"});
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    // Linux refuses a link opened as a folder without following it with
    // "Not a directory" (O_DIRECTORY wins over O_NOFOLLOW's ELOOP).
    EXPECT_EQ(outcome.err, "heapwise: cannot list folder '" + tree.path("sub") + "': Not a directory\n");
    // "sub" was a folder when queried: it counts, and nothing below it.
    EXPECT_EQ(field(outcome, "folder_count"), 2u);
    EXPECT_EQ(field(outcome, "file_count"), 3u);
    EXPECT_EQ(field(outcome, "total_bytes"), 7u);
    EXPECT_EQ(field(outcome, "max_rel_depth"), 2u);
}

TEST(InjectedFaults, ListingThatFailsMidwayKeepsWhatItListed)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    tree.folder("many");
    for (int i = 0; i < 10; ++i) tree.file("many/f" + std::to_string(i), 1);
    tree.file("outside", 100);
    const Outcome outcome = run_heapwise({tree.root()}, {"listing_eio", "many"});
    EXPECT_EQ(outcome.exit_code, 1) << outcome.err;
    EXPECT_EQ(outcome.err, "heapwise: cannot list folder '" + tree.path("many") + "': Input/output error\n");
    EXPECT_EQ(field(outcome, "file_count"), 4u);
    EXPECT_EQ(field(outcome, "total_bytes"), 103u);
    EXPECT_EQ(field(outcome, "folder_count"), 2u);
}

// The small tree with a link, a FIFO and a hidden read-only file added.
void make_mixed_tree(TempTree& tree)
{
    make_small_tree(tree);
    tree.symlink("link", "sub");
    tree.fifo("pipe");
    tree.file(".hidden", 32, 0444);
}

TEST(InjectedFaults, ListingWithoutEntryTypesCountsTheSame)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    make_mixed_tree(tree);
    const Outcome plain = run_heapwise({tree.root()});
    const Outcome untyped = run_heapwise({tree.root()}, {"no_types", ""});
    EXPECT_EQ(plain.exit_code, 0) << plain.err;
    EXPECT_EQ(untyped.exit_code, 0) << untyped.err;
    EXPECT_EQ(untyped.out, plain.out);
    EXPECT_EQ(field(untyped, "file_count"), 8u);
    EXPECT_EQ(field(untyped, "files_system"), 1u);
}

// A kernel without statx, or a system-call filter that refuses it: the walk
// asks fstatat instead and counts the same.
TEST(InjectedFaults, RefusedStatxFallsBackToFstatat)
{
    SKIP_UNDER_SANITIZERS(preload_skip);
    TempTree tree;
    make_mixed_tree(tree);
    const Outcome plain = run_heapwise({tree.root()});
    for (const char* refusal : {"statx_enosys", "statx_eperm"}) {
        const Outcome refused = run_heapwise({tree.root()}, {refusal, ""});
        EXPECT_EQ(refused.exit_code, 0) << refusal << ": " << refused.err;
        EXPECT_EQ(refused.out, plain.out) << refusal;
    }
}

// Descriptors: short of them, a walker gives back the folders it holds above
// and opens them again on the way back, and fewer walkers take work. Chains
// deeper than a walker holds at once, with files at every level, count the
// same with one walker and with sixteen under a soft limit of 16 (raised at
// start) and a hard one of 96. Only where the system gives not even one
// folder below the top (a hard limit of 4) are the folders named and not
// walked, the same with any number of walkers.
TEST(InjectedFaults, DescriptorsRunningShortNeverChangeTheCounts)
{
    TempTree tree;
    for (int chain = 0; chain < 6; ++chain) {
        std::string folder = "c" + std::to_string(chain);
        tree.folder(folder);
        for (int level = 0; level < 150; ++level) {
            for (int file = 0; file < 3; ++file) tree.file(folder + "/f" + std::to_string(file), 1);
            folder += "/d";
            tree.folder(folder);
        }
    }
    const Outcome unlimited = run_heapwise({tree.root()});
    ASSERT_EQ(unlimited.exit_code, 0) << unlimited.err;
    ASSERT_EQ(field(unlimited, "folder_count"), 1u + 6 * 151);
    ASSERT_EQ(field(unlimited, "file_count"), 6u * 150 * 3);

    std::string starved_output;
    for (const unsigned jobs : {1u, 16u}) {
        SCOPED_TRACE(testing::Message() << jobs << " walkers");
        RunOptions soft_only;
        soft_only.soft_descriptors = 16;
        RunOptions hard;
        hard.descriptors = 96;
        for (RunOptions* options : {&soft_only, &hard}) {
            options->jobs = jobs;
            const Outcome limited = run_heapwise({tree.root()}, *options);
            EXPECT_EQ(limited.exit_code, 0) << limited.err;
            EXPECT_EQ(limited.out, unlimited.out);
        }

        RunOptions starved;
        starved.descriptors = 4;  // the standard streams, and one for the loader and the top folder
        starved.jobs = jobs;
        const Outcome outcome = run_heapwise({tree.root()}, starved);
        EXPECT_EQ(outcome.exit_code, 1);
        EXPECT_EQ(field(outcome, "folder_count"), 7u);
        const std::vector<std::string> errors = lines(outcome.err);
        EXPECT_EQ(errors.size(), 6u) << outcome.err;
        for (const std::string& error : errors)
            EXPECT_TRUE(error.starts_with("heapwise: cannot list folder '" + tree.root() + "/c") &&
                        error.ends_with("': Too many open files"))
                << error;
        if (jobs == 1) starved_output = outcome.out;
        EXPECT_EQ(outcome.out, starved_output);
    }
}

// The kernel's trees change as they are read and hold entries even root may
// not read. The walk must finish; the exit code must say whether anything
// was skipped, and as root nothing in the process's own /proc entry is but
// the descriptors other walkers closed between their listing and query.
TEST(KernelTrees, ProcSelfAndSysKernelFinish)
{
    for (const char* path : {"/proc/self", "/sys/kernel"}) {
        SCOPED_TRACE(path);
        const Outcome outcome = run_heapwise({path});
        ASSERT_TRUE(outcome.exit_code == 0 || outcome.exit_code == 1) << outcome.exit_code << outcome.err;
        EXPECT_EQ(outcome.exit_code == 1, !outcome.err.empty()) << outcome.err;
        expect_only_failure_lines(outcome);
        EXPECT_GT(field(outcome, "folder_count"), 1u);
        EXPECT_GT(field(outcome, "file_count"), 0u);
        if (geteuid() == 0 && strcmp(path, "/proc/self") == 0) {
            for (const std::string& line : lines(outcome.err))
                EXPECT_TRUE((line.find("/fd/") != std::string::npos || line.find("/fdinfo/") != std::string::npos) &&
                            line.ends_with("': No such file or directory"))
                    << line;
        }
    }
}

TEST(LargeTrees, FolderOfOneHundredThousandEntries)
{
    TempTree tree;
    tree.folder("wide");
    const int folder = open(tree.path("wide").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (int i = 0; i < 100000; ++i) {
        const std::string name = "entry-" + std::to_string(i);
        const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name << ": " << strerror(errno);
        if (i % 1000 == 0) {
            ASSERT_EQ(write(fd, "x", 1), 1);
        }
        close(fd);
    }
    close(folder);
    const Outcome outcome = run_heapwise({tree.path("wide")});
    EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
    EXPECT_EQ(field(outcome, "file_count"), 100000u);
    EXPECT_EQ(field(outcome, "total_bytes"), 100u);
    EXPECT_EQ(field(outcome, "folder_count"), 1u);
    EXPECT_EQ(field(outcome, "max_rel_path"), length("/entry-99999"));
}

namespace {

// The deepest trees: 2,000 levels of "d" (the longest chain the path buffer
// holds below a short temporary folder) and a file at the bottom, walked to
// the bottom in each of the ways a deep walk can fail, and counted the same.
struct DeepWalk {
    const char* name;
    bool under_sanitizers;  // sanitizers make every stack frame several times larger
    Tally (*walk)(const std::string& root);
};

void PrintTo(const DeepWalk& walk, std::ostream* out)
{
    *out << walk.name;
}

size_t open_descriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Counted by a drop's worker, as the program counts: one recursion and one
// descriptor per level, each closed again, and nothing it cannot read.
Tally walk_on_a_worker(const std::string& root)
{
    reset_tally();
    store_failure_report([](ScanFailure, const char* path, size_t path_len, const char*, int error) {
        ADD_FAILURE() << "cannot read " << std::string(path, path_len) << ": " << strerror(error);
    });
    const size_t descriptors = open_descriptors();
    run_drop({root});
    EXPECT_EQ(open_descriptors(), descriptors);
    store_failure_report(nullptr);
    return tally;
}

// Counted on a thread whose 256 KiB stack is painted beforehand and guarded
// below, so an overflow faults and the untouched paint shows the walk's
// high-water mark: the deepest walk the path buffer allows must fit too.
Tally walk_on_a_measured_stack(const std::string& root)
{
    constexpr size_t stack_size = 256 * 1024;
    constexpr size_t guard_size = 64 * 1024;
    constexpr unsigned char paint = 0xA5;
    void* block = mmap(nullptr, guard_size + stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(block, MAP_FAILED);
    if (block == MAP_FAILED) return {};
    auto* stack = static_cast<unsigned char*>(block) + guard_size;
    EXPECT_EQ(mprotect(block, guard_size, PROT_NONE), 0);
    memset(stack, paint, stack_size);

    reset_tally();
    std::string path = root;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    EXPECT_EQ(pthread_attr_setstack(&attributes, stack, stack_size), 0);
    pthread_t thread;
    const auto walk = [](void* raw) -> void* {
        scan_path(*static_cast<std::string*>(raw));
        return nullptr;
    };
    EXPECT_EQ(pthread_create(&thread, &attributes, walk, &path), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);

    size_t untouched = 0;
    while (untouched < stack_size && stack[untouched] == paint) ++untouched;
    const size_t used = stack_size - untouched;
    const size_t levels = tally.max_rel_depth;
    testing::Test::RecordProperty("stack_bytes_per_level", static_cast<int>(used / levels));
    printf("walk of %zu levels used %zu bytes of stack, %zu per level\n", levels, used, used / levels);
    EXPECT_LT(used / levels * max_folder_level, stack_size) << used << " bytes for " << levels << " levels";
    munmap(block, guard_size + stack_size);
    return tally;
}

// Counted by the program itself, its main thread given a 256 KiB stack: the
// walk runs on a worker with a stack of its own.
Tally walk_in_the_program(const std::string& root)
{
    RunOptions small_stack;
    small_stack.stack = 256 * 1024;
    const Outcome outcome = run_heapwise({root}, small_stack);
    EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
    const auto number = [&outcome](const char* name) { return static_cast<uint32_t>(field(outcome, name)); };
    return {number("file_count"), number("files_read_only"), number("files_system"), number("files_hidden"),
            number("folder_count"), number("folders_read_only"), number("folders_system"), number("folders_hidden"),
            field(outcome, "total_bytes"), number("max_rel_depth"), number("max_abs_depth"),
            number("max_rel_path"), number("max_abs_path")};
}

class TwoThousandLevels : public testing::TestWithParam<DeepWalk> {};

}  // namespace

TEST_P(TwoThousandLevels, AreWalkedToTheBottom)
{
    if (sanitized && !GetParam().under_sanitizers) GTEST_SKIP() << "sanitizers make stack frames larger";
    constexpr uint32_t levels = 2000;
    TempTree tree;
    const std::string root = tree.root();
    const uint32_t rel_file = 2 * levels + 2;  // "/d" per level, then "/f"
    ASSERT_LT(root.size() + rel_file, path_capacity) << "temporary folder path too long: " << root;
    tree.file(tree.folder_chain("d", levels) + "/f", 9);

    const uint32_t slashes = static_cast<uint32_t>(std::count(root.begin(), root.end(), '/'));
    Tally expected{};
    expected.file_count = 1;
    expected.folder_count = levels + 1;
    expected.total_bytes = 9;
    expected.max_rel_depth = levels + 1;
    expected.max_abs_depth = levels + 1 + slashes;
    expected.max_rel_path = rel_file;
    expected.max_abs_path = length(root) + rel_file;
    EXPECT_EQ(describe(GetParam().walk(root)), describe(expected));
}

INSTANTIATE_TEST_SUITE_P(DeepWalk, TwoThousandLevels,
                         testing::Values(DeepWalk{"OnAWorker", true, walk_on_a_worker},
                                         DeepWalk{"OnAMeasuredStack", false, walk_on_a_measured_stack},
                                         DeepWalk{"InTheProgram", false, walk_in_the_program}),
                         [](const testing::TestParamInfo<DeepWalk>& param) { return param.param.name; });
