// status, current, clock, restart: one command to one meter.
#include "Commands.h"

#include "common/NumberText.h"
#include "measurement/MeterStatus.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <cstring>

namespace {
bool OneMeter(CtlContext& ctx, const CtlArgs& args, size_t count, const char* usage, uint32_t& number)
{
    if (args.positional.size() != count) {
        ctx.Usage(usage);
        return false;
    }
    if (!ArgMeterNumber(ctx, args.positional[0], number))
        return false;
    ctx.doc["number"] = number;
    return true;
}

std::string HexBytes(const uint8_t* bytes, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += FormatC(i ? " %02X" : "%02X", bytes[i]);
    return out;
}

CtlJson ByteArray(const uint8_t* bytes, size_t n)
{
    return CtlJson(std::vector<unsigned>(bytes, bytes + n));
}
}

int CmdStatus(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (!OneMeter(ctx, args, 1, "status NUMBER", number))
        return EXIT_USAGE;
    MeterStatus status;
    const unsigned result = ReadStatus(&ctx.conn, number, status.m_abData);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("status %u", number), result);
    ctx.doc["status"] = ByteArray(status.m_abData, 8);
    ctx.doc["measuring"] = status.IsMeasuring();
    ctx.doc["integrating"] = status.IsIntegrating();
    ctx.Print(HexBytes(status.m_abData, 8));
    ctx.Print(FormatC("measuring %d, integrating %d", status.IsMeasuring(), status.IsIntegrating()));
    return EXIT_OK;
}

int CmdCurrent(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (!OneMeter(ctx, args, 2, "current NUMBER INDEX", number))
        return EXIT_USAGE;
    unsigned long long index = 0;
    if (!ParseUnsigned(args.positional[1], 9, index) || index == 0)
        return ctx.Usage("INDEX must be 1..9: " + args.positional[1]);
    ctx.doc["index"] = static_cast<unsigned>(index);
    // Value 8 of older converters needs their identification for its byte order.
    VQ7_INFO info;
    if (index == 8) {
        const unsigned result = GetDeviceInfo(&ctx.conn, number, info);
        if (result != 0)
            return ctx.Fail(FormatC("identify %u", number), result);
    }
    std::string value;
    const unsigned result =
        ReadCurrent(&ctx.conn, number, static_cast<uint8_t>(index), value, index == 8 ? &info : nullptr);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("current %u %llu", number, index), result);
    ctx.doc["value"] = value;
    ctx.Print(value);
    return EXIT_OK;
}

int CmdClock(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (!OneMeter(ctx, args, 1, "clock NUMBER", number))
        return EXIT_USAGE;
    uint8_t clock[8] = {};
    const unsigned result = ReadClock(&ctx.conn, number, clock);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("clock %u", number), result);
    std::string text;
    const bool valid = FormatMeterDateTime(clock[1], clock[2], clock[3], clock[5], clock[6], clock[7], text);
    ctx.doc["clock"] = text;
    ctx.doc["valid"] = valid;
    ctx.doc["bytes"] = ByteArray(clock, 8);
    ctx.Print(valid ? text : text + " (invalid clock bytes: " + HexBytes(clock, 8) + ")");
    return EXIT_OK;
}

int CmdRestart(CtlContext& ctx, CtlArgs& args)
{
    uint32_t number = 0;
    if (!OneMeter(ctx, args, 1, "restart NUMBER", number))
        return EXIT_USAGE;
    const unsigned result = Restart(&ctx.conn, number, 13);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("restart %u", number), result);
    ctx.Print("ok");
    return EXIT_OK;
}
