// The grouped number formatter and the separators it uses.
#include "text/number_format.h"

#include <cstring>

NumberFormat number_format = {",", "."};

namespace {

// The length in bytes of the one character `text` holds in well-formed UTF-8;
// 0 when it holds none, more than one, or bytes that are not UTF-8.
size_t one_character(const char* text)
{
    if (text == nullptr) return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned char lead = bytes[0];
    size_t len = 0;
    uint32_t smallest = 0;  // below it the sequence is an overlong form
    if (lead == 0) return 0;
    if (lead < 0x80) {
        len = 1;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4;
        smallest = 0x10000;
    } else {
        return 0;
    }
    static const unsigned char lead_bits[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t code = lead & lead_bits[len];
    for (size_t i = 1; i < len; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return 0;  // the terminator too
        code = code << 6 | (bytes[i] & 0x3F);
    }
    const bool scalar = code >= smallest && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return scalar && bytes[len] == '\0' ? len : 0;
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
