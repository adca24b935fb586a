// Decimal numbers grouped in threes, with the user's one-character separators.
#pragma once

#include <cstdint>

// The separators, read once at start-up and read-only afterwards. Each holds
// one character in UTF-8 (1 to 4 bytes) and its terminator.
struct NumberFormat {
    char thousands[5];
    char decimal[5];
};

extern NumberFormat number_format;

// Room for any grouped number: the 20 digits of the largest 64-bit value, its
// 6 separators of up to 4 bytes each, and the terminator.
constexpr int grouped_text_size = 20 + 6 * 4 + 1;

// Fills number_format from the user's locale: a separator the locale gives as
// exactly one character is taken, in UTF-8 whatever the locale's own encoding;
// anything else (none, several, a failed call) leaves the default "," or ".".
// One implementation per platform.
void load_number_format();

// Sets both separators from UTF-8 texts as a locale gives them: a text of
// exactly one well-formed character is taken, anything else (null, empty,
// several characters, invalid UTF-8) gives the default.
void set_number_format(const char* thousands, const char* decimal);

// Writes `value` in decimal, grouped in threes with the thousands separator,
// zero-terminated, at `out` (room for grouped_text_size bytes). 0 is written
// as "0".
void format_grouped(char* out, uint64_t value);
