// The separators from the user's locale. They are asked for in UTF-16 and
// converted to UTF-8, the program's own encoding, so they come out right
// whatever the process's code page is: GetLocaleInfoA would give them in the
// locale's legacy code page (the single byte 0xA0 for a no-break space).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "text/number_format.h"

namespace {

// The separator in UTF-8 at `out` (`capacity` bytes); null when the call
// fails or the text does not fit, which is too long for one character anyway.
const char* separator_in_utf8(LCTYPE type, char* out, int capacity)
{
    wchar_t wide[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, wide, sizeof wide / sizeof wide[0]) == 0) return nullptr;
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, out, capacity, nullptr, nullptr) > 0
        ? out
        : nullptr;
}

}  // namespace

void load_number_format()
{
    char thousands[sizeof number_format.thousands];
    char decimal[sizeof number_format.decimal];
    set_number_format(separator_in_utf8(LOCALE_STHOUSAND, thousands, sizeof thousands),
                      separator_in_utf8(LOCALE_SDECIMAL, decimal, sizeof decimal));
}
