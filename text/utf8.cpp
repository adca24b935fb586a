// Reading one UTF-8 character.
#include "text/utf8.h"

size_t utf8_character(const unsigned char* text, size_t len, char32_t* code_point)
{
    const unsigned char lead = text[0];
    size_t size = 1;
    char32_t value = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        value = lead & 0x07;
    } else if (lead >= 0x80) {
        return 0;
    }
    if (size > len) return 0;
    for (size_t i = 1; i < size; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        value = value << 6 | (text[i] & 0x3F);
    }
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[size] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code_point = value;
    return size;
}
