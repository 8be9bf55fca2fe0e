#include "DecimalSeparator.h"

#include <atomic>
#include <langinfo.h>
#include <locale.h>

namespace {
char FromUserLocale()
{
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char sep = (radix && (radix[0] == ',' || radix[0] == '.')) ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

std::atomic<char>& Separator()
{
    static std::atomic<char> sep{FromUserLocale()};
    return sep;
}
}

char DecimalSeparator() { return Separator().load(); }
void SetDecimalSeparator(char separator) { Separator().store(separator); }
void ResetDecimalSeparatorFromLocale() { Separator().store(FromUserLocale()); }
