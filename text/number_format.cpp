// The grouped number formatter and the separators it uses.
#include "text/number_format.h"

NumberFormat number_format = {",", "."};

namespace {

void take_separator(char* field, const char* text, char fallback)
{
    const bool one_byte = text != nullptr && text[0] != '\0' && text[1] == '\0';
    field[0] = one_byte ? text[0] : fallback;
    field[1] = '\0';
}

}  // namespace

void set_number_format(const char* thousands, const char* decimal)
{
    take_separator(number_format.thousands, thousands, ',');
    take_separator(number_format.decimal, decimal, '.');
}

void format_grouped(char* out, uint64_t value)
{
    // Digits come least significant first, with a separator at every fourth
    // position, and are reversed at the end.
    unsigned i = 0;
    do {
        if (i % 4 == 3) out[i++] = number_format.thousands[0];
        out[i++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    out[i] = '\0';
    for (unsigned left = 0, right = i - 1; left < right; ++left, --right) {
        const char byte = out[left];
        out[left] = out[right];
        out[right] = byte;
    }
}
