#include "sim/Faults.h"

#include "common/NumberText.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace {
struct KindName {
    FaultKind kind;
    const char* name;
};
const KindName kKinds[] = {
    {FaultKind::Silence, "silence"},     {FaultKind::Garbage, "garbage"},
    {FaultKind::BadChecks, "badcheck"},  {FaultKind::WrongAddress, "wrongaddr"},
    {FaultKind::Truncated, "truncate"},  {FaultKind::Busy, "busy"},
    {FaultKind::Refuse, "refuse"},       {FaultKind::SwitchOff, "switchoff"},
    {FaultKind::StoreOther, "storeother"}, {FaultKind::StoreOtherGe, "storeotherge"},
};

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}
}  // namespace

const char* FaultKindName(FaultKind kind)
{
    for (const auto& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

std::optional<FaultKind> FaultKindFromName(const std::string& name)
{
    for (const auto& k : kKinds)
        if (name == k.name)
            return k.kind;
    return std::nullopt;
}

std::optional<FaultRule> ParseFaultRule(const std::string& text, std::string* error)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (parts.empty() || parts[0].empty()) {
        Fail(error, "empty fault");
        return std::nullopt;
    }
    const auto kind = FaultKindFromName(parts[0]);
    if (!kind) {
        Fail(error, "unknown fault kind '" + parts[0] +
                        "' (silence, garbage, badcheck, wrongaddr, truncate, busy, refuse, switchoff)");
        return std::nullopt;
    }
    FaultRule rule;
    rule.kind = *kind;
    for (size_t i = 1; i < parts.size(); ++i) {
        const auto eq = parts[i].find('=');
        if (eq == std::string::npos) {
            Fail(error, "fault option '" + parts[i] + "' is not key=value");
            return std::nullopt;
        }
        const std::string key = parts[i].substr(0, eq);
        const std::string value = parts[i].substr(eq + 1);
        if (key == "p") {
            double p = 0;
            if (!ParseFloatPoint(value, p) || p < 0 || p > 1) {
                Fail(error, "fault probability '" + value + "' is not a number from 0 to 1");
                return std::nullopt;
            }
            rule.probability = p;
            continue;
        }
        const long long n = StrToIntDef(value, -2);
        if (key == "cmd" && n >= 0 && n <= 255)
            rule.command = static_cast<int>(n);
        else if (key == "n" && n >= -1 && n <= 1000000)
            rule.count = static_cast<int>(n);
        else if (key == "arg" && n >= 0 && n <= 255)
            rule.argument = static_cast<unsigned>(n);
        else {
            Fail(error, "bad fault option '" + parts[i] + "' (cmd=0..255, p=0..1, n=count, arg=0..255)");
            return std::nullopt;
        }
    }
    return rule;
}

std::string FormatFaultRule(const FaultRule& rule)
{
    std::string s = FaultKindName(rule.kind);
    if (rule.command != FAULT_ANY_COMMAND)
        s += FormatC(":cmd=%d", rule.command);
    if (rule.probability != 1.0)
        s += FormatC(":p=%g", rule.probability);
    if (rule.count != FAULT_UNLIMITED)
        s += FormatC(":n=%d", rule.count);
    if (rule.argument != 0)
        s += FormatC(":arg=%u", rule.argument);
    return s;
}
