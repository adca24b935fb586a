// The separators from the user's LC_NUMERIC locale (LC_ALL, LC_NUMERIC, LANG),
// read without touching the process's own locale and converted from that
// locale's encoding to UTF-8, the encoding of every text the program shows.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "text/number_format.h"

namespace {

// `text` in UTF-8 at `out` (`capacity` bytes), or null when it cannot be
// converted or does not fit: too long for one character anyway.
const char* in_utf8(const char* text, const char* encoding, char* out, size_t capacity)
{
    const iconv_t converter = iconv_open("UTF-8", encoding);
    if (converter == reinterpret_cast<iconv_t>(-1)) return nullptr;
    char* in = const_cast<char*>(text);
    size_t in_left = strlen(text);
    char* at = out;
    size_t out_left = capacity - 1;
    const bool converted = iconv(converter, &in, &in_left, &at, &out_left) != static_cast<size_t>(-1) &&
                           iconv(converter, nullptr, nullptr, &at, &out_left) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!converted) return nullptr;
    *at = '\0';
    return out;
}

}  // namespace

void load_number_format()
{
    const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) {
        set_number_format(nullptr, nullptr);
        return;
    }
    // The encoding of the LC_NUMERIC locale itself, which LC_CTYPE may not share.
    const char* encoding = nl_langinfo_l(_NL_NUMERIC_CODESET, user);
    char thousands[sizeof number_format.thousands];
    char decimal[sizeof number_format.decimal];
    set_number_format(in_utf8(nl_langinfo_l(THOUSEP, user), encoding, thousands, sizeof thousands),
                      in_utf8(nl_langinfo_l(RADIXCHAR, user), encoding, decimal, sizeof decimal));
    freelocale(user);
}
