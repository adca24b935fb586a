// Quitting while workers run: the process started again as a child that lets
// go of the argument list and exits while workers walk, hold scan_lock or wait
// for it, and must exit cleanly.
#include <fcntl.h>
#include <semaphore.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/drop.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "tests/support/temp_tree.h"

namespace {

// Quitting: the shell lets go of the argument list and the process exits while workers walk, hold
// scan_lock or wait for it. The child is this test program started again, so that it begins with no
// thread but its own.
const char quit_child_variable[] = "HEAPWISE_QUIT_CHILD";

sem_t first_worker_in;
sem_t never_posted;
std::atomic<int> stop_in_window{0};

void quiet_started(void*)
{
    sem_post(&first_worker_in);
    // A worker stopped here holds scan_lock until the process ends.
    if (stop_in_window.exchange(0) != 0) sem_wait(&never_posted);
}
const ScanEvents quiet_window = {nullptr, quiet_started, nullptr, nullptr, nullptr, false};

[[noreturn]] void run_quitting_child(const char* task)
{
    const int variant = task[0] - '0';  // 0: exit at once; 1: once a worker has the lock; 2: and is stopped
    // Paths point into the environment, which outlives every worker: nothing is left for a leak check.
    char* const root = const_cast<char*>(task + 2);
    sem_init(&first_worker_in, 0, 0);
    sem_init(&never_posted, 0, 0);
    stop_in_window = variant == 2;
    store_scan_events(&quiet_window);

    char** block = new char*[5]{const_cast<char*>("heapwise"), root, root, root, nullptr};
    store_argument_list(4, block, [](char** args) { delete[] args; });
    start_argument_request();
    const char* paths[] = {root, root};
    for (int i = 0; i < 3; ++i) start_drop_request(make_drop(paths, 2));

    if (variant != 0)
        while (sem_wait(&first_worker_in) != 0) {}
    release_argument_list();
    exit(0);
}

TEST(QuittingTest, ProcessExitsCleanlyWhileWorkersHoldOrWaitForTheLock)
{
    if (const char* task = getenv(quit_child_variable)) run_quitting_child(task);

    TempTree tree;
    tree.bushy(20);

    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    for (int round = 0; round < 6; ++round) {
        // The child's environment: ours without test-runner files it might touch, plus its task.
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable)
            if (strncmp(*variable, "GTEST_", 6) != 0 && strncmp(*variable, "TEST_PREMATURE_EXIT_FILE=", 25) != 0)
                environment.emplace_back(*variable);
        environment.push_back(std::string(quit_child_variable) + "=" + std::to_string(round % 3) + ":" + tree.root());
        std::vector<char*> envp;
        for (std::string& variable : environment) envp.push_back(variable.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>("quit_test"), filter.data(), nullptr};

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, STDOUT_FILENO);
            execve("/proc/self/exe", argv, envp.data());
            _exit(127);
        }

        // A hang detector, not a timing test: the bound is far beyond any normal exit.
        int status = 0;
        pid_t done = 0;
        for (int waited_ms = 0; (done = waitpid(child, &status, WNOHANG)) == 0 && waited_ms < 30000; waited_ms += 10) {
            const timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        if (done == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            FAIL() << "round " << round << ": the child did not exit within 30 s";
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "round " << round << ": child status " << status
            << (WIFSIGNALED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")" : "");
    }
}

}  // namespace
