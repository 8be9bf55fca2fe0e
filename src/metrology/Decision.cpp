#include "Decision.h"

#include <cmath>

namespace {
// Sums of values with three decimals land a hair beside the boundary.
constexpr double kBoundarySlack = 1e-9;
}

EPointVerdict Decide(EDecisionRule rule, double error, double expandedU, double limit)
{
    if (!std::isfinite(error) || !std::isfinite(limit))
        return std::isfinite(limit) ? EPointVerdict::Fail : EPointVerdict::NotJudged;
    const double e = std::fabs(error);
    if (rule == EDecisionRule::Simple)
        return e <= limit + kBoundarySlack ? EPointVerdict::Pass : EPointVerdict::Fail;
    const double u = std::isfinite(expandedU) ? std::fabs(expandedU) : 0.0;
    if (e + u <= limit + kBoundarySlack)
        return EPointVerdict::Pass;
    if (e - u > limit + kBoundarySlack)
        return EPointVerdict::Fail;
    return EPointVerdict::Conditional;
}

PointDecision JudgePoint(const VerificationProfile& p, double q, double error, const UncertaintyBudget& u,
                         double referenceU)
{
    PointDecision d;
    d.limit = LimitAt(p, q);
    if (!d.limit.judged)
        return d;
    const double ratio = UncertaintyRatio(p);
    d.acceptanceLimit = d.limit.mpe;
    d.uToLimit = d.limit.mpe > 0 ? u.expanded / d.limit.mpe : 0;
    if (p.standard == EStandard::EN1434) {
        // The test equipment should be under 1/5 of the MPE; where not, the
        // acceptance limit is reduced by its uncertainty.
        d.uncertaintyTooLarge = std::fabs(referenceU) >= ratio * d.limit.mpe;
        if (d.uncertaintyTooLarge)
            d.acceptanceLimit = d.limit.mpe - std::fabs(referenceU);
    } else {
        d.uncertaintyTooLarge = u.expanded > ratio * d.limit.mpe;
    }
    d.verdict = Decide(p.rule, error, u.expanded, d.acceptanceLimit);
    return d;
}

EPointVerdict MeterVerdict(const std::vector<EPointVerdict>& points)
{
    EPointVerdict meter = EPointVerdict::NotJudged;
    for (EPointVerdict v : points) {
        if (v == EPointVerdict::Fail)
            return EPointVerdict::Fail;
        if (v == EPointVerdict::Conditional)
            meter = v;
        else if (v == EPointVerdict::Pass && meter == EPointVerdict::NotJudged)
            meter = v;
    }
    return meter;
}

const char* PointVerdictText(EPointVerdict v)
{
    switch (v) {
    case EPointVerdict::Pass:
        return "соответствует";
    case EPointVerdict::Fail:
        return "не соответствует";
    case EPointVerdict::Conditional:
        return "условно";
    default:
        return "не оценивается";
    }
}
