// param get NUMBER PARAM [KIND], param set NUMBER PARAM VALUE [KIND]
#include "Commands.h"

#include "common/NumberText.h"
#include "protocol/vq7prot/vq7cmd.h"

namespace {
// Reads NUMBER PARAM and the optional KIND at position kindAt.
bool ParamArgs(CtlContext& ctx, const CtlArgs& args, size_t kindAt, uint32_t& number, unsigned& param,
               int& kind)
{
    if (!ArgMeterNumber(ctx, args.positional[0], number) || !ArgByte(ctx, args.positional[1], "parameter", param))
        return false;
    kind = DefaultParamKind(static_cast<uint8_t>(param));
    if (args.positional.size() > kindAt) {
        const std::string& k = args.positional[kindAt];
        if (k.size() != 1 || k[0] < '0' || k[0] > '3') {
            ctx.Usage("KIND must be 0, 1, 2 or 3: " + k);
            return false;
        }
        kind = k[0] - '0';
    }
    ctx.doc["number"] = number;
    ctx.doc["param"] = param;
    ctx.doc["kind"] = kind;
    return true;
}
}

int CmdParamGet(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() < 2 || args.positional.size() > 3)
        return ctx.Usage("param get NUMBER PARAM [KIND]");
    uint32_t number = 0;
    unsigned param = 0;
    int kind = 0;
    if (!ParamArgs(ctx, args, 2, number, param, kind))
        return EXIT_USAGE;
    std::string value;
    const unsigned result = ReadParam(&ctx.conn, number, static_cast<uint8_t>(param), kind, value);
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("param get %u %u", number, param), result);
    ctx.doc["value"] = value;
    ctx.Print(value);
    return EXIT_OK;
}

int CmdParamSet(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() < 3 || args.positional.size() > 4)
        return ctx.Usage("param set NUMBER PARAM VALUE [KIND]");
    uint32_t number = 0;
    unsigned param = 0;
    int kind = 0;
    if (!ParamArgs(ctx, args, 3, number, param, kind))
        return EXIT_USAGE;
    const std::string& value = args.positional[2];
    ctx.doc["value"] = value;
    unsigned result = 0;
    try {
        result = WriteParam(&ctx.conn, number, static_cast<uint8_t>(param), kind, value);
    } catch (const EConvertError& e) {
        return ctx.Usage(e.what());
    }
    ctx.doc["result"] = result;
    if (result != 0)
        return ctx.Fail(FormatC("param set %u %u", number, param), result);
    ctx.Print("ok");
    return EXIT_OK;
}
