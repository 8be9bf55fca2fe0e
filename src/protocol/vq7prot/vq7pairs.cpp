// Commands of the calibration pairs and the restart.
#include "protocol/vq7prot/vq7exec.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <climits>

using namespace vq7;

namespace {
constexpr unsigned kAttempts = 5;
const std::string kPairsOfOlderMeters = "7";   // meters that do not know the pair count
}

unsigned BeginPairWrite(connection* conn, uint32_t number)
{
    VQ7_SHORT_ANSWER answer{};
    return ExecShort(conn, number, VQ7_CMD_BEGIN_PAIR_WRITE, nullptr, 0, answer, kAttempts);
}

unsigned WritePairCount(connection* conn, uint32_t number, const std::string& count)
{
    constexpr long long kNotANumber = LLONG_MIN;
    const long long value = StrToIntDef(FixDecimalSeparator(count), kNotANumber);
    if (value == kNotANumber)
        throw EConvertError("'" + count + "' - недопустимое целое число");
    if (value < 0 || value > 255)
        return RC_BAD_ARGUMENT;   // would be cut to another count
    const uint8_t data[1] = {static_cast<uint8_t>(value)};
    VQ7_SHORT_ANSWER answer{};
    return ExecShort(conn, number, VQ7_CMD_WRITE_PAIR_COUNT, data, sizeof data, answer, kAttempts);
}

unsigned WritePair(connection* conn, uint32_t number, uint8_t index, const std::string& gi, const std::string& ge)
{
    uint8_t data[9];
    data[0] = index;
    PutLeFloat(data + 1, ArgumentFloat(gi));
    PutLeFloat(data + 5, ArgumentFloat(ge));
    VQ7_SHORT_ANSWER answer{};
    return ExecShort(conn, number, VQ7_CMD_WRITE_PAIR, data, sizeof data, answer, kAttempts);
}

unsigned ReadPairCount(connection* conn, uint32_t number, std::string& count)
{
    // An older meter refuses at once each time it is asked; the pause would only
    // add a second to every backup of such a meter.
    VQ7_SHORT_ANSWER answer{};
    unsigned size = sizeof answer;
    const unsigned rc =
        ExecCmdConfirmingRefusal(conn, number, VQ7_CMD_READ_PAIR_COUNT, nullptr, 0, reinterpret_cast<uint8_t*>(&answer),
                                 &size, kAttempts, VQ7_ERR_BAD_PARAM, VQ7_ERR_BAD_COMMAND);
    if (rc == VQ7_ERR_BAD_PARAM || rc == VQ7_ERR_BAD_COMMAND) {
        count = kPairsOfOlderMeters;
        return RC_OK;
    }
    if (rc == RC_OK)
        count = FormatC("%d", answer.m_abData[0]);
    return rc;
}

unsigned ReadPairValues(connection* conn, uint32_t number, uint8_t index, float& gi, float& ge)
{
    const uint8_t data[1] = {index};
    VQ7_SHORT_ANSWER answer{};
    const unsigned rc = ExecShort(conn, number, VQ7_CMD_READ_PAIR, data, sizeof data, answer, kAttempts);
    if (rc != RC_OK)
        return rc;
    if (answer.m_abData[0] != index)
        return RC_WRONG_LENGTH;   // an answer about another pair
    gi = LeFloat(answer.m_abData + 1);
    ge = LeFloat(answer.m_abData + 5);
    return RC_OK;
}

unsigned ReadPair(connection* conn, uint32_t number, uint8_t index, std::string& gi, std::string& ge)
{
    float g = 0, e = 0;
    const unsigned rc = ReadPairValues(conn, number, index, g, e);
    if (rc != RC_OK)
        return rc;
    gi = FixDecimalSeparator(FloatText(g, true));
    ge = FixDecimalSeparator(FloatText(e, true));
    return RC_OK;
}

unsigned Restart(connection* conn, uint32_t number, uint8_t argument)
{
    // Sent exactly once whatever the answer: a repeated restart could reboot the meter twice.
    const uint8_t data[1] = {argument};
    VQ7_SHORT_ANSWER answer{};
    unsigned size = sizeof answer;
    return SendCmd(conn, number, VQ7_CMD_RESTART, data, sizeof data, reinterpret_cast<uint8_t*>(&answer), &size,
                   nullptr);
}
