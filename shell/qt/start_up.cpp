// The window program's start: the display checked, the count of the
// command-line paths started, then Qt and the main window while the walk runs.
#include "shell/qt/start_up.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDir>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/requests.h"
#include "core/tally.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "shell/qt/scan_bridge.h"
#include "shell/qt_options.h"
#include "text/number_format.h"

namespace {

// Whether an X server lets this program in, as Qt's xcb platform asks first.
// libxcb writes a refusing server's reason ("Authorization required...")
// straight to standard error, which is kept away from it: the program says
// in its own line that the display cannot be opened. Only this thread runs.
bool x11_answers()
{
    const int kept_error = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (kept_error >= 0 && nowhere >= 0) dup2(nowhere, STDERR_FILENO);
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (kept_error >= 0) {
        dup2(kept_error, STDERR_FILENO);
        close(kept_error);
    }
    if (nowhere >= 0) close(nowhere);
    return answers;
}

// Whether a Wayland compositor accepts a connection on its clients' socket.
bool wayland_answers()
{
    if (is_set("WAYLAND_SOCKET")) return true;  // a connection handed down to this program
    const char* display = is_set("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "wayland-0";
    const char* folder = getenv("XDG_RUNTIME_DIR");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    int len = -1;
    if (display[0] == '/')
        len = snprintf(address.sun_path, sizeof address.sun_path, "%s", display);
    else if (folder != nullptr && folder[0] == '/')
        len = snprintf(address.sun_path, sizeof address.sun_path, "%s/%s", folder, display);
    if (len < 0 || static_cast<size_t>(len) >= sizeof address.sun_path) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answers;
}

// Whether Qt has the platform plugin `name` ("xcb", "wayland", "wayland-egl"):
// a file libq<name>... in a platforms folder of Qt's plugin paths (its own,
// QT_PLUGIN_PATH's, QT_QPA_PLATFORM_PLUGIN_PATH). Qt aborts where the
// platform it is to start on has none (Debian installs qt6-wayland apart).
bool plugin_installed(const QString& name)
{
    QStringList folders = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    for (const QString& path : QCoreApplication::libraryPaths()) folders.append(path + QStringLiteral("/platforms"));
    const QStringList pattern = {QStringLiteral("libq") + name + QStringLiteral("*.so")};
    for (const QString& folder : folders)
        if (!QDir(folder).entryList(pattern, QDir::Files).isEmpty()) return true;
    return false;
}

// Whether a platform of a QT_QPA_PLATFORM list ("xcb;wayland", each maybe
// followed by ":options") can start: X11 and Wayland where the server
// answers and Qt has their plugin; another where Qt has its plugin.
bool listed_platform_answers(const char* list)
{
    for (const char* entry = list; *entry != '\0';) {
        const size_t len = strcspn(entry, ";");
        const size_t name_len = std::min(len, strcspn(entry, ":"));
        const QString name = QString::fromLocal8Bit(entry, static_cast<qsizetype>(name_len));
        const bool x11 = name == QStringLiteral("xcb");
        const bool wayland = name.startsWith(QStringLiteral("wayland"));
        if (name_len != 0 && plugin_installed(name) && (x11 ? x11_answers() : !wayland || wayland_answers()))
            return true;
        entry += len + (entry[len] == ';');
    }
    return false;
}

enum class Platform { users_choice, chosen_here, none_answers };

// The platform Qt is to start on, settled before anything starts: Qt aborts
// where none of the platforms it tries answers or has its plugin. The user's choice is Qt's
// -platform option, or else QT_QPA_PLATFORM. Wayland lets no window keep
// itself above the others, so where X11 answers too (XWayland) it is used,
// so that On Top works, unless the user chose.
Platform choose_platform(const char* platform_option)
{
    if (platform_option != nullptr)
        return listed_platform_answers(platform_option) ? Platform::users_choice : Platform::none_answers;
    if (is_set("QT_QPA_PLATFORM"))
        return listed_platform_answers(getenv("QT_QPA_PLATFORM")) ? Platform::users_choice : Platform::none_answers;
    if (plugin_installed(QStringLiteral("xcb")) && x11_answers())
        setenv("QT_QPA_PLATFORM", "xcb;wayland", 1);
    else if (plugin_installed(QStringLiteral("wayland")) && wayland_answers())
        setenv("QT_QPA_PLATFORM", "wayland", 1);
    else
        return Platform::none_answers;
    return Platform::chosen_here;
}

// The value of a -platform option among Qt's leading options, or null.
const char* platform_option(int argc, char** argv, int qt_options)
{
    const char* value = nullptr;
    for (int i = 1; i <= qt_options; i += qt_option_span(argc, argv, i))
        if (strcmp(argv[i], "-platform") == 0) value = argv[i + 1];
    return value;
}

}  // namespace

MainWindowWidget* start_window_program(int argc, char** argv)
{
    const int qt_options = leading_qt_options(argc, argv);
    const Platform platform = choose_platform(platform_option(argc, argv, qt_options));
    if (platform == Platform::none_answers) return nullptr;

    reset_tally();
    load_number_format();
    // Qt is shown its own options, which come first, and none of the paths.
    static int qt_argc = 1 + qt_options;
    static char** qt_argv = new char*[static_cast<size_t>(qt_argc) + 1];
    std::copy(argv, argv + qt_argc, qt_argv);
    qt_argv[qt_argc] = nullptr;
    char** const paths = after_qt_options(argv, qt_options);
    store_argument_list(drop_options_end(argc - qt_options, paths), paths, nullptr);
    report_failures_to_window();
    // Starting Qt takes longer than many a walk: the walk starts first.
    count_arguments_before_window();

    // Never destroyed: workers may still be using the window when it ends.
    auto* application = new QApplication(qt_argc, qt_argv);
    if (platform == Platform::chosen_here) unsetenv("QT_QPA_PLATFORM");  // not for programs started from here
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

int drop_options_end(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") != 0) continue;
        for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
        return argc - 1;
    }
    return argc;
}
