// URIs of text/uri-list to local paths, never through a text conversion: a
// file manager names a file whose name is not UTF-8 by its bytes
// (file:///caf%E9.txt).
#include "shell/qt/file_urls.h"

#include <QByteArrayView>
#include <QMimeData>
#include <QSysInfo>

namespace {

bool is_this_machine(const QByteArray& host)
{
    if (host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0) return true;
    return host.compare(QSysInfo::machineHostName().toUtf8(), Qt::CaseInsensitive) == 0;
}

// The path a URI names on this machine, or empty.
QByteArray local_path_of_uri(QByteArrayView uri)
{
    uri = uri.trimmed();
    if (uri.size() < 5 || QByteArrayView(uri.first(5)).compare("file:", Qt::CaseInsensitive) != 0) return {};
    QByteArrayView rest = uri.sliced(5);
    // A query or a fragment is no part of the path (a name's own "?" and "#"
    // come percent-encoded).
    for (qsizetype i = 0; i < rest.size(); ++i)
        if (rest[i] == '?' || rest[i] == '#') {
            rest.truncate(i);
            break;
        }
    if (rest.startsWith("//")) {
        rest = rest.sliced(2);
        const qsizetype slash = rest.indexOf('/');
        if (slash < 0) return {};
        if (!is_this_machine(QByteArray::fromPercentEncoding(rest.first(slash).toByteArray()))) return {};
        rest = rest.sliced(slash);
    }
    if (!rest.startsWith('/')) return {};
    const QByteArray path = QByteArray::fromPercentEncoding(rest.toByteArray());
    if (path.contains('\0')) return {};
    return path;
}

}  // namespace

std::vector<QByteArray> local_paths(const QMimeData* data)
{
    std::vector<QByteArray> paths;
    const QString uri_list = QStringLiteral("text/uri-list");
    if (data == nullptr || !data->hasFormat(uri_list)) return paths;
    for (const QByteArray& line : data->data(uri_list).split('\n')) {
        if (line.startsWith('#')) continue;  // a comment
        QByteArray path = local_path_of_uri(line);
        if (!path.isEmpty()) paths.push_back(std::move(path));
    }
    return paths;
}
