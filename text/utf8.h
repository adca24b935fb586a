// Reading one UTF-8 character, as the texts shown to people need it.
#pragma once

#include <cstddef>

// The length of the UTF-8 character that `text` (`len` bytes) begins with,
// its code point in `code_point`; 0 where the bytes are not valid UTF-8
// (overlong forms and surrogates included).
size_t utf8_character(const unsigned char* text, size_t len, char32_t* code_point);
