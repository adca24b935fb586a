// The local files and folders named by a drop or by the clipboard: the file:
// URIs of text/uri-list, each decoded to the exact bytes of its path.
#pragma once

#include <QByteArray>

#include <vector>

class QMimeData;

// The local paths among `data`'s URIs, in their order: each file: URI that
// names this machine (no host, "localhost" or this machine's own name, as
// RFC 8089 has it) and an absolute path, percent-decoded byte by byte (a name
// need not be UTF-8). Other URIs are left out.
std::vector<QByteArray> local_paths(const QMimeData* data);
