// profile list/show/set/check: the verification profiles of profiles.ini.
#include "Commands.h"

#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "metrology/Limits.h"
#include "workstation/ProfileFile.h"
#include "workstation/VerificationVerdict.h"

#include <cmath>
#include <map>

namespace {
std::string ConfigPath(const CtlContext& ctx)
{
    return ctx.opts.configFile.empty() ? DataDir() + "/config.ini" : ctx.opts.configFile;
}

std::string ProfilesPath(const CtlArgs& args) { return args.Get("profiles", DataDir() + "/" + kProfilesFileName); }

bool LoadSet(CtlContext& ctx, const CtlArgs& args, CProfileSet& set)
{
    std::string error;
    if (!set.Load(ProfilesPath(args), LoadTolerance(ConfigPath(ctx)), error)) {
        ctx.Fail("profile: " + error);
        return false;
    }
    ctx.doc["file"] = set.Path();
    return true;
}

std::string Number(double v) { return FormatC("%g", v); }

// The keys of a profile as profiles.ini spells them.
std::vector<std::pair<std::string, std::string>> ProfileKeys(const VerificationProfile& p)
{
    std::vector<std::pair<std::string, std::string>> keys{{"standard", StandardKey(p.standard)}};
    if (p.standard == EStandard::Tolerance) {
        keys.push_back({"tolerance", Number(p.tolerance)});
    } else {
        keys.push_back({"class", std::to_string(p.accuracyClass)});
        if (p.standard == EStandard::EN1434)
            keys.insert(keys.end(), {{"qp", Number(p.qp)}, {"qi", Number(p.qi)}, {"qs", Number(p.qs)}});
        else
            keys.insert(keys.end(), {{"q1", Number(p.q1)}, {"q3", Number(p.q3)}});
    }
    keys.push_back({"rule", RuleKey(p.rule)});
    if (std::isfinite(p.temperature))
        keys.push_back({"temperature", Number(p.temperature)});
    keys.push_back({"ratio", Number(UncertaintyRatio(p))});
    for (const auto& [key, v] : {std::pair<const char*, double>{"pooled_s", p.pooledS}, {"resolution", p.resolution},
                                 {"cycle", p.cycleSeconds}, {"timing", p.timing}})
        if (v > 0)
            keys.push_back({key, Number(v)});
    return keys;
}
}

int CmdProfileList(CtlContext& ctx, CtlArgs& args)
{
    if (!args.positional.empty())
        return ctx.Usage("profile list: unexpected argument " + args.positional[0]);
    CProfileSet set;
    if (!LoadSet(ctx, args, set))
        return EXIT_FAILED;
    CtlJson list = CtlJson::array();
    for (const ProfileSection& s : set.Sections()) {
        const std::string what = s.error.empty() ? StandardTitle(s.profile) + ", " + RuleKey(s.profile.rule)
                                                 : "отклонен: " + s.error;
        ctx.Print(s.name + "  " + what);
        list.push_back(CtlJson{{"section", s.name}, {"accepted", s.error.empty()}, {"text", what}});
    }
    if (set.Sections().empty())
        ctx.Print("no profiles in " + set.Path() + ": every meter by the station's tolerance ±" +
                  Number(set.StationTolerance()) + " %");
    ctx.doc["profiles"] = list;
    return set.Errors().empty() ? EXIT_OK : EXIT_FAILED;
}

