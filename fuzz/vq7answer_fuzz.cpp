// Arbitrary answer bytes through a scripted link into ExecCmd for every answer
// kind (short, long, eight-byte, superlong in several packets, broadcast) and
// into the identification. Every result must be 0, a meter code or a code of
// the result table, and nothing may be read or written outside the buffers.
//
// Input: kind, data byte 0, attempts, answer-size choice, meter choice, fix-up
// flags, then replies, each a 16-bit little-endian length and its bytes.
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"

#include "support/ScriptedLink.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Kind {
    uint8_t cmd;
    unsigned slot;   // bytes per answer packet; 0: no answer
};

constexpr Kind kKinds[] = {
    {VQ7_CMD_READ_STATUS, 32},
    {VQ7_CMD_READ_GRAD_INTEGRALS, 72},
    {VQ7_CMD_EIGHT_BYTE, 8},
    {0x85, 256},
    {0x80, 256},
    {0xF0, 256},
    {VQ7_CMD_BROADCAST_NO_ANSWER, 0},
};
constexpr unsigned kKindCount = sizeof kKinds / sizeof kKinds[0];
constexpr unsigned kIdentKind = kKindCount;   // GetDeviceInfo

bool ResultInTable(unsigned rc)
{
    if (rc <= 255)
        return true;
    switch (rc) {
    case RC_BAD_ARGUMENT: case RC_NO_CONNECTION: case RC_NOT_OPEN: case RC_BUS_LOCK_FAILED:
    case RC_LINK_CREATE_FAILED: case RC_SHORT_WRITE: case RC_READ_ERROR: case RC_BUFFER_TOO_SMALL:
    case RC_BAD_CHECKSUM: case RC_WRONG_ADDRESS: case RC_TIMEOUT: case RC_WRONG_LENGTH: case RC_ABORTED:
    case RC_GET_STATE_FAILED: case RC_SET_STATE_FAILED: case RC_SET_MASK_FAILED:
        return true;
    default:
        return false;
    }
}

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// Puts the meter's address and right check bytes into a fixed-length answer, or
// into each superlong packet, so that the deeper checks are reached too.
void FixUp(Bytes& reply, uint32_t address, unsigned slot, uint8_t flags)
{
    if (slot == 0)
        return;
    size_t pos = (flags & 4) ? 1 : 0;   // keep one leading garbage byte
    while (pos + 8 <= reply.size()) {
        const size_t length = slot == 256 ? reply[pos + 5] + 8u : slot;
        if (flags & 1)
            PutLeU32(&reply[pos], address);
        if ((flags & 2) && pos + length <= reply.size())
            ComputeChecks(&reply[pos], static_cast<unsigned>(length - 2), reply[pos + length - 2],
                          reply[pos + length - 1]);
        if (slot != 256)
            break;
        pos += length;
    }
}

struct Harness {
    std::shared_ptr<ScriptedBus> bus = std::make_shared<ScriptedBus>();
    connection conn;
    Harness()
    {
        g_nRetryPauseMs = 0;
        bus->SetInstantTimeouts(true);
        conn.OpenWith(std::make_unique<ScriptedLink>(bus));
    }
};

// Empties the bus when an input ends, so that each input frees what it
// allocated: replies left over would otherwise be freed by the next input,
// and libFuzzer would take every such input for a possible leak and scan the
// whole heap for it.
struct ClearAtEnd {
    ScriptedBus& bus;
    ~ClearAtEnd()
    {
        bus.ClearReplies();
        bus.ClearRecord();
        bus.Purge();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness h;
    if (size < 6)
        return 0;
    const unsigned kindIndex = data[0] % (kKindCount + 1);
    const uint8_t data0 = data[1];
    const unsigned attempts = data[2] % 3 + 1;
    const uint8_t sizeChoice = data[3];
    const uint8_t meterChoice = data[4];
    const uint8_t flags = data[5];
    data += 6;
    size -= 6;

    uint32_t number = 12345678;
    if (meterChoice % 4 == 1)
        number = VQ7_BROADCAST_NUMBER;
    else if (meterChoice % 4 == 2)
        number = 16777216u * (meterChoice >> 2) + 4711;
    const uint32_t address = NumberToBcd(number);

    const Kind kind = kindIndex < kKindCount ? kKinds[kindIndex] : Kind{VQ7_CMD_READ_VERSION, 32};
    const ClearAtEnd clear{*h.bus};
    while (size >= 2) {
        const size_t n = std::min<size_t>(size - 2, data[0] | (data[1] << 8));
        Bytes reply(data + 2, data + 2 + n);
        // In the identification each command has its own answer length.
        FixUp(reply, address, kindIndex == kIdentKind ? static_cast<unsigned>(reply.size() >= 72 ? 72 : 32) : kind.slot,
              flags);
        h.bus->QueueReply(std::move(reply));
        data += 2 + n;
        size -= 2 + n;
    }

    if (kindIndex == kIdentKind) {
        VQ7_INFO info;
        Check(ResultInTable(GetDeviceInfo(&h.conn, number, info)));
        return 0;
    }

    const unsigned packetsWanted = (kind.cmd & 0x80) ? (data0 >> 4) + 1u : 1u;
    unsigned slot = kind.slot ? kind.slot : 32;
    if (sizeChoice & 0x80)
        slot = sizeChoice & 0x7F;   // a caller's slot, perhaps too small or 0
    std::vector<uint8_t> answer(static_cast<size_t>(slot) * packetsWanted);
    unsigned answerSize = slot;
    unsigned packets = 99;
    const uint8_t request[1] = {data0};
    const unsigned rc = ExecCmd(&h.conn, number, kind.cmd, request, 1, answer.data(), &answerSize, &packets,
                                attempts);
    Check(ResultInTable(rc));
    Check(packets <= packetsWanted);
    if (rc == RC_BUFFER_TOO_SMALL)
        Check(answerSize > slot);
    else
        Check(answerSize == slot);
    return 0;
}
