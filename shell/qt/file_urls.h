// The local files and folders named by a drop or by the clipboard: the file:
// URIs of text/uri-list, each decoded to the exact bytes of its path.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

class QMimeData;

// The path a URI names on this machine, percent-decoded byte by byte (a name
// need not be UTF-8), or empty: for a URI that is not a file: URI, that names
// another machine or that names no absolute path. The host may be left out or
// be "localhost" or this machine's own name (RFC 8089).
QByteArray local_path_of_uri(QByteArrayView uri);

// The local paths among `data`'s URIs, in their order.
std::vector<QByteArray> local_paths(const QMimeData* data);
