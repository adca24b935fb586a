// The separators from the user's LC_NUMERIC locale (LC_ALL, LC_NUMERIC, LANG),
// read without touching the process's own locale.
#include <langinfo.h>
#include <locale.h>

#include "text/number_format.h"

void load_number_format()
{
    const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) {
        set_number_format(nullptr, nullptr);
        return;
    }
    set_number_format(nl_langinfo_l(THOUSEP, user), nl_langinfo_l(RADIXCHAR, user));
    freelocale(user);
}
