// The transaction: frame, expected answer, exchange, resynchronisation,
// answer checks and retries.
#include "protocol/vq7prot/vq7cmd.h"

#include "protocol/connection.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr unsigned kSlotCount = 17;
constexpr unsigned kBusyAttempts = 10;

struct AnswerShape {
    unsigned length;   // bytes per packet; 0: no answer
    unsigned packets;
};

AnswerShape ExpectedAnswer(uint32_t address, uint8_t cmd, uint8_t dataByte0)
{
    if (cmd == VQ7_CMD_BROADCAST_NO_ANSWER && address == VQ7_ADDR_BROADCAST)
        return {0, 0};
    if (cmd & 0x80)
        return {ZUA_SUPERLONG_MAX_SIZE, (dataByte0 >> 4) + 1u};
    if (cmd >= 0x40)
        return {VQ7_LONG_ANSWER_SIZE, 1};
    if (cmd == VQ7_CMD_EIGHT_BYTE)
        return {VQ7_EIGHT_BYTE_ANSWER_SIZE, 1};
    return {VQ7_SHORT_ANSWER_SIZE, 1};
}

bool KnownLength(uint8_t cmd, unsigned length)
{
    if (cmd & 0x80)
        return true;
    if (length == VQ7_EIGHT_BYTE_ANSWER_SIZE)
        return cmd == VQ7_CMD_EIGHT_BYTE;
    return length == 16 || length == VQ7_SHORT_ANSWER_SIZE || length == VQ7_LONG_ANSWER_SIZE;
}

// Checks one packet of `length` bytes (all inside the receive area).
unsigned CheckPacket(const uint8_t* p, unsigned length, const uint8_t* address, uint8_t cmd)
{
    if (!KnownLength(cmd, length))
        return RC_WRONG_LENGTH;
    if (!AnswerChecksOk(p, length))
        return RC_BAD_CHECKSUM;
    if (std::memcmp(p, address, 4) != 0)
        return RC_WRONG_ADDRESS;
    if (p[4] != cmd)
        return p[4] != 0 ? p[4] : static_cast<unsigned>(RC_WRONG_LENGTH);   // 0 would read as success
    return RC_OK;
}

// Offset of the answer's address within the first four bytes; 0 when absent.
unsigned ResyncOffset(const uint8_t* p, unsigned available, const uint8_t* address)
{
    for (unsigned j = 0; j < 4 && j + 4 <= available; ++j)
        if (std::memcmp(p + j, address, 4) == 0)
            return j;
    return 0;
}

bool RetryWorthy(unsigned result)
{
    return (result >= 1 && result <= 255) || result == RC_READ_ERROR || result == RC_BAD_CHECKSUM ||
           result == RC_TIMEOUT;
}

// The pause between attempts; false when the abort flag was set meanwhile.
bool PauseBetweenAttempts()
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + milliseconds(g_nRetryPauseMs.load());
    for (;;) {
        if (g_bAbortAll)
            return false;
        const auto now = steady_clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(end - now, milliseconds(10)));
    }
}

}  // namespace

// 300 ms for 11, 39 and 49..100.
const unsigned g_anCmdTimeout[128] = {
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 100,   // 0..15
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,   // 16..31
    100, 100, 100, 100, 100, 100, 100, 300, 100, 100, 100, 100, 100, 100, 100, 100,   // 32..47
    100, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300,   // 48..63
    300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300,   // 64..79
    300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300, 300,   // 80..95
    300, 300, 300, 300, 300, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,   // 96..111
    100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100,   // 112..127
};

std::atomic<bool> g_bAbortAll{false};
std::atomic<unsigned> g_nRetryPauseMs{200};

uint32_t NumberToBcd(uint32_t number)
{
    if (number == VQ7_BROADCAST_NUMBER)
        return VQ7_ADDR_BROADCAST;
    uint32_t bcd = 0;
    for (unsigned shift = 0; number != 0 && shift < 32; shift += 4, number /= 10)
        bcd |= (number % 10) << shift;
    return bcd;
}

int BcdToInt(uint32_t value)
{
    int result = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const uint32_t digit = (value >> shift) & 0xF;
        if (digit > 9)
            return 0;
        result = result * 10 + static_cast<int>(digit);
    }
    return result;
}

void SetCmdChecks(VQ7_CMD& frame)
{
    uint8_t bytes[VQ7_CMD_SIZE];
    std::memcpy(bytes, &frame, sizeof bytes);
    ComputeChecks(bytes, VQ7_CMD_SIZE - 2, frame.m_bXor, frame.m_bSum);
}

bool AnswerChecksOk(const uint8_t* frame, unsigned length)
{
    if (frame == nullptr || length < 2)
        return false;
    uint8_t x, sum;
    ComputeChecks(frame, length - 2, x, sum);
    return frame[length - 2] == x && frame[length - 1] == sum;
}

