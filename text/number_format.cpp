// The grouped number formatter and the separators it uses.
#include "text/number_format.h"

#include <cstring>

#include "text/utf8.h"

NumberFormat number_format = {",", "."};

namespace {

// The length in bytes of the one character `text` holds in well-formed UTF-8;
// 0 when it holds none, more than one, or bytes that are not UTF-8.
size_t one_character(const char* text)
{
    if (text == nullptr) return 0;
    const size_t len = strlen(text);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    char32_t code_point = 0;
    return len != 0 && utf8_character(bytes, len, &code_point) == len ? len : 0;
}

void take_separator(char* field, const char* text, char fallback)
{
    const size_t len = one_character(text);
    if (len != 0) {
        memcpy(field, text, len + 1);
    } else {
        field[0] = fallback;
        field[1] = '\0';
    }
}

}  // namespace

void set_number_format(const char* thousands, const char* decimal)
{
    take_separator(number_format.thousands, thousands, ',');
    take_separator(number_format.decimal, decimal, '.');
}

void format_grouped(char* out, uint64_t value)
{
    // Built backwards from the end, least significant digit first, so that a
    // separator of several bytes keeps their order.
    char text[grouped_text_size];
    char* at = text + sizeof text;
    *--at = '\0';
    const size_t separator_len = strnlen(number_format.thousands, sizeof number_format.thousands - 1);
    unsigned digits = 0;
    do {
        if (digits != 0 && digits % 3 == 0) {
            at -= separator_len;
            memcpy(at, number_format.thousands, separator_len);
        }
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
        ++digits;
    } while (value != 0);
    memcpy(out, at, static_cast<size_t>(text + sizeof text - at));
}
