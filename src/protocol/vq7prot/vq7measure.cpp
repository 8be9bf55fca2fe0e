// Measurement commands: start, status, current values, clock, integrals, version.
#include "protocol/vq7prot/vq7exec.h"

#include "common/NumberText.h"

#include <algorithm>
#include <cstring>

using namespace vq7;

namespace {

constexpr unsigned kAttempts = 5;
constexpr unsigned kCurrentAttempts = 3;
constexpr uint8_t kCurrentDzwIndex = 8;
constexpr double kLastSwappedVersion = 3.0702;   // older converters send this value big-endian

bool NeedsByteSwap(uint8_t index, const VQ7_INFO* info)
{
    return index == kCurrentDzwIndex && info != nullptr && (info->m_sType == "DZW3" || info->m_sType == "DZW4") &&
           static_cast<double>(info->m_fFullVersion) < kLastSwappedVersion;
}

}  // namespace

unsigned StartMeasurement(connection* conn, uint32_t number, float argument)
{
    uint8_t data[4];
    PutLeFloat(data, argument);
    VQ7_SHORT_ANSWER answer{};
    return ExecShort(conn, number, VQ7_CMD_START_MEASUREMENT, data, sizeof data, answer, kAttempts);
}

unsigned ReadStatus(connection* conn, uint32_t number, uint8_t status[8])
{
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_STATUS, nullptr, 0, answer, kAttempts);
    if (rc == RC_OK)
        std::memcpy(status, answer.m_abData, 8);
    return rc;
}

unsigned ReadCurrent(connection* conn, uint32_t number, uint8_t index, std::string& value, const VQ7_INFO* info)
{
    if (index == 0 || index > 9)
        return RC_BAD_ARGUMENT;
    const uint8_t data[1] = {index};
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_CURRENT, data, sizeof data, answer, kCurrentAttempts);
    if (rc != RC_OK)
        return rc;
    uint8_t bytes[4];
    std::memcpy(bytes, answer.m_abData, 4);
    if (NeedsByteSwap(index, info))
        std::reverse(bytes, bytes + 4);
    value = FloatText(LeFloat(bytes), false);
    return RC_OK;
}

unsigned ReadClock(connection* conn, uint32_t number, uint8_t clock[8])
{
    const uint8_t data[1] = {0};
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_CURRENT, data, sizeof data, answer, kCurrentAttempts);
    if (rc != RC_OK)
        return rc;
    std::memcpy(clock, answer.m_abData, 8);
    for (int i : {1, 2, 3, 5, 6, 7})
        clock[i] = static_cast<uint8_t>(BcdToInt(clock[i]));
    return RC_OK;
}

unsigned ReadGradIntegrals(connection* conn, uint32_t number, std::string& text, uint8_t* data65)
{
    VQ7_LONG_ANSWER answer{};
    const unsigned rc = ExecLong(conn, number, VQ7_CMD_READ_GRAD_INTEGRALS, nullptr, 0, answer, kAttempts);
    if (rc != RC_OK)
        return rc;
    VQ7_ANSWER_READ_GRAD_INTEGRALS block;
    static_assert(sizeof block == sizeof answer.m_abData);
    std::memcpy(&block, answer.m_abData, sizeof block);
    if (data65)
        std::memcpy(data65, answer.m_abData, sizeof block);
    std::string out;
    for (unsigned i = 0; i < 15; ++i)
        out += FloatText(LeFloat(block.m_abIntegrals + 4 * i), false) + "$";
    out += FormatC("%d", LeU16(block.m_abCount));
    text = out;
    return RC_OK;
}

unsigned ReadVersion(connection* conn, uint32_t number, std::string& version)
{
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_VERSION, nullptr, 0, answer, kAttempts);
    if (rc == RC_OK)
        version.assign(reinterpret_cast<const char*>(answer.m_abData), 5);
    return rc;
}
