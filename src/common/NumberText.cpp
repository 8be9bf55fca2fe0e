#include "NumberText.h"

#include "DecimalSeparator.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace {
locale_t CLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// Switches the calling thread to the C locale for its lifetime.
class CLocaleScope {
public:
    CLocaleScope() : m_old(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(m_old); }

private:
    locale_t m_old;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Checks [blanks][sign]digits[.digits][e[sign]digits][blanks] with `sep` as the point
// and returns the same text with '.' in place of sep.
bool NormaliseDecimal(const std::string& text, char sep, std::string& out)
{
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    while (n > i && IsBlank(text[n - 1]))
        --n;
    out.clear();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        out += text[i++];
    int digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        out += text[i++];
        ++digits;
    }
    if (i < n && text[i] == sep) {
        out += '.';
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            out += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        out += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            out += text[i++];
        int expDigits = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            out += text[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}
}

std::string FormatC(const char* fmt, ...)
{
    CLocaleScope scope;
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, ap2);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

bool ParseFloatPoint(const std::string& text, double& value)
{
    std::string norm;
    if (!NormaliseDecimal(text, '.', norm))
        return false;
    value = strtod_l(norm.c_str(), nullptr, CLocale());
    return true;
}

double StrToFloat(const std::string& text)
{
    std::string norm;
    if (!NormaliseDecimal(text, DecimalSeparator(), norm))
        throw EConvertError("'" + text + "' - недопустимое значение числа с плавающей точкой");
    return strtod_l(norm.c_str(), nullptr, CLocale());
}

long long StrToIntDef(const std::string& text, long long def)
{
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    while (n > i && IsBlank(text[n - 1]))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < n && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i >= n)
        return def;
    unsigned long long value = 0;
    for (; i < n; ++i) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return def;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull)
            return def;
    }
    return negative ? -static_cast<long long>(value) : static_cast<long long>(value);
}

unsigned long LeadingDigits(const std::string& text)
{
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value;
}
