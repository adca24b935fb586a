// Takes the README's pictures of the two windows: counts the paths given in
// the main window, then saves it and the About box as PNG files in a folder.
// Usage: heapwise_qt_screenshots FOLDER PATH... (tools/screenshots-qt.sh runs
// it under Xvfb).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include <cstdio>

#include "core/requests.h"
#include "core/tally.h"
#include "resources/control_ids.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "text/number_format.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fputs("usage: heapwise_qt_screenshots FOLDER PATH...\n", stderr);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setWindowIcon(heapwise_icon());
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    reset_tally();
    load_number_format();
    // The argument list: the program, then the paths.
    argv[1] = argv[0];
    store_argument_list(argc - 1, argv + 1, nullptr);

    MainWindowWidget window;
    window.show();
    const bool counted = QTest::qWaitFor(
        [&window] {
            return window.control(IDC_RESET_BUTTON)->isEnabled() &&
                   qobject_cast<QLineEdit*>(window.control(IDC_FILES_FIELD))->text() != "0";
        },
        120000);
    if (!counted || !QTest::qWaitForWindowExposed(&window)) return 1;
    if (!window.grab().save(folder.filePath("heapwise-qt.png"))) return 1;

    AboutBox box(&window);
    box.open();
    if (!QTest::qWaitForWindowExposed(&box)) return 1;
    if (!box.grab().save(folder.filePath("heapwise-qt-about.png"))) return 1;
    return 0;
}
