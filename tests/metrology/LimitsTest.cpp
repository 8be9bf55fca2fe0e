// Limits of every class at the edges of its zones, worked out by hand.
#include "metrology/Limits.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
VerificationProfile En1434(int cls, double qp, double qi, double qs)
{
    VerificationProfile p;
    p.standard = EStandard::EN1434;
    p.accuracyClass = cls;
    p.qp = qp;
    p.qi = qi;
    p.qs = qs;
    return p;
}

VerificationProfile R49(int cls, double q1, double q3, double temperature = NAN)
{
    VerificationProfile p;
    p.standard = EStandard::R49;
    p.accuracyClass = cls;
    p.q1 = q1;
    p.q3 = q3;
    p.temperature = temperature;
    return p;
}

struct LimitCase {
    const char* name;
    VerificationProfile profile;
    double q;
    bool judged;
    double mpe;
};

class LimitAtTest : public testing::TestWithParam<LimitCase> {};

TEST_P(LimitAtTest, GivesTheHandValue)
{
    const LimitCase& c = GetParam();
    const FlowLimit limit = LimitAt(c.profile, c.q);
    EXPECT_EQ(limit.judged, c.judged);
    if (c.judged) {
        EXPECT_NEAR(limit.mpe, c.mpe, 1e-12);
    }
}

// qp = 1.5 m³/h throughout; qs = 3.0.
INSTANTIATE_TEST_SUITE_P(
    Classes, LimitAtTest,
    testing::Values(
        // class 2, qp/qi = 100: at qi 2 + 0.02·100 = 4.00
        LimitCase{"class2_at_qi", En1434(2, 1.5, 0.015, 3.0), 0.015, true, 4.0},
        // at qp: 2 + 0.02·1 = 2.02
        LimitCase{"class2_at_qp", En1434(2, 1.5, 0.015, 3.0), 1.5, true, 2.02},
        // at qs: 2 + 0.02·0.5 = 2.01
        LimitCase{"class2_at_qs", En1434(2, 1.5, 0.015, 3.0), 3.0, true, 2.01},
        // qp/qi = 250, q = qp/150 = 0.01: 2 + 0.02·150 = 5.00, exactly the cap
        LimitCase{"class2_reaches_cap", En1434(2, 1.5, 0.006, 3.0), 0.01, true, 5.0},
        // q = qp/200 = 0.0075: 2 + 4 = 6 > 5, the cap holds
        LimitCase{"class2_capped", En1434(2, 1.5, 0.006, 3.0), 0.0075, true, 5.0},
        // class 1 at qp/q = 250 (q = 0.006): 1 + 2.5 = 3.5, the cap
        LimitCase{"class1_at_cap", En1434(1, 1.5, 0.006, 3.0), 0.006, true, 3.5},
        // class 1 at qp/q = 10 (q = 0.15): 1 + 0.1 = 1.1
        LimitCase{"class1_at_tenth", En1434(1, 1.5, 0.006, 3.0), 0.15, true, 1.1},
        // class 3 at qp/q = 40 (q = 0.0375): 3 + 2 = 5, the cap
        LimitCase{"class3_at_cap", En1434(3, 1.5, 0.015, 3.0), 0.0375, true, 5.0},
        // class 3 at qp/q = 20 (q = 0.075): 3 + 1 = 4
        LimitCase{"class3_at_20", En1434(3, 1.5, 0.015, 3.0), 0.075, true, 4.0},
        // class 3 at qp/q = 100 (q = qi): 3 + 5 = 8, capped at 5
        LimitCase{"class3_capped", En1434(3, 1.5, 0.015, 3.0), 0.015, true, 5.0},
        // below qi and above qs: not judged
        LimitCase{"below_qi", En1434(2, 1.5, 0.015, 3.0), 0.0149, false, 0},
        LimitCase{"above_qs", En1434(2, 1.5, 0.015, 3.0), 3.01, false, 0},
        LimitCase{"zero_flow", En1434(2, 1.5, 0.015, 3.0), 0, false, 0},
        LimitCase{"unknown_class", En1434(4, 1.5, 0.015, 3.0), 1.5, false, 0},
        // R 49, Q1 = 0.025, Q3 = 2.5 (R 100): Q2 = 0.04, Q4 = 3.125
        LimitCase{"r49_c2_at_q1", R49(2, 0.025, 2.5), 0.025, true, 5.0},
        LimitCase{"r49_c2_below_q2", R49(2, 0.025, 2.5), 0.0399, true, 5.0},
        LimitCase{"r49_c2_at_q2", R49(2, 0.025, 2.5), 1.6 * 0.025, true, 2.0},
        LimitCase{"r49_c2_at_q4", R49(2, 0.025, 2.5), 3.125, true, 2.0},
        LimitCase{"r49_c2_hot", R49(2, 0.025, 2.5, 50), 2.5, true, 3.0},
        // exactly 30 °C is not above 30 °C
        LimitCase{"r49_c2_at_30", R49(2, 0.025, 2.5, 30), 2.5, true, 2.0},
        LimitCase{"r49_c2_hot_lower", R49(2, 0.025, 2.5, 50), 0.03, true, 5.0},
        LimitCase{"r49_c1_lower", R49(1, 0.025, 2.5), 0.03, true, 3.0},
        LimitCase{"r49_c1_upper", R49(1, 0.025, 2.5), 1.0, true, 1.0},
        LimitCase{"r49_c1_hot", R49(1, 0.025, 2.5, 31), 1.0, true, 2.0},
        LimitCase{"r49_below_q1", R49(2, 0.025, 2.5), 0.0249, false, 0},
        LimitCase{"r49_above_q4", R49(2, 0.025, 2.5), 3.2, false, 0},
        LimitCase{"tolerance_any_flow", VerificationProfile{}, 123.0, true, 2.0}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

TEST(RequiredFlows, NameTheStandardsPointsAndWhatIsMissing)
{
    // qp 1.5, qi 0.015: qi..0.0165, 0.15..0.165, 1.35..1.5
    const VerificationProfile p = En1434(2, 1.5, 0.015, 3.0);
    const std::vector<FlowRange> flows = RequiredFlows(p);
    ASSERT_EQ(flows.size(), 3u);
    EXPECT_DOUBLE_EQ(flows[0].high, 0.0165);
    EXPECT_DOUBLE_EQ(flows[1].low, 0.15);
    EXPECT_DOUBLE_EQ(flows[1].high, 0.165);
    EXPECT_DOUBLE_EQ(flows[2].low, 1.35);
    EXPECT_EQ(MissingFlows(p, {0.016, 1.4}), std::vector<std::string>{"0.1·qp"});
    EXPECT_TRUE(MissingFlows(p, {0.015, 0.15, 1.5}).empty());
    // R 49, Q1 0.025: Q2 range 0.04..0.044
    const VerificationProfile w = R49(2, 0.025, 2.5);
    EXPECT_EQ(MissingFlows(w, {0.026, 0.045, 2.4}), std::vector<std::string>{"Q2"});
    EXPECT_TRUE(RequiredFlows(VerificationProfile{}).empty());
}
}
