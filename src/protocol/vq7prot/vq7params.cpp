// Reading and writing meter parameters.
#include "protocol/vq7prot/vq7exec.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <cmath>

using namespace vq7;

namespace {

constexpr unsigned kAttempts = 5;

bool ValidKind(int kind) { return kind >= 0 && kind <= 3; }
uint8_t ValueSize(int kind) { return kind == 0 ? 1 : 4; }

// The 4 value bytes of a text; false when the text is not a whole number, or the
// value does not fit the kind or is not a finite float.
bool EncodeValue(int kind, const std::string& text, uint8_t value[4])
{
    const std::string fixed = FixDecimalSeparator(text);
    if (kind == 3) {
        const float f = ArgumentFloat(text);
        if (!std::isfinite(f))
            return false;
        PutLeFloat(value, f);
        return true;
    }
    constexpr long long kNotANumber = -1;
    long long v;
    if (kind == 1)
        v = StrToIntDef(fixed.find("0x") == std::string::npos ? "0x" + fixed : fixed, kNotANumber);
    else
        v = StrToIntDef(fixed, kNotANumber);
    const long long max = kind == 0 ? 0xFF : 0xFFFFFFFFll;
    if (v < 0 || v > max)
        return false;
    PutLeU32(value, static_cast<uint32_t>(v));
    return true;
}

std::string ValueText(int kind, const uint8_t* d)
{
    switch (kind) {
    case 0: return FormatC("%d", d[0]);
    case 1: return FormatC("%.8X", LeU32(d));
    case 2: return FormatC("%u", LeU32(d));
    default: return FloatText(LeFloat(d), true);
    }
}

}  // namespace

int DefaultParamKind(uint8_t param) { return param >= 32 ? 3 : 0; }

unsigned ReadParam(connection* conn, uint32_t number, uint8_t param, int kind, std::string& value)
{
    if (!ValidKind(kind))
        return RC_BAD_ARGUMENT;
    const uint8_t data[2] = {param, ValueSize(kind)};
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_PARAM, data, sizeof data, answer, kAttempts);
    if (rc != RC_OK)
        return rc;
    value = ValueText(kind, answer.m_abData);
    return RC_OK;
}

bool ParamReadText(int kind, const std::string& value, std::string& text)
{
    uint8_t bytes[4] = {};
    try {
        if (!ValidKind(kind) || !EncodeValue(kind, value, bytes))
            return false;
    } catch (const EConvertError&) {
        return false;
    }
    text = ValueText(kind, bytes);
    return true;
}

unsigned ReadParam(connection* conn, uint32_t number, uint8_t param, std::string& value)
{
    return ReadParam(conn, number, param, DefaultParamKind(param), value);
}

unsigned WriteParam(connection* conn, uint32_t number, uint8_t param, int kind, const std::string& value)
{
    if (!ValidKind(kind))
        return RC_BAD_ARGUMENT;
    uint8_t data[6] = {param, ValueSize(kind)};
    if (!EncodeValue(kind, value, data + 2))
        return RC_BAD_ARGUMENT;
    VQ7_SHORT_ANSWER answer{};
    return ExecShort(conn, number, VQ7_CMD_WRITE_PARAM, data, sizeof data, answer, kAttempts);
}

unsigned WriteParam(connection* conn, uint32_t number, uint8_t param, const std::string& value)
{
    return WriteParam(conn, number, param, DefaultParamKind(param), value);
}
