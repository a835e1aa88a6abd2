#include "core/c_locale.h"

#include "core/fatal_error.h"

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (!locale) fatalError("cannot create the C locale");
    return locale;
}
