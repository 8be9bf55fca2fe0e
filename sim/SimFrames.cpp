#include "sim/SimFrames.h"

uint32_t SimAddressOf(uint32_t number)
{
    if (number == VQ7_BROADCAST_NUMBER)
        return VQ7_ADDR_BROADCAST;
    uint32_t bcd = 0;
    for (int shift = 0; number != 0 && shift < 32; shift += 4) {
        bcd |= (number % 10) << shift;
        number /= 10;
    }
    return bcd;
}

void PutSimAddress(uint8_t* bytes, uint32_t number) { PutLeU32(bytes, SimAddressOf(number)); }

bool IsBroadcastAddress(const uint8_t* bytes) { return LeU32(bytes) == VQ7_ADDR_BROADCAST; }

bool RequestFrameOk(const uint8_t* frame)
{
    uint8_t x, sum;
    ComputeChecks(frame, VQ7_CMD_SIZE - 2, x, sum);
    return frame[14] == x && frame[15] == sum;
}

unsigned SimAnswerLength(uint8_t command)
{
    if (command >= 0x80)
        return ZUA_SUPERLONG_MAX_SIZE;
    if (command >= 0x40)
        return VQ7_LONG_ANSWER_SIZE;
    if (command == VQ7_CMD_EIGHT_BYTE)
        return VQ7_EIGHT_BYTE_ANSWER_SIZE;
    return VQ7_SHORT_ANSWER_SIZE;
}

std::vector<uint8_t> MakeAnswerFrame(uint32_t number, uint8_t code, unsigned frameLength,
                                     const uint8_t* data, unsigned dataLength)
{
    std::vector<uint8_t> frame(frameLength, 0);
    PutSimAddress(frame.data(), number);
    frame[4] = code;
    unsigned first = 5;
    if (frameLength == ZUA_SUPERLONG_MAX_SIZE) {
        frame[5] = static_cast<uint8_t>(frameLength - 8);
        first = 6;
    }
    const unsigned room = frameLength - 2 - first;
    for (unsigned i = 0; i < dataLength && i < room; ++i)
        frame[first + i] = data[i];
    RefreshChecks(frame);
    return frame;
}

void RefreshChecks(std::vector<uint8_t>& frame)
{
    if (frame.size() < 3)
        return;
    const size_t n = frame.size() - 2;
    ComputeChecks(frame.data(), static_cast<unsigned>(n), frame[n], frame[n + 1]);
}

uint8_t ToBcd(unsigned value)
{
    value %= 100;
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}
