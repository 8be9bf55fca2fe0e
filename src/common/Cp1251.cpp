#include "Cp1251.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace {
std::string Convert(std::string_view in, const char* to, const char* from, bool skipBad)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(in);
    std::string out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), static_cast<size_t>(dst - buf.data()));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // An unconvertible or broken sequence: one '?' for it, then go on.
        out += '?';
        if (skipBad) {
            // Skip one whole UTF-8 character.
            size_t len = 1;
            const unsigned char lead = static_cast<unsigned char>(*src);
            if (lead >= 0xF0 && lead < 0xF8) len = 4;
            else if (lead >= 0xE0 && lead < 0xF0) len = 3;
            else if (lead >= 0xC0 && lead < 0xE0) len = 2;
            for (size_t k = 1; k < len; ++k)
                if (k >= srcLeft || (static_cast<unsigned char>(src[k]) & 0xC0) != 0x80)
                    len = 1;
            src += len;
            srcLeft -= len;
        } else {
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}
}

std::string Cp1251ToUtf8(std::string_view cp1251) { return Convert(cp1251, "UTF-8", "CP1251", false); }

std::string Utf8ToCp1251(std::string_view utf8) { return Convert(utf8, "CP1251", "UTF-8", true); }
