// The budget of a point worked out by hand to four digits.
#include "metrology/Uncertainty.h"

#include <gtest/gtest.h>

namespace {
struct BudgetCase {
    const char* name;
    UncertaintyInputs in;
    double reference, repeatability, resolution, timing, expanded;
    bool complete;
};

class PointUncertaintyTest : public testing::TestWithParam<BudgetCase> {};

TEST_P(PointUncertaintyTest, MatchesTheHandBudget)
{
    const BudgetCase& c = GetParam();
    const UncertaintyBudget b = PointUncertainty(c.in);
    EXPECT_NEAR(b.reference, c.reference, 5e-5);
    EXPECT_NEAR(b.repeatability, c.repeatability, 5e-5);
    EXPECT_NEAR(b.resolution, c.resolution, 5e-5);
    EXPECT_NEAR(b.timing, c.timing, 5e-5);
    EXPECT_NEAR(b.expanded, c.expanded, 5e-5);
    EXPECT_EQ(b.complete, c.complete);
}

INSTANTIATE_TEST_SUITE_P(
    Budgets, PointUncertaintyTest,
    testing::Values(
        // Three cycles 0.10, 0.30, 0.20 %: mean 0.20, s² = (0.01 + 0.01 + 0) / 2 = 0.01,
        // s = 0.1, s/√3 = 0.05774. Reference U 0.20 → 0.10. Resolution 0.1 L over 50 L:
        // 0.0001 / √6 / 0.05 × 100 = 0.08165. Timing 0.05 s over 60 s: 0.05 / √3 / 60 × 100
        // = 0.04811. u_c² = 0.01 + 0.003333 + 0.006667 + 0.002315 = 0.022315,
        // u_c = 0.14938, U = 0.29876.
        BudgetCase{"three_cycles", {0.20, {0.10, 0.30, 0.20}, 0, 0.0001, 0.05, 0.05, 60},
                   0.10, 0.05774, 0.08165, 0.04811, 0.29876, true},
        // Reference alone with two equal cycles: s = 0, U = 2 × 0.15 = 0.30.
        BudgetCase{"reference_only", {0.30, {1.0, 1.0}, 0, 0, 0, 0, 0}, 0.15, 0, 0, 0, 0.30, true},
        // One cycle, pooled s 0.08: u = √(0.05² + 0.08²) = 0.09434, U = 0.18868.
        BudgetCase{"one_cycle_pooled", {0.10, {0.5}, 0.08, 0, 0, 0, 0}, 0.05, 0.08, 0, 0, 0.18868, true},
        // One cycle without a pooled s: the reference only, and marked incomplete.
        BudgetCase{"one_cycle_no_estimate", {0.10, {0.5}, 0, 0, 0, 0, 0}, 0.05, 0, 0, 0, 0.10, false},
        // A resolution without a volume cannot be counted.
        BudgetCase{"resolution_without_volume", {0.10, {0.5, 0.5}, 0, 0.001, 0, 0, 0}, 0.05, 0, 0, 0, 0.10,
                   false},
        // Two cycles 1.0 and 1.4: s = 0.28284, s/√2 = 0.2; with U_ref 0: U = 0.4.
        BudgetCase{"two_cycles", {0, {1.0, 1.4}, 0, 0, 0, 0, 0}, 0, 0.2, 0, 0, 0.4, true}),
    [](const testing::TestParamInfo<BudgetCase>& info) { return std::string(info.param.name); });

TEST(PointUncertainty, GivesTheMeanAndDeviationOfTheCycles)
{
    const UncertaintyBudget b = PointUncertainty({0.2, {0.10, 0.30, 0.20}, 0, 0, 0, 0, 0});
    EXPECT_EQ(b.cycles, 3);
    EXPECT_NEAR(b.meanError, 0.2, 1e-12);
    EXPECT_NEAR(b.s, 0.1, 1e-12);
    EXPECT_FALSE(PointUncertainty({0.2, {}, 0, 0, 0, 0, 0}).complete);
}

// Two equal cycles evaluate a repeatability of 0; one cycle does not evaluate it at all.
TEST(PointUncertainty, SaysWhetherTheRepeatabilityWasEvaluated)
{
    const UncertaintyBudget two = PointUncertainty({0.2, {0.5, 0.5}, 0, 0, 0, 0, 0});
    EXPECT_TRUE(two.repeatabilityEvaluated);
    EXPECT_FALSE(two.repeatabilityPooled);
    const UncertaintyBudget one = PointUncertainty({0.2, {0.5}, 0, 0, 0, 0, 0});
    EXPECT_FALSE(one.repeatabilityEvaluated);
    EXPECT_EQ(one.repeatability, 0);
    const UncertaintyBudget pooled = PointUncertainty({0.2, {0.5}, 0.08, 0, 0, 0, 0});
    EXPECT_TRUE(pooled.repeatabilityEvaluated);
    EXPECT_TRUE(pooled.repeatabilityPooled);
    EXPECT_FALSE(PointUncertainty({0.2, {}, 0.08, 0, 0, 0, 0}).repeatabilityEvaluated);
}
}
