// The terminal mode: counts the named paths as one argument request, waits
// for it to finish and prints its counts; meanwhile it shows the folder being
// entered on one line of standard error, when standard error is a terminal,
// and clears that line when Ctrl+C or SIGTERM ends the program.
#include "shell/print/print_mode.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "core/threads.h"
#include "core/walk_team.h"
#include "resources/version.h"
#include "shell/print/terminal_texts.h"
#include "shell/print/usage.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

// Whether the progress line is on the screen, and the columns it takes:
// atomics free of locks, as the signal handler reads them.
std::atomic<bool> status_shown{false};
std::atomic<size_t> status_columns{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<size_t>::is_always_lock_free);

// A terminal that takes no escape sequences (TERM dumb, unset or empty): the
// line is drawn and cleared with carriage returns and spaces. Set before the
// signal handlers are installed.
bool plain_terminal = false;

// Whole lines on standard error: the progress line, drawn by the main thread,
// and the failure messages of the walkers never cut into each other.
std::mutex terminal_mutex;

// What the request tells the main thread, which waits for it.
struct RequestNews {
    std::mutex mutex;
    std::condition_variable told;
    bool progress_waiting;
    bool finished;
    Tally counts;
    uint32_t unreadable;
};

RequestNews news;

void progress_waiting(void*)
{
    const std::lock_guard<std::mutex> hold(news.mutex);
    news.progress_waiting = true;
    news.told.notify_one();
}

void request_finished(void*, const Tally& counts, uint32_t unreadable)
{
    const std::lock_guard<std::mutex> hold(news.mutex);
    news.finished = true;
    news.counts = counts;
    news.unreadable = unreadable;
    news.told.notify_one();
}

// The progress line about ten times a second at most.
constexpr auto status_interval = std::chrono::milliseconds(100);

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

bool names_a_plain_terminal(const char* term)
{
    return term == nullptr || *term == '\0' || strcmp(term, "dumb") == 0;
}

// write() alone, which a signal handler may call.
void write_all(const char* bytes, size_t len)
{
    while (len > 0) {
        const ssize_t written = write(STDERR_FILENO, bytes, len);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        len -= static_cast<size_t>(written);
    }
}

void write_spaces(size_t count)
{
    static constexpr char spaces[] = "                                ";
    for (size_t part; count > 0; count -= part) {
        part = std::min(count, sizeof spaces - 1);
        write_all(spaces, part);
    }
}

// Async-signal-safe, so that the signal handler clears the line the same
// way. Caller holds terminal_mutex, or is the handler.
void erase_status_line()
{
    if (!status_shown.load()) return;
    if (plain_terminal) {
        write_all("\r", 1);
        write_spaces(status_columns.load());
        write_all("\r", 1);
    } else {
        write_all("\r\033[K", 4);
    }
}

// Caller holds terminal_mutex.
void clear_status_line()
{
    fflush(stderr);
    erase_status_line();
    status_shown = false;
    status_columns = 0;
}

// SIGINT and SIGTERM, which the handler below catches.
sigset_t ending_signals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// Clears the line, then lets the signal end the program as it would have,
// so that the shell sees the signal (130 for Ctrl+C, 143 for SIGTERM). The
// disposition is the default again (SA_RESETHAND), and the signal raised here
// is taken as the handler returns.
void end_by_signal(int signal_number)
{
    const int saved_errno = errno;
    erase_status_line();
    raise(signal_number);
    errno = saved_errno;
}

// Only where the line is shown; a signal ignored at the start (a background
// job, nohup) stays ignored.
void clear_status_line_on_signals()
{
    for (const int signal_number : {SIGINT, SIGTERM}) {
        struct sigaction action {};
        if (sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = end_by_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal_number, &action, nullptr);
    }
}

