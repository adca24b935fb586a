// The window program's start: the count of the command-line paths first,
// then Qt and the main window while the walk runs.
#include "shell/qt/start_up.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/requests.h"
#include "core/tally.h"
#include "core/threads.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "shell/qt_options.h"
#include "text/number_format.h"

namespace {

bool is_set(const char* name)
{
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
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

}  // namespace

MainWindowWidget* start_window_program(int argc, char** argv)
{
    reset_tally();
    load_number_format();
    init_scan_lock();
    // Qt is shown its own options, which come first, and none of the paths.
    const int qt_options = leading_qt_options(argc, argv);
    static int qt_argc = 1 + qt_options;
    static char** qt_argv = new char*[static_cast<size_t>(qt_argc) + 1];
    std::copy(argv, argv + qt_argc, qt_argv);
    qt_argv[qt_argc] = nullptr;
    argv[qt_options] = argv[0];
    store_argument_list(drop_options_end(argc - qt_options, argv + qt_options), argv + qt_options, nullptr);
    report_failures_to_window();
    // Starting Qt takes longer than many a walk: the walk starts first.
    count_arguments_before_window();

    const bool platform_chosen = choose_platform();
    // Never destroyed: workers may still be using the window when it ends.
    auto* application = new QApplication(qt_argc, qt_argv);
    if (platform_chosen) unsetenv("QT_QPA_PLATFORM");  // not for programs started from here
    QCoreApplication::setApplicationName(QStringLiteral("heapwise"));
    QGuiApplication::setDesktopFileName(QStringLiteral("heapwise"));
    QApplication::setWindowIcon(heapwise_icon());
    QApplication::setQuitOnLastWindowClosed(false);

    auto* window = new MainWindowWidget;
    QObject::connect(window, &MainWindowWidget::ended, application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window->show();
    return window;
}
