#include "Options.h"

#include "protocol/connection.h"

#include <algorithm>
#include <cctype>

std::string CtlArgs::Get(const std::string& name, const std::string& def) const
{
    auto it = options.find(name);
    return it == options.end() ? def : it->second;
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    unsigned long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > max)
            return false;
    }
    value = v;
    return true;
}

bool ParseByte(const std::string& text, unsigned& value)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned v = 0;
        const std::string digits = text.substr(2);
        if (digits.size() > 2)
            return false;
        for (char c : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        }
        value = v;
        return true;
    }
    unsigned long long v = 0;
    if (!ParseUnsigned(text, 255, v))
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool ParseHexBytes(const std::string& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == ',') {
            if (high >= 0)
                return false;   // a lone digit
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                 : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}
