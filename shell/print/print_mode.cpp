// The terminal mode. Its "window" keeps the four result texts for printing
// and shows the status text on one line of standard error while a scan runs,
// when standard error is a terminal.
#include "shell/print/print_mode.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/main_window.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/print/usage.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

struct PrintWindow {
    char results[4][summary_text_size];  // files, folders, size, longest path
    bool show_status;
    bool status_shown;
    timespec last_status;
    bool had_failure;
};

PrintWindow print_window;

// Control characters in a name must not steer the terminal.
void write_visible(FILE* stream, const char* text, size_t len)
{
    for (size_t i = 0; i < len; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        fputc(byte < 0x20 || byte == 0x7F ? '?' : byte, stream);
    }
}

void clear_status_line()
{
    if (!print_window.status_shown) return;
    fputs("\r\033[K", stderr);
    fflush(stderr);
    print_window.status_shown = false;
}

// About ten times a second at most.
bool status_due()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    const long long elapsed_ms = (now.tv_sec - print_window.last_status.tv_sec) * 1000LL +
                                 (now.tv_nsec - print_window.last_status.tv_nsec) / 1000000;
    if (elapsed_ms < 100) return false;
    print_window.last_status = now;
    return true;
}

void print_window_set_text(void*, int control, const char* text)
{
    if (control >= IDC_FILES_FIELD && control <= IDC_PATH_FIELD) {
        snprintf(print_window.results[control - IDC_FILES_FIELD], summary_text_size, "%s", text);
        return;
    }
    if (control != IDC_STATUS_LINE || !print_window.show_status) return;
    if (strcmp(text, "Ready") == 0) {
        clear_status_line();
        return;
    }
    if (!status_due()) return;
    fputs("\r\033[K", stderr);
    write_visible(stderr, text, strlen(text));
    fflush(stderr);
    print_window.status_shown = true;
}

void print_window_set_enabled(void*, int, bool) {}

const MainWindow print_main_window = {nullptr, print_window_set_text, print_window_set_enabled};

void print_failure(ScanFailure failure, const char* path, size_t path_len, const char* name,
                   int error)
{
    clear_status_line();
    fputs(failure == ScanFailure::cannot_list ? "heapwise: cannot list folder '" : "heapwise: cannot read '",
          stderr);
    write_visible(stderr, path, path_len);
    if (name != nullptr) write_visible(stderr, name, strlen(name));
    fprintf(stderr, "': %s\n", strerror(error));
    print_window.had_failure = true;
}

void print_texts()
{
    static const char* const labels[4] = {"File Count:", "Folder Count:", "Total Size:", "Max Path:"};
    for (int i = 0; i < 4; ++i) printf("%-14s%s\n", labels[i], print_window.results[i]);
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
    print_window.show_status = isatty(STDERR_FILENO) == 1;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &print_window.last_status);
    store_argument_list(count, args, [](char** block) { delete[] block; });
    store_failure_report(print_failure);
    store_main_window(&print_main_window);

    refresh_summary();
    if (!start_argument_request()) {
        // Nothing was counted: that must not read as an empty tree.
        fputs("heapwise: cannot start a worker thread\n", stderr);
        print_window.had_failure = true;
    }
    wait_for_workers();

    store_main_window(nullptr);
    store_failure_report(nullptr);
    release_argument_list();
    clear_status_line();

    if (json)
        print_json();
    else
        print_texts();
    return print_window.had_failure ? 1 : 0;
}
