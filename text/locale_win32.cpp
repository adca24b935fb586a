// The separators from the user's locale, through GetLocaleInfoA.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "text/number_format.h"

namespace {

// The separator as the locale gives it, when it is one byte; null otherwise,
// so the default is used.
const char* one_byte_separator(LCTYPE type, char* buffer, int capacity)
{
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, capacity) == 2 ? buffer : nullptr;
}

}  // namespace

void load_number_format()
{
    char thousands[sizeof number_format.thousands];
    char decimal[sizeof number_format.decimal];
    set_number_format(one_byte_separator(LOCALE_STHOUSAND, thousands, sizeof thousands),
                      one_byte_separator(LOCALE_SDECIMAL, decimal, sizeof decimal));
}
