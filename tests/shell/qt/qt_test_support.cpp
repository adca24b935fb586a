// The Qt tests' shared helpers.
#include "tests/shell/qt/qt_test_support.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "core/threads.h"

bool make_folder(const QString& path)
{
    return QDir().mkpath(path);
}

bool make_file(const QString& path, int size)
{
    if (!make_folder(QFileInfo(path).path())) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(QByteArray(size, 'x')) == size;
}

bool drop_urls(QWidget* target, const QList<QUrl>& urls, Qt::DropAction action)
{
    QMimeData data;
    data.setUrls(urls);
    return drop_data(target, data, action);
}

bool drop_data(QWidget* target, const QMimeData& data, Qt::DropAction action)
{
    const Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, possible, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(action);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction) return false;
    QDragMoveEvent move(at, possible, &data, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(action);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted() || move.dropAction() != Qt::CopyAction) return false;
    QDropEvent drop(QPointF(at), possible, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(action);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// Each write of a worker wakes this thread at once; QTest's own waits would
// sleep between rounds of events.
bool wait_for_all_workers()
{
    // The wake-up event is made on the waiting thread and freed on this one;
    // Qt's hand-over of it is invisible to ThreadSanitizer, so the call it
    // carries takes this mutex, as the window's own writes do.
    static std::mutex wake_mutex;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([done] {
        wait_for_workers();
        const std::lock_guard<std::mutex> hold(wake_mutex);
        done->store(true);
        QMetaObject::invokeMethod(  // wakes the loop below
            qApp, [] { const std::lock_guard<std::mutex> served(wake_mutex); }, Qt::QueuedConnection);
    }).detach();
    QDeadlineTimer deadline(test_deadline_ms);
    QTimer wake;
    wake.start(test_deadline_ms);
    while (!done->load() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done->load();
}

QString printed_output(const QStringList& paths)
{
    QProcess program;
    program.start(QStringLiteral(HEAPWISE_PROGRAM), QStringList{QStringLiteral("--print")} + paths);
    if (!program.waitForFinished(test_deadline_ms)) return {};
    return QString::fromLocal8Bit(program.readAllStandardOutput());
}

QList<QString> printed_texts(const QStringList& paths)
{
    QList<QString> texts;
    const QStringList lines = printed_output(paths).split(u'\n');
    for (const QString& line : lines)
        if (line.size() > 14) texts.append(line.mid(14));  // after the label column
    return texts;
}
