#pragma once
// Decision rules: the verdict on a point from its error, U and the limit,
// and on a meter from its points.
#include "Limits.h"
#include "Profile.h"
#include "Uncertainty.h"

#include <string>
#include <vector>

enum class EPointVerdict { NotJudged, Pass, Fail, Conditional };

// Simple: pass when |e| <= limit. Guarded (w = U): pass when |e| + U <=
// limit, fail when |e| − U > limit, otherwise conditional. A point on a
// boundary takes the "<=" side.
EPointVerdict Decide(EDecisionRule rule, double error, double expandedU, double limit);

struct PointDecision {
    EPointVerdict verdict = EPointVerdict::NotJudged;
    FlowLimit limit;               // the MPE at the point's flow
    double acceptanceLimit = 0;    // the limit the rule used (EN 1434: reduced by a coarse reference's U)
    double uToLimit = 0;           // U / MPE
    // EN 1434: U_ref is not under ratio·MPE; others: U exceeds ratio·MPE.
    bool uncertaintyTooLarge = false;
};

// The whole judgement of one point at flow q with the error e.
PointDecision JudgePoint(const VerificationProfile& p, double q, double error, const UncertaintyBudget& u,
                         double referenceU);

// Fail if any point fails, else conditional if any is, else pass if any
// passed; NotJudged without judged points.
EPointVerdict MeterVerdict(const std::vector<EPointVerdict>& points);

// "соответствует", "не соответствует", "условно", "не оценивается".
const char* PointVerdictText(EPointVerdict v);
