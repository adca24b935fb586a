// The texts of the four result fields, built from the Tally.
#pragma once

#include <cstdint>

#include "core/tally.h"

// Room every result text is built in. The longest, a size text with the
// largest total and separators of 4 bytes, takes 70 bytes and its terminator.
constexpr int summary_text_size = 128;

// Each writes its field's text for the counts `from` (the accumulated Tally
// unless told otherwise), zero-terminated, into `out` (summary_text_size
// bytes).
void files_text(char* out, const Tally& from = tally);         // "1,234  (RH)"
void folders_text(char* out, const Tally& from = tally);       // "12  (S, depth 3 / 5)"
void total_size_text(char* out, const Tally& from = tally);    // "1,234 bytes  (1.2 KB)"
void longest_path_text(char* out, const Tally& from = tally);  // "6 / 13"

// Writes the parenthesised figure in KB, MB, GB or TB for `total_bytes` at
// `out` (room for 40 bytes): "  (1.2 KB)". Both digits are cut, never rounded.
void size_unit_text(char* out, uint64_t total_bytes);

// Builds the four texts and writes each to its field of the main window, in
// the order files, folders, size, longest path.
void refresh_summary();

// The same for other counts: the running counts of a request, which the
// window shows while it runs.
void show_summary(const Tally& from);
