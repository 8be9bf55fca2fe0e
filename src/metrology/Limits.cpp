#include "Limits.h"

#include <algorithm>
#include <cmath>

namespace {
// Flows compared with a relative slack, so a point typed as 0.1·qp is in.
constexpr double kFlowSlack = 1e-9;

bool Within(double q, double low, double high)
{
    return q >= low * (1 - kFlowSlack) && q <= high * (1 + kFlowSlack);
}

struct En1434Class {
    double base, slope, cap;
};

bool En1434Coefficients(int cls, En1434Class& c)
{
    switch (cls) {
    case 1:
        c = {1.0, 0.01, 3.5};
        return true;
    case 2:
        c = {2.0, 0.02, 5.0};
        return true;
    case 3:
        c = {3.0, 0.05, 5.0};
        return true;
    default:
        return false;
    }
}
}

FlowLimit LimitAt(const VerificationProfile& p, double q)
{
    FlowLimit limit;
    if (!std::isfinite(q))
        return limit;
    switch (p.standard) {
    case EStandard::Tolerance:
        limit.judged = true;
        limit.mpe = p.tolerance;
        return limit;
    case EStandard::EN1434: {
        En1434Class c;
        if (!En1434Coefficients(p.accuracyClass, c) || !(q > 0) || !Within(q, p.qi, p.qs))
            return limit;
        limit.judged = true;
        limit.mpe = std::min(c.base + c.slope * p.qp / q, c.cap);
        limit.zone = "qi..qs";
        return limit;
    }
    case EStandard::R49: {
        if ((p.accuracyClass != 1 && p.accuracyClass != 2) || !(q > 0) || !Within(q, p.q1, R49Q4(p)))
            return limit;
        const bool hot = p.temperature > 30.0;   // NaN: not stated, cold water
        const bool lower = q < R49Q2(p);         // Q2 itself belongs to the upper zone
        limit.judged = true;
        limit.zone = lower ? "Q1..Q2" : "Q2..Q4";
        if (p.accuracyClass == 1)
            limit.mpe = lower ? 3.0 : hot ? 2.0 : 1.0;
        else
            limit.mpe = lower ? 5.0 : hot ? 3.0 : 2.0;
        return limit;
    }
    }
    return limit;
}

std::vector<FlowRange> RequiredFlows(const VerificationProfile& p)
{
    switch (p.standard) {
    case EStandard::EN1434:
        return {{"qi", p.qi, 1.1 * p.qi}, {"0.1·qp", 0.1 * p.qp, 0.11 * p.qp}, {"qp", 0.9 * p.qp, p.qp}};
    case EStandard::R49:
        return {{"Q1", p.q1, 1.1 * p.q1}, {"Q2", R49Q2(p), 1.1 * R49Q2(p)}, {"Q3", 0.9 * p.q3, p.q3}};
    default:
        return {};
    }
}

std::vector<std::string> MissingFlows(const VerificationProfile& p, const std::vector<double>& flows)
{
    std::vector<std::string> missing;
    for (const FlowRange& r : RequiredFlows(p)) {
        const bool found = std::any_of(flows.begin(), flows.end(), [&](double q) { return Within(q, r.low, r.high); });
        if (!found)
            missing.push_back(r.name);
    }
    return missing;
}
