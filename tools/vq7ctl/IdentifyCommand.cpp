// identify NUMBER...
#include "Commands.h"

#include "common/Cp1251.h"
#include "common/NumberText.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <vector>

namespace {
CtlJson InfoJson(const VQ7_INFO& info)
{
    CtlJson j = CtlJson::object();
    j["m_nParam0"] = info.m_nParam0;
    j["m_sModel"] = info.m_sModel;
    j["m_sVersion"] = Cp1251ToUtf8(info.m_sVersion);
    j["m_sFullVersion"] = Cp1251ToUtf8(info.m_sFullVersion);
    j["m_sDateTime"] = Cp1251ToUtf8(info.m_sDateTime);
    j["m_sType"] = Cp1251ToUtf8(info.m_sType);
    j["m_sIdText"] = Cp1251ToUtf8(info.m_sIdText);
    j["m_fVersion"] = JsonReal(info.m_fVersion);
    j["m_fFullVersion"] = JsonReal(info.m_fFullVersion);
    j["m_dwDevWordA"] = info.m_dwDevWordA;
    j["m_dwFeatures"] = info.m_dwFeatures;
    j["m_dwDevWordB"] = info.m_dwDevWordB;
    j["m_bIdFlag"] = static_cast<unsigned>(info.m_bIdFlag);
    return j;
}

void PrintInfo(const CtlContext& ctx, const VQ7_INFO& info)
{
    auto line = [&](const char* name, const std::string& value) {
        ctx.Print(FormatC("  %-15s %s", name, value.c_str()));
    };
    auto quoted = [](const std::string& text) { return "\"" + Cp1251ToUtf8(text) + "\""; };
    line("m_nParam0", std::to_string(info.m_nParam0));
    line("m_sModel", "\"" + info.m_sModel + "\"");
    line("m_sVersion", quoted(info.m_sVersion));
    line("m_sFullVersion", quoted(info.m_sFullVersion));
    line("m_sDateTime", quoted(info.m_sDateTime));
    line("m_sType", quoted(info.m_sType));
    line("m_sIdText", quoted(info.m_sIdText));
    line("m_fVersion", FormatC("%.7g", info.m_fVersion));
    line("m_fFullVersion", FormatC("%.7g", info.m_fFullVersion));
    line("m_dwDevWordA", FormatC("0x%08X", info.m_dwDevWordA));
    line("m_dwFeatures", FormatC("0x%08X", info.m_dwFeatures));
    line("m_dwDevWordB", FormatC("0x%08X", info.m_dwDevWordB));
    line("m_bIdFlag", FormatC("0x%02X", info.m_bIdFlag));
}
}

int CmdIdentify(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.empty())
        return ctx.Usage("identify: give at least one meter number");
    std::vector<uint32_t> numbers;
    if (!ArgMeterNumbers(ctx, args, numbers))
        return EXIT_USAGE;

    int exitCode = EXIT_OK;
    ctx.doc["meters"] = CtlJson::array();
    for (uint32_t number : numbers) {
        VQ7_INFO info;
        const unsigned result = GetDeviceInfo(&ctx.conn, number, info);
        CtlJson m;
        m["number"] = number;
        m["result"] = result;
        m["meaning"] = ResultCodeText(result);
        m["info"] = InfoJson(info);
        ctx.doc["meters"].push_back(std::move(m));   // before Fail adds members to the document
        ctx.Print(FormatC("Счетчик № %u: result %s", number, ResultText(result).c_str()));
        PrintInfo(ctx, info);
        if (result != 0)
            exitCode = ctx.Fail(FormatC("identify %u", number), result);
    }
    return exitCode;
}
