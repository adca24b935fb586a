// What the Qt shell's tests share: folders made at test time, drops made of
// real drop events, and waiting for workers while the window thread serves them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <string>

class QMimeData;
class QWidget;

// Generous: the sanitizer builds are slow, and a wait only ends early.
constexpr int test_deadline_ms = 60000;

// A file of `size` bytes at `path`, its folder made first. Returns false when
// it cannot be made.
bool make_file(const QString& path, int size);
bool make_folder(const QString& path);

// Delivers a drag entering `target`, moving over it and then a drop of
// `urls` (or of `data`) on it, as the platform does, proposing `action`
// (copy, move and link possible); returns whether each was accepted as a copy.
bool drop_urls(QWidget* target, const QList<QUrl>& urls, Qt::DropAction action = Qt::CopyAction);
bool drop_data(QWidget* target, const QMimeData& data, Qt::DropAction action = Qt::CopyAction);

// Waits until every worker started so far has ended, serving the window
// thread's events meanwhile. Returns false at the deadline.
bool wait_for_all_workers();

// What `heapwise --print` writes for `paths` on standard output, and the four
// result texts, in field order.
QString printed_output(const QStringList& paths);
QList<QString> printed_texts(const QStringList& paths);
