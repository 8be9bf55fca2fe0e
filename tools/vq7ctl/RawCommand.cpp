// raw NUMBER CODE [HEXDATA]
#include "Commands.h"

#include "common/NumberText.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <algorithm>
#include <vector>

namespace {
constexpr unsigned kRawAttempts = 5;
constexpr unsigned kMaxPackets = 16;

// Length of one answer packet of a command, as the transaction reads it.
unsigned PacketLength(uint8_t cmd, const uint8_t* packet)
{
    if (cmd & 0x80)
        return std::min<unsigned>(packet[5] + 8u, ZUA_SUPERLONG_MAX_SIZE);
    if (cmd >= 0x40)
        return VQ7_LONG_ANSWER_SIZE;
    if (cmd == VQ7_CMD_EIGHT_BYTE)
        return VQ7_EIGHT_BYTE_ANSWER_SIZE;
    return VQ7_SHORT_ANSWER_SIZE;
}
}

int CmdRaw(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() < 2 || args.positional.size() > 3)
        return ctx.Usage("raw NUMBER CODE [HEXDATA]");
    uint32_t number = 0;
    unsigned code = 0;
    if (!ArgMeterNumber(ctx, args.positional[0], number) || !ArgByte(ctx, args.positional[1], "command code", code))
        return EXIT_USAGE;
    std::vector<unsigned char> data;
    if (args.positional.size() == 3 && !ParseHexBytes(args.positional[2], data))
        return ctx.Usage("HEXDATA is not hexadecimal bytes: " + args.positional[2]);
    if (data.size() > VQ7_CMD_DATA_SIZE)
        return ctx.Usage(FormatC("HEXDATA: at most %u bytes", VQ7_CMD_DATA_SIZE));
    ctx.doc["number"] = number;
    ctx.doc["code"] = code;

    std::vector<uint8_t> answer(static_cast<size_t>(kMaxPackets) * ZUA_SUPERLONG_MAX_SIZE);
    unsigned size = ZUA_SUPERLONG_MAX_SIZE;
    unsigned packets = 0;
    const uint8_t cmd = static_cast<uint8_t>(code);
    const unsigned result = ExecCmd(&ctx.conn, number, cmd, data.data(), static_cast<unsigned>(data.size()),
                                    answer.data(), &size, &packets, kRawAttempts);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("raw %u 0x%02X", number, code), result);

    CtlJson& frames = ctx.doc["answer"] = CtlJson::array();
    if (packets == 0)
        ctx.Print("(no answer expected)");
    for (unsigned i = 0; i < packets && i < kMaxPackets; ++i) {
        const uint8_t* p = answer.data() + static_cast<size_t>(i) * size;
        const unsigned length = std::min(PacketLength(cmd, p), size);
        std::string hex;
        for (unsigned k = 0; k < length; ++k)
            hex += FormatC(k ? " %02X" : "%02X", p[k]);
        frames.push_back(hex);
        ctx.Print(hex);
    }
    return EXIT_OK;
}
