// Decimal numbers grouped in threes, with the user's one-byte separators.
#pragma once

#include <cstdint>

// The separators, read once at start-up and read-only afterwards. Only the
// first byte of each is used.
struct NumberFormat {
    char thousands[5];
    char decimal[5];
};

extern NumberFormat number_format;

// Fills number_format from the user's locale: a separator the locale gives as
// exactly one byte is taken, anything else (none, longer, a failed call)
// leaves the default "," or ".". One implementation per platform.
void load_number_format();

// Sets both separators from texts as a locale gives them: exactly one byte
// is taken, anything else gives the default.
void set_number_format(const char* thousands, const char* decimal);

// Writes `value` in decimal, grouped in threes with the thousands separator,
// zero-terminated, at `out` (room for 27 bytes). 0 is written as "0".
void format_grouped(char* out, uint64_t value);
