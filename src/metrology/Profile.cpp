#include "Profile.h"

#include <cctype>

namespace {
bool SameKey(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}
}

const char* StandardKey(EStandard s)
{
    switch (s) {
    case EStandard::EN1434:
        return "EN1434";
    case EStandard::R49:
        return "R49";
    default:
        return "tolerance";
    }
}

bool StandardFromKey(const std::string& key, EStandard& s)
{
    for (EStandard v : {EStandard::Tolerance, EStandard::EN1434, EStandard::R49})
        if (SameKey(key, StandardKey(v))) {
            s = v;
            return true;
        }
    return false;
}

const char* RuleKey(EDecisionRule r) { return r == EDecisionRule::Guarded ? "guarded" : "simple"; }

bool RuleFromKey(const std::string& key, EDecisionRule& r)
{
    for (EDecisionRule v : {EDecisionRule::Simple, EDecisionRule::Guarded})
        if (SameKey(key, RuleKey(v))) {
            r = v;
            return true;
        }
    return false;
}

std::string StandardTitle(const VerificationProfile& p)
{
    const std::string cls = std::to_string(p.accuracyClass);
    switch (p.standard) {
    case EStandard::EN1434:
        return "EN 1434, датчик расхода, класс " + cls;
    case EStandard::R49:
        return "OIML R 49, класс " + cls;
    default:
        return "допуск станции";
    }
}

std::string RuleTitle(EDecisionRule r)
{
    return r == EDecisionRule::Guarded ? "приемка с защитной полосой w = U (|e| + U <= предел; |e| - U > предел: "
                                         "не соответствует; иначе условно)"
                                       : "простая приемка (|e| <= предел)";
}

double UncertaintyRatio(const VerificationProfile& p)
{
    if (p.ratio > 0)
        return p.ratio;
    return p.standard == EStandard::EN1434 ? 0.2 : 1.0 / 3.0;
}
