// Splitting the process command line into the ArgumentList: the quote and
// backslash rules of the Windows command line, into one block. Portable code.
#pragma once

#include <cstdint>

// Splits `text` (zero-terminated) into arguments and reports how many through
// `count`. Returns the size of the block that holds them: 16, plus one text
// pointer and one byte per argument, plus one byte per copied text byte; it
// is the same in both modes.
//
// With `table` null only counts. Otherwise also fills `table` with `count`
// text pointers and a final null one, and writes the texts, each
// zero-terminated, from `strings` on; the caller places `strings` right after
// the `count` + 1 table entries of a block of the returned size (learnt from
// a first, counting call).
//
// Bytes of 0x20 and below are blanks and separate arguments outside double
// quotes. A double quote switches quoting on and off and is not copied; a
// double quote right after the one that switched quoting off is copied. A run
// of n backslashes before a double quote gives n / 2 backslashes, and the
// quote is copied when n is odd; other backslashes are copied unchanged.
uint32_t split_command_line(const char* text, int* count, char** table, char* strings);
