// The desktop program's window as it starts on PATH..., ending itself as soon
// as the count of those paths has ended: timed from start to exit, it gives
// the time from start to "Ready" with the window on the screen.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <thread>

#include "core/threads.h"
#include "resources/control_ids.h"
#include "shell/qt/main_window.h"
#include "shell/qt/start_up.h"

int main(int argc, char** argv)
{
    static MainWindowWidget* window = start_window_program(argc, argv);
    if (window == nullptr) {
        fputs("window_until_ready: cannot open the display\n", stderr);
        return 2;
    }
    // Ends once the count has ended and the window is on the screen, painted.
    static void (*quit_when_shown)() = [] {
        if (window->windowHandle() != nullptr && window->windowHandle()->isExposed())
            QCoreApplication::quit();
        else
            QTimer::singleShot(1, quit_when_shown);
    };
    std::thread([] {
        wait_for_workers();
        QMetaObject::invokeMethod(qApp, quit_when_shown, Qt::QueuedConnection);
    }).detach();
    QCoreApplication::exec();

    const auto* status = qobject_cast<QLabel*>(window->control(IDC_STATUS_LINE));
    const auto* files = qobject_cast<QLineEdit*>(window->control(IDC_FILES_FIELD));
    printf("%s: %s\n", qPrintable(status->text()), qPrintable(files->text()));
    fflush(stdout);
    _exit(status->text() == QLatin1String("Ready") ? 0 : 1);
}