unsigned SendCmd(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                 uint8_t* answer, unsigned* answerSize, unsigned* packets)
{
    if (packets)
        *packets = 0;   // also when refused before the bus
    if (g_bAbortAll)
        return RC_ABORTED;
    if (dataLen > VQ7_CMD_DATA_SIZE || (dataLen > 0 && data == nullptr))
        return RC_BAD_ARGUMENT;
    if (number > VQ7_MAX_NUMBER)
        return RC_BAD_ARGUMENT;   // its BCD address would be another meter's
    if (conn == nullptr)
        return RC_NO_CONNECTION;

    VQ7_CMD frame{};
    const uint32_t address = NumberToBcd(number);
    PutLeU32(frame.m_abAddr, address);
    frame.m_bCmd = cmd;
    if (dataLen > 0)
        std::memcpy(frame.m_abData, data, dataLen);
    SetCmdChecks(frame);
    uint8_t request[VQ7_CMD_SIZE];
    std::memcpy(request, &frame, sizeof request);

    const AnswerShape shape = ExpectedAnswer(address, cmd, frame.m_abData[0]);
    const unsigned timeout = g_anCmdTimeout[cmd & 0x7F];
    if (shape.length == 0) {
        if (g_bAbortAll)
            return RC_ABORTED;
        return static_cast<unsigned>(conn->Exchange(request, sizeof request, nullptr, 0, timeout, nullptr));
    }
    if (answer == nullptr || answerSize == nullptr || *answerSize == 0)
        return RC_BAD_ARGUMENT;

    std::array<uint8_t, kSlotCount * ZUA_SUPERLONG_MAX_SIZE> area{};
    unsigned arrived = shape.packets;
    if (g_bAbortAll)
        return RC_ABORTED;
    std::lock_guard<std::recursive_mutex> bus(conn->Lock());   // the exchange and the rest of a shifted answer
    const int rc = conn->Exchange(request, sizeof request, area.data(), shape.length, timeout, &arrived);
    if (rc != RC_OK)
        return static_cast<unsigned>(rc);
    arrived = std::min(arrived, shape.packets);
    if (packets)
        *packets = arrived;

    // Stray bytes before a fixed-length answer (a line turning around) push its end out
    // of the packet read: read the missing bytes, or report a bad answer to be retried.
    const unsigned shift = ResyncOffset(area.data(), shape.length, frame.m_abAddr);
    const bool fixedLength = !(cmd & 0x80);
    if (fixedLength && shift > 0 && conn->ReadMore(area.data() + shape.length, shift, timeout) != RC_OK)
        return RC_BAD_CHECKSUM;

    unsigned result = RC_OK;
    for (unsigned i = 0; i < arrived && result == RC_OK; ++i) {
        const uint8_t* p = area.data() + i * shape.length;
        unsigned available = shape.length;
        const unsigned j = ResyncOffset(p, available, frame.m_abAddr);
        p += j;
        if (!fixedLength)
            available -= j;

        const unsigned length = (cmd & 0x80) ? p[5] + 8u : available;
        const unsigned size = *answerSize;
        std::memcpy(answer + static_cast<size_t>(i) * size, p, std::min({length, size, available}));
        if (size < shape.length) {
            *answerSize = shape.length;
            return RC_BUFFER_TOO_SMALL;
        }
        // A length byte pointing past the packet: the answer is cut short.
        result = length > available ? static_cast<unsigned>(RC_WRONG_LENGTH)
                                    : CheckPacket(p, length, frame.m_abAddr, cmd);
        if (g_bAbortAll)
            result = RC_ABORTED;
    }
    return result;
}

namespace {
unsigned Attempts(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                  uint8_t* answer, unsigned* answerSize, unsigned* packets, unsigned attempts,
                  const std::function<bool(unsigned)>& askAgainAtOnce)
{
    if (attempts == 0)
        return RC_BAD_ARGUMENT;
    const unsigned givenSize = answerSize ? *answerSize : 0;
    unsigned result = RC_OK;
    unsigned meterCode = 0;   // the last code the meter itself answered with
    for (unsigned attempt = 0; attempt < attempts; ++attempt) {
        if (g_bAbortAll)
            return RC_ABORTED;
        if (answerSize)
            *answerSize = givenSize;
        result = SendCmd(conn, number, cmd, data, dataLen, answer, answerSize, packets);
        if (result == RC_OK)
            return RC_OK;
        if (result <= 255)
            meterCode = result;
        if (result == VQ7_ERR_BUSY)
            attempts = std::max(attempts, kBusyAttempts);
        else if (!RetryWorthy(result))
            return result;
        if (askAgainAtOnce && askAgainAtOnce(result))
            continue;
        if (!PauseBetweenAttempts())
            return RC_ABORTED;
    }
    // A line fault on the last attempt does not hide the meter's own answer
    // (240 to a command it does not know would turn into a lost connection).
    return meterCode != 0 && result > 255 ? meterCode : result;
}
}  // namespace

unsigned ExecCmd(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                 uint8_t* answer, unsigned* answerSize, unsigned* packets, unsigned attempts)
{
    return Attempts(conn, number, cmd, data, dataLen, answer, answerSize, packets, attempts, nullptr);
}

unsigned ExecCmdConfirmingRefusal(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data,
                                  unsigned dataLen, uint8_t* answer, unsigned* answerSize, unsigned attempts,
                                  uint8_t refusalA, uint8_t refusalB)
{
    return Attempts(conn, number, cmd, data, dataLen, answer, answerSize, nullptr, attempts, [=](unsigned result) {
        return result != 0 && (result == refusalA || result == refusalB);
    });
}
