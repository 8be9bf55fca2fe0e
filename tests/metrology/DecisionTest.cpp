// The decision rules' truth table and the reference's share of the limit.
#include "metrology/Decision.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
struct RuleCase {
    const char* name;
    EDecisionRule rule;
    double error, u, limit;
    EPointVerdict verdict;
};

class DecideTest : public testing::TestWithParam<RuleCase> {};

TEST_P(DecideTest, FollowsTheRule)
{
    const RuleCase& c = GetParam();
    EXPECT_EQ(Decide(c.rule, c.error, c.u, c.limit), c.verdict);
}

constexpr auto S = EDecisionRule::Simple;
constexpr auto G = EDecisionRule::Guarded;
constexpr auto P = EPointVerdict::Pass;
constexpr auto F = EPointVerdict::Fail;
constexpr auto C = EPointVerdict::Conditional;

INSTANTIATE_TEST_SUITE_P(
    TruthTable, DecideTest,
    testing::Values(
        RuleCase{"simple_inside", S, 1.5, 0.8, 2.0, P},
        // exactly on the limit: "<=" passes
        RuleCase{"simple_on_limit", S, 2.0, 0.8, 2.0, P},
        RuleCase{"simple_on_negative_limit", S, -2.0, 0.8, 2.0, P},
        RuleCase{"simple_beyond", S, 2.001, 0.0, 2.0, F},
        // 1.2 + 0.5 = 1.7 <= 2
        RuleCase{"guarded_pass", G, 1.2, 0.5, 2.0, P},
        // 1.7 + 0.3 = 2.0 exactly on the band: pass
        RuleCase{"guarded_on_band", G, 1.7, 0.3, 2.0, P},
        // 1.8 + 0.3 = 2.1 > 2, 1.8 − 0.3 = 1.5 <= 2: conditional
        RuleCase{"guarded_conditional_inside", G, 1.8, 0.3, 2.0, C},
        // 2.2 − 0.3 = 1.9 <= 2: conditional although beyond the limit
        RuleCase{"guarded_conditional_beyond", G, -2.2, 0.3, 2.0, C},
        // 2.3 − 0.3 = 2.0, not above 2: still conditional
        RuleCase{"guarded_fail_edge", G, 2.3, 0.3, 2.0, C},
        // 2.5 − 0.3 = 2.2 > 2
        RuleCase{"guarded_fail", G, 2.5, 0.3, 2.0, F},
        RuleCase{"error_not_a_number_fails", S, NAN, 0.1, 2.0, F}),
    [](const testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

VerificationProfile En1434Class2()
{
    VerificationProfile p;
    p.standard = EStandard::EN1434;
    p.accuracyClass = 2;
    p.qp = 1.5;
    p.qi = 0.015;
    p.qs = 3.0;
    return p;
}

TEST(JudgePoint, En1434ReducesTheLimitByACoarseReference)
{
    VerificationProfile p = En1434Class2();
    UncertaintyBudget u;
    u.expanded = 0.5;
    // At qp the MPE is 2.02; U_ref 0.5 is not under 2.02 / 5 = 0.404: the
    // acceptance limit is 2.02 − 0.5 = 1.52, so 1.6 fails.
    PointDecision d = JudgePoint(p, 1.5, 1.6, u, 0.5);
    EXPECT_TRUE(d.uncertaintyTooLarge);
    EXPECT_NEAR(d.acceptanceLimit, 1.52, 1e-12);
    EXPECT_EQ(d.verdict, EPointVerdict::Fail);
    // U_ref 0.4 is under 0.404: the full limit; 1.6 passes, U / MPE = 0.5 / 2.02.
    d = JudgePoint(p, 1.5, 1.6, u, 0.4);
    EXPECT_FALSE(d.uncertaintyTooLarge);
    EXPECT_NEAR(d.acceptanceLimit, 2.02, 1e-12);
    EXPECT_NEAR(d.uToLimit, 0.247525, 1e-6);
    EXPECT_EQ(d.verdict, EPointVerdict::Pass);
    // Outside qi..qs: not judged, whatever the error.
    EXPECT_EQ(JudgePoint(p, 5.0, 0.0, u, 0.1).verdict, EPointVerdict::NotJudged);
}

TEST(JudgePoint, OtherStandardsWarnWhenUExceedsTheirShare)
{
    VerificationProfile p;   // the tolerance ±2 %: U may take 1/3, 0.667
    UncertaintyBudget u;
    u.expanded = 0.7;
    PointDecision d = JudgePoint(p, 10.0, 1.9, u, 0.1);
    EXPECT_TRUE(d.uncertaintyTooLarge);
    EXPECT_EQ(d.verdict, EPointVerdict::Pass);   // simple acceptance: the error alone
    u.expanded = 0.6;
    EXPECT_FALSE(JudgePoint(p, 10.0, 1.9, u, 0.1).uncertaintyTooLarge);
    p.ratio = 0.2;   // the profile's own ratio: 0.4
    EXPECT_TRUE(JudgePoint(p, 10.0, 1.9, u, 0.1).uncertaintyTooLarge);
}

TEST(MeterVerdict, WorstPointDecides)
{
    using V = EPointVerdict;
    EXPECT_EQ(MeterVerdict({}), V::NotJudged);
    EXPECT_EQ(MeterVerdict({V::NotJudged, V::Pass}), V::Pass);
    EXPECT_EQ(MeterVerdict({V::Pass, V::Conditional, V::Pass}), V::Conditional);
    EXPECT_EQ(MeterVerdict({V::Conditional, V::Fail, V::Pass}), V::Fail);
    EXPECT_STREQ(PointVerdictText(V::Conditional), "условно");
}
}
