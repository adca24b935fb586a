// The terminal mode: counts the named paths as one argument request, keeps
// the four result texts the request writes for printing, and shows the folder
// being entered on one line of standard error while it runs, when standard
// error is a terminal.
#include "shell/print/print_mode.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/walk_team.h"
#include "core/window_port.h"
#include "resources/version.h"
#include "shell/print/terminal_texts.h"
#include "shell/print/usage.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

struct TerminalState {
    bool status_shown;
    bool had_failure;
};

TerminalState terminal;

// Whole lines on standard error: the progress line, drawn by the main thread,
// and the failure messages of the worker never cut into each other.
std::mutex terminal_mutex;

// The columns the progress line may take, read at each redraw so that it
// follows a resize: one less than the terminal's width, as some terminals
// wrap as soon as the last column is written. No limit where the width is
// unknown (the status text is short).
size_t status_line_columns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return SIZE_MAX;
    return size.ws_col - 1u;
}

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
    write_visible(stderr, text, strlen(text), status_line_columns());
    fflush(stderr);
    terminal.status_shown = true;
}

// The results are printed from the Tally once the request has ended, which
// the main thread sees when its worker ends: no text written is needed.
void terminal_set_text(void*, int, const char*) {}

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
    char texts[4][summary_text_size];
    files_text(texts[0]);
    folders_text(texts[1]);
    total_size_text(texts[2]);
    longest_path_text(texts[3]);
    const char* const lines[4] = {texts[0], texts[1], texts[2], texts[3]};
    fputs(in_terminal_encoding(result_lines(lines)).c_str(), stdout);
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
    fprintf(stderr, "heapwise: %s", problem);
    write_visible(stderr, what, strlen(what));
    fputs(" (try 'heapwise --help')\n", stderr);
    return 2;
}

// The walkers asked for with --jobs: a whole number from 1 to max_walkers;
// 0 when `text` is not one.
unsigned parse_jobs(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long value = strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > max_walkers) return 0;
    return static_cast<unsigned>(value);
}

// Everything written to standard output must have reached it: output lost
// (a full disk, a closed descriptor) is a failure, not a success. Returns
// `exit_code`, or 1 after naming the failure on standard error.
int close_standard_output(int exit_code)
{
    const bool failed_before = ferror(stdout) != 0;
    errno = 0;
    const bool close_failed = fclose(stdout) != 0;
    if (!failed_before && !close_failed) return exit_code;
    if (errno != 0)
        fprintf(stderr, "heapwise: cannot write standard output: %s\n", strerror(errno));
    else
        fputs("heapwise: cannot write standard output\n", stderr);
    return 1;
}

}  // namespace

int run_print_mode(int argc, char** argv)
{
    bool json = false;
    bool options_ended = false;
    // The argument list the request counts: the program, then the paths.
    std::unique_ptr<char*[]> args(new char*[static_cast<size_t>(argc) + 1]);
    int count = 0;
    args[count++] = argv[0];
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        if (options_ended || argument[0] != '-' || argument[1] == '\0') {
            args[count++] = argument;
        } else if (strcmp(argument, "--") == 0) {
            options_ended = true;
        } else if (strcmp(argument, "--print") == 0) {
            continue;
        } else if (strcmp(argument, "--json") == 0) {
            json = true;
        } else if (strcmp(argument, "--jobs") == 0 || strncmp(argument, "--jobs=", 7) == 0) {
            const bool joined = argument[6] == '=';
            const char* jobs = joined ? argument + 7 : i + 1 < argc ? argv[++i] : "";
            const unsigned walkers = parse_jobs(jobs);
            static_assert(max_walkers == 64, "the message below names the largest number of walkers");
            if (walkers == 0)
                return usage_error("--jobs takes a number of walkers from 1 to 64: ", joined ? argument : jobs);
            set_walkers_per_request(walkers);
        } else if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            write_usage(stdout);
            return close_standard_output(0);
        } else if (strcmp(argument, "--version") == 0) {
            puts("heapwise " HEAPWISE_VERSION);
            return close_standard_output(0);
        } else {
            return usage_error("unknown option ", argument);
        }
    }
    if (count == 1) return usage_error("no path given", "");
    args[count] = nullptr;

    reset_tally();
    load_number_format();
    // This thread only waits while the worker walks.
    give_workers_own_file_tables();
    const bool show_status = isatty(STDERR_FILENO) == 1;
    store_argument_list(count, args.release(), [](char** block) { delete[] block; });
    store_failure_report(print_failure);
    store_window_port(&terminal_port);

    if (!start_argument_request()) {
        // Nothing was counted: that must not read as an empty tree.
        fputs("heapwise: cannot start a worker thread\n", stderr);
        terminal.had_failure = true;
    }
    // The progress line about ten times a second, while the worker walks.
    constexpr unsigned status_interval_ms = 100;
    if (show_status)
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
    return close_standard_output(terminal.had_failure ? 1 : 0);
}
