// The plan file: what it refuses (naming the field), what it keeps, and the
// progress a running plan shows.
#include "workstation/TestPlan.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

TEST(TestPlan, APlanThatCannotRunIsRefusedNamingItsField)
{
    const struct {
        const char* json;
        const char* names;
    } refused[] = {
        {"[1]", "JSON object"},
        {"{\"kind\": \"calibrate\", \"meters\": [\"1\"], \"points\": [{\"flow\": 1}]}", "\"kind\""},
        {"{\"kind\": \"verification\", \"meters\": [], \"points\": [{\"flow\": 1}]}", "\"meters\""},
        {"{\"kind\": \"verification\", \"meters\": [\"12a\"], \"points\": [{\"flow\": 1}]}", "\"meters\""},
        {"{\"kind\": \"verification\", \"meters\": [\"5:1000\"], \"points\": [{\"flow\": 1}]}", "DN 0..999"},
        {"{\"kind\": \"verification\", \"meters\": [\"5\", \"5:40\"], \"points\": [{\"flow\": 1}]}", "twice"},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": []}", "\"points\""},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": [{\"flow\": 0}]}", "\"points\"[0]"},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": [{\"flow\": \"10\"}]}", "\"points\"[0]"},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": [{\"flow\": 1, \"cycles\": 0}]}", "\"cycles\""},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": [{\"flow\": 1, \"cycles\": 1.5}]}", "\"cycles\""},
        {"{\"kind\": \"verification\", \"meters\": [\"5\"], \"points\": [{\"flow\": 1}], "
         "\"verify_after\": [{\"flow\": 1}]}",
         "\"verify_after\""},
        {"{\"kind\": \"calibration\", \"meters\": [\"5\"], \"points\": [{\"flow\": 1}], \"write\": 1}", "\"write\""},
    };
    for (const auto& r : refused) {
        TestPlan plan;
        std::string why;
        EXPECT_FALSE(ParseTestPlan(r.json, plan, why)) << r.json;
        EXPECT_THAT(why, HasSubstr(r.names)) << r.json;
    }

    TestPlan plan;
    std::string why;
    ASSERT_TRUE(ParseTestPlan("{\"kind\": \"calibration\", \"meters\": [\"11000002:65\", \"11000004\"], "
                              "\"points\": [{\"flow\": 20, \"cycles\": 2}, {\"flow\": 4.5}], "
                              "\"verify_after\": [{\"flow\": 10, \"cycles\": 1}], \"write\": true}",
                              plan, why))
        << why;
    ASSERT_EQ(2u, plan.meters.size());
    EXPECT_EQ("65", plan.meters[0].dn);
    EXPECT_EQ("", plan.meters[1].dn);
    ASSERT_EQ(2u, plan.points.size());
    EXPECT_EQ(2u, plan.points[0].cycles);
    EXPECT_EQ(1u, plan.points[1].cycles);
    EXPECT_DOUBLE_EQ(4.5, plan.points[1].flow);
    EXPECT_TRUE(plan.write && plan.calibration);

    // What it writes reads back the same.
    TestPlan again;
    ASSERT_TRUE(ParseTestPlan(TestPlanJson(plan), again, why)) << why;
    EXPECT_EQ(TestPlanJson(plan), TestPlanJson(again));
}

TEST(TestPlan, ProgressCountsWhatIsLeftWithTheCyclesSeenSoFar)
{
    TestPlan plan;
    plan.calibration = true;
    plan.points = {{20, 3}, {10, 3}, {5, 3}};
    plan.verifyAfter = {{20, 1}, {10, 1}, {5, 1}};
    CPlanProgress p(plan, 60.0, 30.0);
    ASSERT_EQ(6, p.PointCount());
    EXPECT_FALSE(p.IsVerification(2));
    EXPECT_TRUE(p.IsVerification(3));
    // Point 3, cycle 2: 2 cycles here, 3 more points of 1 cycle and their 3 settlings.
    EXPECT_DOUBLE_EQ(5 * 60.0 + 3 * 30.0, p.RemainingSeconds(3, 2));
    EXPECT_EQ("точка 3 из 6, цикл 2 из 3, осталось ~7 мин", p.Text(3, 2));
    p.CycleDone(120);
    p.CycleDone(120);
    EXPECT_DOUBLE_EQ(5 * 120.0 + 3 * 30.0, p.RemainingSeconds(3, 2));
    EXPECT_EQ("точка 6 из 6, цикл 1 из 1, осталось ~2 мин", p.Text(6, 1));
}
