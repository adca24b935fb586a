// The terminal mode: counts the named paths as one argument request, keeps
// the four result texts the request writes for printing, and shows the folder
// being entered on one line of standard error while it runs, when standard
// error is a terminal.
#include "shell/print/print_mode.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/window_port.h"
#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/print/terminal_texts.h"
#include "shell/print/usage.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

struct TerminalState {
    char results[4][summary_text_size];  // files, folders, size, longest path
    bool show_status;
    bool status_shown;
    bool had_failure;
};

TerminalState terminal;

// Whole lines on standard error: the progress line, drawn by the main thread,
// and the failure messages of the worker never cut into each other.
std::mutex terminal_mutex;

// Caller holds terminal_mutex.
void clear_status_line()
{
    if (!terminal.status_shown) return;
    fputs("\r\033[K", stderr);
    fflush(stderr);
    terminal.status_shown = false;
}

// Draws the folder being entered, when one was posted since the last call.
void show_status_line()
{
    char text[progress_text_size];
    if (!take_progress(text)) return;
    const std::lock_guard<std::mutex> hold(terminal_mutex);
    fputs("\r\033[K", stderr);
    write_visible(stderr, text, strlen(text));
    fflush(stderr);
    terminal.status_shown = true;
}

// The four result texts are kept for printing. The status line's "Ready" is
// not needed: the main thread sees the request end when its worker does.
void terminal_set_text(void*, int control, const char* text)
{
    if (control >= IDC_FILES_FIELD && control <= IDC_PATH_FIELD)
        snprintf(terminal.results[control - IDC_FILES_FIELD], summary_text_size, "%s", text);
}

void terminal_set_enabled(void*, int, bool) {}

// Progress is taken by the main thread on its own clock: no wake-up needed.
const WindowPort terminal_port = {nullptr, terminal_set_text, terminal_set_enabled, nullptr};

void print_failure(ScanFailure failure, const char* path, size_t path_len, const char* name,
                   int error)
{
    const std::lock_guard<std::mutex> hold(terminal_mutex);
    clear_status_line();
    write_failure_line(failure, path, path_len, name, error);
    terminal.had_failure = true;
}

void print_texts()
{
    const char* const texts[4] = {terminal.results[0], terminal.results[1], terminal.results[2],
                                  terminal.results[3]};
    fputs(result_lines(texts).c_str(), stdout);
}

void print_json()
{
    printf("{\"file_count\": %u, \"files_read_only\": %u, \"files_system\": %u, \"files_hidden\": %u,\n"
           " \"folder_count\": %u, \"folders_read_only\": %u, \"folders_system\": %u, \"folders_hidden\": %u,\n"
           " \"total_bytes\": %llu,\n"
           " \"max_rel_depth\": %u, \"max_abs_depth\": %u, \"max_rel_path\": %u, \"max_abs_path\": %u}\n",
           tally.file_count, tally.files_read_only, tally.files_system, tally.files_hidden, tally.folder_count,
           tally.folders_read_only, tally.folders_system, tally.folders_hidden,
           static_cast<unsigned long long>(tally.total_bytes), tally.max_rel_depth, tally.max_abs_depth,
           tally.max_rel_path, tally.max_abs_path);
}

int usage_error(const char* problem, const char* what)
{
    fprintf(stderr, "heapwise: %s%s (try 'heapwise --help')\n", problem, what);
    return 2;
}

}  // namespace

int run_print_mode(int argc, char** argv)
{
    bool json = false;
    bool options_ended = false;
    int path_count = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options_ended || argument[0] != '-' || argument[1] == '\0') {
            ++path_count;
        } else if (strcmp(argument, "--") == 0) {
            options_ended = true;
        } else if (strcmp(argument, "--print") == 0) {
            continue;
        } else if (strcmp(argument, "--json") == 0) {
            json = true;
        } else if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            write_usage(stdout);
            return 0;
        } else if (strcmp(argument, "--version") == 0) {
            puts("heapwise " HEAPWISE_VERSION);
            return 0;
        } else {
            return usage_error("unknown option ", argument);
        }
    }
    if (path_count == 0) return usage_error("no path given", "");

    // The argument list the request counts: the program, then the paths.
    char** args = new char*[static_cast<size_t>(path_count) + 2];
    int count = 0;
    args[count++] = argv[0];
    options_ended = false;
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        if (options_ended || argument[0] != '-' || argument[1] == '\0')
            args[count++] = argument;
        else if (strcmp(argument, "--") == 0)
            options_ended = true;
    }
    args[count] = nullptr;

    reset_tally();
    load_number_format();
    init_scan_lock();
    // This thread only waits while the worker walks.
    give_workers_own_file_tables();
    terminal.show_status = isatty(STDERR_FILENO) == 1;
    store_argument_list(count, args, [](char** block) { delete[] block; });
    store_failure_report(print_failure);
    store_window_port(&terminal_port);

    refresh_summary();
    if (!start_argument_request()) {
        // Nothing was counted: that must not read as an empty tree.
        fputs("heapwise: cannot start a worker thread\n", stderr);
        terminal.had_failure = true;
    }
    // The progress line about ten times a second, while the worker walks.
    constexpr unsigned status_interval_ms = 100;
    if (terminal.show_status)
        while (!wait_for_workers_for(status_interval_ms)) show_status_line();
    wait_for_workers();

    store_window_port(nullptr);
    store_failure_report(nullptr);
    release_argument_list();
    {
        const std::lock_guard<std::mutex> hold(terminal_mutex);
        clear_status_line();
    }

    if (json)
        print_json();
    else
        print_texts();
    return terminal.had_failure ? 1 : 0;
}
