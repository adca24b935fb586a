// Quitting while workers run: the process started again as a child that lets
// go of the argument list and exits while workers walk, hold scan_lock or wait
// for it, and must exit cleanly with code 0.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

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

const char quit_child_variable[] = "HEAPWISE_QUIT_CHILD";

HANDLE first_worker_in;
HANDLE never_set;
volatile LONG stop_in_window = 0;

void quiet_started(void*)
{
    SetEvent(first_worker_in);
    // A worker stopped here holds scan_lock until the process ends.
    if (InterlockedExchange(&stop_in_window, 0) != 0) WaitForSingleObject(never_set, INFINITE);
}
const ScanEvents quiet_window = {nullptr, quiet_started, nullptr, nullptr, nullptr, false};

[[noreturn]] void run_quitting_child(const char* task)
{
    const int variant = task[0] - '0';  // 0: exit at once; 1: once a worker has the lock; 2: and is stopped
    // Paths point into the environment, which outlives every worker.
    char* const root = const_cast<char*>(task + 2);
    first_worker_in = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    never_set = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stop_in_window = variant == 2;
    store_scan_events(&quiet_window);

    char** block = new char*[5]{const_cast<char*>("heapwise"), root, root, root, nullptr};
    store_argument_list(4, block, [](char** args) { delete[] args; });
    start_argument_request();
    const char* paths[] = {root, root};
    for (int i = 0; i < 3; ++i) start_drop_request(make_drop(paths, 2));

    if (variant != 0) WaitForSingleObject(first_worker_in, INFINITE);
    release_argument_list();
    // As the program ends (shell/win32/winmain.cpp).
    ExitProcess(0);
}

// This process's environment without test-runner variables the child might
// act on, plus the child's task, as a block for CreateProcessA.
std::vector<char> child_environment(const std::string& task)
{
    std::vector<char> block;
    char* const strings = GetEnvironmentStringsA();
    for (const char* variable = strings; *variable != '\0'; variable += strlen(variable) + 1) {
        if (strncmp(variable, "GTEST_", 6) == 0 || strncmp(variable, "TEST_PREMATURE_EXIT_FILE=", 25) == 0) continue;
        if (strncmp(variable, quit_child_variable, sizeof quit_child_variable - 1) == 0) continue;
        block.insert(block.end(), variable, variable + strlen(variable) + 1);
    }
    FreeEnvironmentStringsA(strings);
    const std::string own = std::string(quit_child_variable) + "=" + task;
    block.insert(block.end(), own.c_str(), own.c_str() + own.size() + 1);
    block.push_back('\0');
    return block;
}

TEST(QuittingTest, ProcessExitsCleanlyWhileWorkersHoldOrWaitForTheLock)
{
    if (const char* task = getenv(quit_child_variable)) run_quitting_child(task);

    TempTree tree;
    tree.bushy(10);

    char program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string command = std::string("\"") + program + "\" --gtest_filter=" + test->test_suite_name() + "." +
        test->name();

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE null_output = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(null_output, INVALID_HANDLE_VALUE);
    for (int round = 0; round < 6; ++round) {
        std::vector<char> environment = child_environment(std::to_string(round % 3) + ":" + tree.root());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = null_output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION child{};
        ASSERT_TRUE(CreateProcessA(program, command.data(), nullptr, nullptr, TRUE, 0, environment.data(), nullptr,
                                   &startup, &child))
            << "round " << round << ": error " << GetLastError();
        CloseHandle(child.hThread);

        // A hang detector, not a timing test: the bound is far beyond any normal exit.
        const DWORD waited = WaitForSingleObject(child.hProcess, 60000);
        DWORD code = 0;
        if (waited != WAIT_OBJECT_0) {
            TerminateProcess(child.hProcess, 99);
            WaitForSingleObject(child.hProcess, INFINITE);
        }
        GetExitCodeProcess(child.hProcess, &code);
        CloseHandle(child.hProcess);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "round " << round << ": the child did not exit within 60 s";
        EXPECT_EQ(code, 0u) << "round " << round;
    }
    CloseHandle(null_output);
}

}  // namespace