// Draws the folder being entered, when one was posted since the last call;
// returns whether one was. The handler cannot come in while the line is
// half drawn: the walkers never take the signals (see run_print_mode) and this
// thread holds them off meanwhile.
bool show_status_line()
{
    char rel[progress_text_size];
    if (!take_progress(rel)) return false;
    char text[status_text_size];
    status_text(text, rel, strlen(rel));
    const std::lock_guard<std::mutex> hold(terminal_mutex);
    const sigset_t signals = ending_signals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &signals, &before);
    const size_t limit = status_line_columns();
    fputs(plain_terminal ? "\r" : "\r\033[K", stderr);
    const size_t columns = write_visible(stderr, text, strlen(text), limit);
    fflush(stderr);
    // Spaces over what the previous line left beyond this one.
    const size_t previous = std::min(status_columns.load(), limit);
    if (plain_terminal && previous > columns) write_spaces(previous - columns);
    status_columns = columns;
    status_shown = true;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return true;
}

// Until the request has finished: woken by its progress, shows it after
// status_interval (a walk shorter than that shows none), and again every
// status_interval while there is more.
void wait_until_finished()
{
    std::unique_lock<std::mutex> hold(news.mutex);
    bool more = false;
    while (!news.finished) {
        if (!more) news.told.wait(hold, [] { return news.finished || news.progress_waiting; });
        news.progress_waiting = false;
        if (news.told.wait_for(hold, status_interval, [] { return news.finished; })) break;
        hold.unlock();
        more = show_status_line();
        hold.lock();
    }
}

void print_failure(ScanFailure failure, const char* path, size_t path_len, const char* name,
                   int error)
{
    const std::lock_guard<std::mutex> hold(terminal_mutex);
    clear_status_line();
    write_failure_line(failure, path, path_len, name, error);
}

void print_texts(const Tally& counts)
{
    char texts[4][summary_text_size];
    files_text(texts[0], counts);
    folders_text(texts[1], counts);
    total_size_text(texts[2], counts);
    longest_path_text(texts[3], counts);
    const char* const lines[4] = {texts[0], texts[1], texts[2], texts[3]};
    fputs(in_terminal_encoding(result_lines(lines)).c_str(), stdout);
}

void print_json(const Tally& counts)
{
    printf("{\"file_count\": %u, \"files_read_only\": %u, \"files_system\": %u, \"files_hidden\": %u,\n"
           " \"folder_count\": %u, \"folders_read_only\": %u, \"folders_system\": %u, \"folders_hidden\": %u,\n"
           " \"total_bytes\": %llu,\n"
           " \"max_rel_depth\": %u, \"max_abs_depth\": %u, \"max_rel_path\": %u, \"max_abs_path\": %u}\n",
           counts.file_count, counts.files_read_only, counts.files_system, counts.files_hidden, counts.folder_count,
           counts.folders_read_only, counts.folders_system, counts.folders_hidden,
           static_cast<unsigned long long>(counts.total_bytes), counts.max_rel_depth, counts.max_abs_depth,
           counts.max_rel_path, counts.max_abs_path);
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
    plain_terminal = names_a_plain_terminal(getenv("TERM"));
    if (show_status) clear_status_line_on_signals();
    store_argument_list(count, args.release(), [](char** block) { delete[] block; });
    store_failure_report(print_failure);
    // The progress is only taken where it is shown.
    static const ScanEvents terminal_events = {nullptr, nullptr, show_status ? progress_waiting : nullptr,
                                        request_finished, nullptr, false};
    store_scan_events(&terminal_events);

    // The walkers start with the signals blocked and keep them so: this
    // thread alone takes them.
    const sigset_t signals = ending_signals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &signals, &before);
    const bool started = start_argument_request();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (started)
        wait_until_finished();
    else
        // Nothing was counted: that must not read as an empty tree.
        fputs("heapwise: cannot start a worker thread\n", stderr);

    store_scan_events(nullptr);
    store_failure_report(nullptr);
    release_argument_list();
    {
        const std::lock_guard<std::mutex> hold(terminal_mutex);
        clear_status_line();
    }

    // Without a worker the counts are the zeroed Tally.
    const Tally counts = news.finished ? news.counts : tally;
    if (json)
        print_json(counts);
    else
        print_texts(counts);
    return close_standard_output(!started || news.unreadable != 0 ? 1 : 0);
}
