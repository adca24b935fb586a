// The window program's entry (heapwise-window, which heapwise starts where a
// display is present): the main window, counting the paths named on the
// command line, or the terminal mode where the display cannot be opened.
#include <unistd.h>

#include <QCoreApplication>

#include <cstdio>
#include <vector>

#include "core/requests.h"
#include "shell/print/print_mode.h"
#include "shell/qt/start_up.h"
#include "shell/qt_options.h"

namespace {

// The terminal mode over the window's paths: every argument after Qt's
// options, less a first "--".
int count_in_terminal(int argc, char** argv)
{
    const int qt_options = leading_qt_options(argc, argv);
    argv = after_qt_options(argv, qt_options);
    argc = drop_options_end(argc - qt_options, argv);
    static char options_end[] = "--";
    std::vector<char*> arguments = {argv[0], options_end};
    arguments.insert(arguments.end(), argv + 1, argv + argc + 1);  // and the terminating null
    return run_print_mode(static_cast<int>(arguments.size()) - 1, arguments.data());
}

}  // namespace

int main(int argc, char** argv)
{
    if (start_window_program(argc, argv) == nullptr) {
        fputs("heapwise: cannot open the display; counting in the terminal\n", stderr);
        return count_in_terminal(argc, argv);
    }
    QCoreApplication::exec();
    release_argument_list();

    // Workers may still be walking, or waiting for a window thread that no
    // longer serves them: end the process without waiting for them and
    // without running destructors under their feet.
    fflush(nullptr);
    _exit(0);
}
