// measure NUMBER... [--ge VALUE | --ge-file PATH] [--timeout S]
#include "Commands.h"
#include "ResultsOutput.h"

#include "GeSource.h"
#include "common/FlowRule.h"
#include "PollReport.h"
#include "common/NumberText.h"
#include "measurement/CSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
constexpr unsigned long long kDefaultTimeoutS = 600;
}

int CmdMeasure(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.empty() || args.positional.size() > METER_SLOTS)
        return ctx.Usage(FormatC("measure: give 1 to %d meter numbers", METER_SLOTS));
    std::vector<uint32_t> numbers;
    if (!ArgMeterNumbers(ctx, args, numbers))
        return EXIT_USAGE;
    for (auto it = numbers.begin(); it != numbers.end(); ++it)
        if (std::find(numbers.begin(), it, *it) != it)
            return ctx.Usage(FormatC("measure: meter %u given twice", *it));
    if (args.Has("ge") && args.Has("ge-file"))
        return ctx.Usage("measure: --ge and --ge-file exclude each other");
    unsigned long long timeoutS = kDefaultTimeoutS;
    if (args.Has("timeout") && (!ParseUnsigned(args.Get("timeout"), 86400, timeoutS) || timeoutS == 0))
        return ctx.Usage("measure: --timeout takes seconds (1..86400)");

    ReferenceFlowPrompt prompt;
    if (args.Has("ge")) {
        double ge = 0;
        if (!ParseGe(args.Get("ge"), ge))
            return ctx.Usage("measure: --ge is not a number: " + args.Get("ge"));
        if (!IsRigFlow(ge))
            return ctx.Usage("measure: --ge " + args.Get("ge") + " is no reference flow (" + RigFlowProblem(ge) + ")");
        prompt = FixedGe(ge);
    }

    CSystem sys(&ctx.conn);
    for (size_t slot = 0; slot < numbers.size(); ++slot) {
        const int result = sys.SetMeter(static_cast<int>(slot), numbers[slot]);
        if (result != 0)
            return ctx.Fail(FormatC("measure: identify %u", numbers[slot]), result);
    }
    if (args.Has("ge-file"))
        prompt = GeFromFile(args.Get("ge-file"));   // lines from here on belong to this cycle
    else if (!prompt)
        prompt = GeFromTerminal(stdin);
    sys.SetReferenceFlowPrompt(prompt);

    const int countBefore = sys.GetCycleResult(0);
    if (sys.StartCycle(100) != CSYSTEM_WAIT_OK)
        return ctx.Fail("measure: the measurement engine is busy");
    CPollReport report(sys);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutS);
    while (!sys.WaitIdle(200)) {
        report.Update();
        if (std::chrono::steady_clock::now() >= deadline) {
            sys.StopCycle();
            return ctx.Fail(FormatC("measure: no meter finished its integration within %llu s; stopped", timeoutS));
        }
    }
    report.Update();
    const int result = sys.GetLastCycleResult();
    const std::string message = sys.GetLastCycleMessage();
    ctx.doc["result"] = result;
    if (!message.empty())
        ctx.doc["message"] = message;
    const bool counted = sys.GetCycleResult(0) != countBefore;
    if (!counted && result != 0) {
        if (!message.empty())
            std::fprintf(stderr, "vq7ctl: %s\n", message.c_str());
        return ctx.Fail("measure: cycle", result);
    }
    if (!counted)
        return ctx.Fail("measure: no reference flow entered; the cycle was not counted");

    const double ge = sys.GetCycleGe();
    ctx.doc["Ge"] = JsonReal(ge);
    ctx.Print(FormatC("Ge = %.7g", ge));
    ctx.Print("slot    number        GiMean        GvMean");
    CtlJson& meters = ctx.doc["meters"] = CtlJson::array();
    for (size_t slot = 0; slot < numbers.size(); ++slot) {
        const int s = static_cast<int>(slot);
        float gi = 0, gv = 0;
        sys.GetCycleResult(s, &gi, &gv);
        CtlJson& m = meters.emplace_back();
        m["slot"] = s;
        m["number"] = numbers[slot];
        if (!sys.HasCycleResult(s)) {
            // No value of this cycle: never another cycle's value in its place.
            const char* why = sys.IsNoAnswer(s) ? "no answer" : "not read";
            m["missing"] = why;
            ctx.Print(FormatC("%4zu %9u  %s", slot, numbers[slot], why));
            continue;
        }
        m["GiMean"] = JsonReal(gi);
        m["GvMean"] = JsonReal(gv);
        ctx.Print(FormatC("%4zu %9u %13.6E %13.6E", slot, numbers[slot], gi, gv));
    }
    RecordMeasurement(ctx, sys, numbers);
    if (!message.empty())
        return ctx.Fail("measure: " + message);
    return EXIT_OK;
}
