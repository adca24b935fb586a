// The texts the shells show: the four result fields, built from a Tally, and
// the status line's folder being entered and end of a request.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/tally.h"

// Room every result text is built in. The longest, a size text with the
// largest total and separators of 4 bytes, takes 70 bytes and its terminator.
constexpr int summary_text_size = 128;

// Each writes its field's text for the counts `from`, zero-terminated, into
// `out` (summary_text_size bytes).
void files_text(char* out, const Tally& from);         // "1,234  (RH)"
void folders_text(char* out, const Tally& from);       // "12  (S, depth 3 / 5)"
void total_size_text(char* out, const Tally& from);    // "1,234 bytes  (1.2 KB)"
void longest_path_text(char* out, const Tally& from);  // "6 / 13"

// Writes the parenthesised figure in KB, MB, GB or TB for `total_bytes` at
// `out` (room for 40 bytes): "  (1.2 KB)". Both digits are cut, never rounded.
void size_unit_text(char* out, uint64_t total_bytes);

// What the status line's lengths are counted in: bytes on Linux, UTF-16 code
// units on Windows, as the platform counts its paths.
enum class TextUnit { bytes, utf16 };

// Room for a status text: 53 units, at most 3 bytes each.
constexpr int status_text_size = 160;

// The status line for the folder being entered, from its path relative to the
// top-level item, `rel` (n bytes), into `out` (status_text_size bytes): the
// path itself below 54 units, otherwise its first 25 units, "..." and its last
// 25. A cut never splits a UTF-8 character: it moves to the nearest character
// boundary that keeps at most 25 units; other bytes (a Latin-1 name) are cut
// where the rule says.
void status_text(char* out, const char* rel, size_t n, TextUnit unit = TextUnit::bytes);

// The status line at the end of a request that could not read `unreadable`
// items, into `out` (summary_text_size bytes): "Ready", or "Ready - 2 items
// could not be read".
void ready_text(char* out, uint32_t unreadable);
