#include "Cp1251.h"

#include <cerrno>
#include <iconv.h>
#include <vector>

namespace {
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One converter per direction and thread, opened at its first use: opening
// one costs more than converting a line.
class CConverter {
public:
    CConverter(const char* to, const char* from) : m_to(to), m_from(from) {}
    ~CConverter()
    {
        if (m_cd != kNoConverter)
            iconv_close(m_cd);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // The converter in its initial state; kNoConverter when it cannot be opened.
    iconv_t Get()
    {
        if (m_cd == kNoConverter)
            m_cd = iconv_open(m_to, m_from);
        else
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    const char* m_to;
    const char* m_from;
    iconv_t m_cd = kNoConverter;
};

std::string Convert(std::string_view in, CConverter& converter, bool skipBad)
{
    iconv_t cd = converter.Get();
    if (cd == kNoConverter)
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
    return out;
}
}

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    thread_local CConverter converter("UTF-8", "CP1251");
    return Convert(cp1251, converter, false);
}

std::string Utf8ToCp1251(std::string_view utf8)
{
    thread_local CConverter converter("CP1251", "UTF-8");
    return Convert(utf8, converter, true);
}
