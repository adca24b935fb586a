// The Linux program's entry: the window, counting the paths named on the
// command line; with an option (--print, --json, --help, --version), or where
// there is no display, the terminal mode.
#include <unistd.h>

#include <QApplication>
#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/main_window.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "shell/print/print_mode.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "text/number_format.h"

namespace {

// The window takes paths only: any option before "--" belongs to the
// terminal mode, which also reports the unknown ones.
bool names_an_option(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) return false;
        if (argv[i][0] == '-' && argv[i][1] != '\0') return true;
    }
    return false;
}

bool is_set(const char* name)
{
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
}

bool has_display()
{
    return is_set("DISPLAY") || is_set("WAYLAND_DISPLAY") || is_set("QT_QPA_PLATFORM");
}

// Wayland lets no window keep itself above the others. Where X11 is there too
// (XWayland), run through it so that On Top works, unless the user chose.
bool choose_platform()
{
    if (is_set("QT_QPA_PLATFORM") || !is_set("DISPLAY")) return false;
    setenv("QT_QPA_PLATFORM", "xcb;wayland", 1);
    return true;
}

// The argument list is argv itself, less a first "--".
int drop_options_end(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") != 0) continue;
        for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
        return argc - 1;
    }
    return argc;
}

[[noreturn]] void run_window(int argc, char** argv)
{
    // Every argument is a path, so Qt is shown none of them.
    static int qt_argc = 1;
    static char* qt_argv[2] = {argv[0], nullptr};
    const bool platform_chosen = choose_platform();
    // Never destroyed: workers may still be using the window when it ends.
    auto* application = new QApplication(qt_argc, qt_argv);
    if (platform_chosen) unsetenv("QT_QPA_PLATFORM");  // not for programs started from here
    QGuiApplication::setDesktopFileName(QStringLiteral("heapwise"));
    QApplication::setWindowIcon(heapwise_icon());
    QApplication::setQuitOnLastWindowClosed(false);

    reset_tally();
    load_number_format();
    init_scan_lock();
    store_argument_list(drop_options_end(argc, argv), argv, nullptr);

    auto* window = new MainWindowWidget;
    QObject::connect(window, &MainWindowWidget::ended, application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window->show();
    application->exec();
    release_argument_list();

    // Workers may still be walking, or waiting for a window thread that no
    // longer serves them: end the process without waiting for them and
    // without running destructors under their feet.
    fflush(nullptr);
    _exit(0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (names_an_option(argc, argv) || !has_display()) return run_print_mode(argc, argv);
    run_window(argc, argv);
}
