#include "protocol/vq7prot/vq7exec.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace vq7 {

unsigned ExecShort(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                   VQ7_SHORT_ANSWER& answer, unsigned attempts)
{
    unsigned size = sizeof answer;
    return ExecCmd(conn, number, cmd, data, dataLen, reinterpret_cast<uint8_t*>(&answer), &size, nullptr,
                   attempts);
}

unsigned ExecLong(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                  VQ7_LONG_ANSWER& answer, unsigned attempts)
{
    unsigned size = sizeof answer;
    return ExecCmd(conn, number, cmd, data, dataLen, reinterpret_cast<uint8_t*>(&answer), &size, nullptr,
                   attempts);
}

std::string FloatText(float value, bool nanAs1e30)
{
    double d = value;
    if (nanAs1e30 && std::isnan(d))
        d = 1e30;
    return FormatC("%.7g", d);
}

float ArgumentFloat(const std::string& text)
{
    const double d = StrToFloat(FixDecimalSeparator(text));
    if (std::fabs(d) > std::numeric_limits<float>::max())   // beyond float: infinite (a cast is undefined)
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

float VersionNumber(const std::string& text)
{
    try {
        return ArgumentFloat(text);
    } catch (const EConvertError&) {
        return 0.0f;
    }
}

float LeadingNumber(const std::string& text)
{
    std::string number;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')   // " 4.02" is 4.02, as the numeric version reads it
        ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        number += text[i++];
    if (number.empty())
        return 0.0f;
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        std::string fraction;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            fraction += text[i];
        if (!fraction.empty())
            number += "." + fraction;
    }
    double value = 0;
    ParseFloatPoint(number, value);
    return static_cast<float>(value);
}

}  // namespace vq7