int CmdProfileShow(CtlContext& ctx, CtlArgs& args)
{
    if (args.positional.size() != 1)
        return ctx.Usage("profile show NUMBER|default [--profiles FILE]");
    CProfileSet set;
    if (!LoadSet(ctx, args, set))
        return EXIT_FAILED;
    const std::string& name = args.positional[0];
    uint32_t number = 0;
    if (name != kDefaultProfileSection && !ArgMeterNumber(ctx, name, number))
        return EXIT_USAGE;
    const std::string section = set.SectionFor(number);
    VerificationProfile p;
    std::string error;
    if (!set.ProfileFor(number, p, error))
        return ctx.Fail("profile: " + error);
    ctx.Print("section: " + (section.empty() ? std::string("(none: the station's tolerance)") : "[" + section + "]"));
    ctx.Print(StandardTitle(p));
    ctx.doc["section"] = section;
    CtlJson& keys = ctx.doc["keys"] = CtlJson::object();
    for (const auto& [key, value] : ProfileKeys(p)) {
        ctx.Print(key + "=" + value);
        keys[key] = value;
    }
    CtlJson& flows = ctx.doc["flows"] = CtlJson::array();
    for (const FlowRange& r : RequiredFlows(p)) {
        const double lo = LimitAt(p, r.low).mpe, hi = LimitAt(p, r.high).mpe;
        ctx.Print(FormatC("flow %s: %g..%g m3/h, limit ±%.3f..±%.3f %%", r.name.c_str(), r.low, r.high, hi, lo));
        flows.push_back(CtlJson{{"name", r.name}, {"low", r.low}, {"high", r.high}, {"limitLow", lo}, {"limitHigh", hi}});
    }
    ctx.Print("rule: " + RuleTitle(p.rule));
    return EXIT_OK;
}

int CmdProfileSet(CtlContext& ctx, CtlArgs& args)
{
    const char* usage = "profile set NUMBER|default KEY VALUE | KEY=VALUE... [--profiles FILE]";
    if (args.positional.size() < 2)
        return ctx.Usage(usage);
    // KEY=VALUE pairs are set together (a standard changed with its flows); KEY VALUE is one key.
    std::map<std::string, std::string> values;
    bool pairs = true;
    for (size_t i = 1; i < args.positional.size(); ++i)
        pairs = pairs && args.positional[i].find('=') != std::string::npos;
    if (pairs) {
        for (size_t i = 1; i < args.positional.size(); ++i) {
            const std::string& a = args.positional[i];
            const size_t eq = a.find('=');
            if (eq == 0)
                return ctx.Usage(std::string("profile set: no key in ") + a);
            if (!values.emplace(a.substr(0, eq), a.substr(eq + 1)).second)
                return ctx.Usage("profile set: " + a.substr(0, eq) + " given twice");
        }
    } else if (args.positional.size() == 3) {
        values[args.positional[1]] = args.positional[2];
    } else {
        return ctx.Usage(usage);
    }
    const std::string& name = args.positional[0];
    uint32_t number = 0;
    if (name != kDefaultProfileSection && !ArgMeterNumber(ctx, name, number))
        return EXIT_USAGE;
    const std::string section = number ? std::to_string(number) : std::string(kDefaultProfileSection);
    const std::string path = ProfilesPath(args);
    ctx.doc["file"] = path;
    const std::string error = SetProfileKeys(path, section, values, LoadTolerance(ConfigPath(ctx)));
    if (!error.empty())
        return ctx.Fail("profile: " + error);
    std::string text;
    for (const auto& [key, value] : values)
        text += (text.empty() ? "" : " ") + key + "=" + value;
    ctx.Print("[" + section + "] " + text + " written to " + path);
    return EXIT_OK;
}

int CmdProfileCheck(CtlContext& ctx, CtlArgs& args)
{
    if (!args.positional.empty())
        return ctx.Usage("profile check: unexpected argument " + args.positional[0]);
    CProfileSet set;
    if (!LoadSet(ctx, args, set))
        return EXIT_FAILED;
    std::vector<std::string> errors = set.Errors();
    ReferenceInstrument ref;
    if (const std::string e = LoadReference(ConfigPath(ctx), ref); !e.empty())
        errors.push_back(e);
    CtlJson& list = ctx.doc["errors"] = CtlJson::array();
    for (const std::string& e : errors) {
        std::fprintf(stderr, "vq7ctl: %s\n", e.c_str());
        list.push_back(e);
    }
    if (errors.empty())
        ctx.Print(FormatC("%zu profiles good; reference: ", set.Sections().size()) +
                  (ref.uGiven ? FormatC("U = %.3f %%", ref.u) : std::string("U not stated")));
    return errors.empty() ? EXIT_OK : EXIT_FAILED;
}
