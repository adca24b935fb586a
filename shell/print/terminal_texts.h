// What the terminal mode writes that the window program writes too: the line
// that names something a scan could not read, and the four result lines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "core/failure_report.h"

// Writes the `len` bytes of a name, every byte that could steer a terminal
// replaced.
void write_visible(FILE* stream, const char* text, size_t len);

// Writes one whole line on standard error that names what a scan skipped,
// from the failure report's arguments: "heapwise: cannot read 'x': REASON".
// Lines written from several threads at once never cut into each other.
void write_failure_line(ScanFailure failure, const char* path, size_t path_len, const char* name, int error);

// The four result texts (files, folders, size, longest path) as `heapwise
// --print` prints them: one line each, after its label padded to a column.
std::string result_lines(const char* const (&texts)[4]);
