// What the terminal mode writes that the window program writes too: the line
// that names something a scan could not read, and the four result lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/failure_report.h"

// Writes `len` bytes of a name as a terminal may show them: valid UTF-8
// characters as they are, but '?' for each character that could move the
// cursor, change the terminal's state or reorder the text (C0 and C1
// controls, DEL, bidirectional marks, embeddings, overrides and isolates,
// line and paragraph separators, the byte order mark) and for
// each byte that is not part of valid UTF-8. Stops before the first
// character that would take the text past `columns` columns, counting two
// for every character outside ASCII, so a cut falls between characters.
// Returns the columns written.
size_t write_visible(FILE* stream, const char* text, size_t len, size_t columns = SIZE_MAX);

// Writes one whole line on standard error that names what a scan skipped,
// from the failure report's arguments: "heapwise: cannot read 'x': REASON".
// Lines written from several threads at once never cut into each other.
void write_failure_line(ScanFailure failure, const char* path, size_t path_len, const char* name, int error);

// The four result texts (files, folders, size, longest path) as `heapwise
// --print` prints them: one line each, after its label padded to a column.
std::string result_lines(const char* const (&texts)[4]);

// `utf8` in the character set of the user's LC_CTYPE locale (LC_ALL,
// LC_CTYPE, LANG), the one the terminal shows: unchanged where that is UTF-8;
// elsewhere (ISO-8859-1, KOI8-R...) each character in the locale's own bytes,
// or its nearest likeness or '?' where the set has no such character.
std::string in_terminal_encoding(const std::string& utf8);
