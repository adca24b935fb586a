// The Linux program's entry. With an option (--print, --json, --help,
// --version), or where there is no display, it counts in the terminal;
// otherwise it becomes the window program, heapwise-window, which alone links
// Qt, so the terminal mode starts as small and as fast as ever. A build
// without Qt has no window program and counts in the terminal instead.
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "shell/print/print_mode.h"
#include "shell/qt_options.h"

namespace {

constexpr bool window_program_built = HEAPWISE_WINDOW_BUILT;

// The window takes paths only (after Qt's own options): any other option
// before "--" belongs to the terminal mode, which also reports the unknown
// ones.
bool names_an_option(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) return false;
        if (argv[i][0] == '-' && argv[i][1] != '\0') return true;
    }
    return false;
}

bool has_display()
{
    return is_set("DISPLAY") || is_set("WAYLAND_DISPLAY") || is_set("QT_QPA_PLATFORM");
}

// Replaces this process with the window program, found next to this one (the
// build folder) or in the installation's libexec folder. Returns only on
// failure.
void become_window_program(char** argv)
{
    char folder[PATH_MAX];
    const ssize_t len = readlink("/proc/self/exe", folder, sizeof folder - 1);
    if (len <= 0) return;
    folder[len] = '\0';
    char* last_slash = strrchr(folder, '/');
    if (last_slash == nullptr) return;
    *last_slash = '\0';
    for (const char* place : {"/heapwise-window", "/" HEAPWISE_LIBEXEC_FROM_BIN "/heapwise-window"}) {
        char path[PATH_MAX];
        if (snprintf(path, sizeof path, "%s%s", folder, place) >= static_cast<int>(sizeof path)) continue;
        execv(path, argv);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // Qt's own options before the paths are the window's (heapwise -style fusion PATH), and left
    // out where the terminal counts.
    const int qt_options = leading_qt_options(argc, argv);
    if (names_an_option(argc - qt_options, argv + qt_options)) return run_print_mode(argc, argv);
    if (!has_display()) return run_print_mode(argc - qt_options, after_qt_options(argv, qt_options));
    if (!window_program_built) {
        fputs("heapwise: the window is not built (Qt 6 Widgets was missing); counting in the terminal\n", stderr);
        return run_print_mode(argc - qt_options, after_qt_options(argv, qt_options));
    }
    become_window_program(argv);
    fprintf(stderr, "heapwise: cannot start the window program: %s\n", strerror(errno));
    return 2;
}
