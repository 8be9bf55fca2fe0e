// The verification table judged by profile, against budgets worked out by hand.
#include "workstation/MainTables.h"
#include "workstation/PointVerdicts.h"
#include "workstation/VerificationError.h"
#include "workstation/VerificationVerdict.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// Rows of (Ge, error of slot 0, of slot 1, of slot 2); meters 11000001..3.
void FillTable(CTextGrid& grid, const std::vector<std::vector<std::string>>& rows)
{
    for (int s = 0; s < 3; ++s)
        grid.SetCell(s + 1, 1, std::to_string(11000001 + s));
    grid.SetRowCount(2 + static_cast<int>(rows.size()) + 1);
    for (size_t i = 0; i < rows.size(); ++i)
        grid.SetRowCells(2 + static_cast<int>(i), rows[i]);
    grid.ClearRow(grid.RowCount() - 1);
}

class PointVerdictsTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_path = fs::temp_directory_path() / ("vq7-points-" + std::to_string(::getpid()) + ".ini");
    }
    void TearDown() override { fs::remove(m_path); }
    CProfileSet Profiles(const std::string& text, double tolerance = 2.0)
    {
        std::ofstream(m_path, std::ios::binary) << text;
        CProfileSet set;
        std::string error;
        EXPECT_TRUE(set.Load(m_path.string(), tolerance, error)) << error;
        return set;
    }
    fs::path m_path;
};

TEST_F(PointVerdictsTest, GroupsCyclesIntoPointsAndJudgesByTheRule)
{
    CMainTables t;
    // Meter 1 (EN 1434 class 2, qp 1.5, qi 0.015, qs 3, guarded); meter 2 the
    // station's ±2 %; meter 3's section is refused.
    FillTable(t.StringGrid3, {{"1.5", "1.800", "2.000", "0.1"},
                              {"0.15", "1.000", "0.500", "0.1"},
                              {"1.49", "1.700", "-2.001", "0.1"},
                              {"5", "9.000", "", "0.1"},
                              {"1.51", "1.900", "1.000", "0.1"},
                              {"0.151", "1.000", "", "0.1"}});
    const CProfileSet set = Profiles("[11000001]\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\nrule=guarded\n"
                                     "[11000003]\nstandard=R49\nclass=2\n");
    ReferenceInstrument ref;
    ref.u = 0.2;
    ref.uGiven = true;
    const std::vector<MeterJudgement> meters = JudgeVerification(t.StringGrid3, set, ref);
    ASSERT_EQ(meters.size(), 3u);

    const MeterJudgement& en = meters[0];
    EXPECT_TRUE(en.Standard());
    ASSERT_EQ(en.points.size(), 3u);
    // 0.15 and 0.151: flow 0.1505, errors 1.0 and 1.0: s = 0, U = 2 × 0.1 = 0.2;
    // limit 2 + 0.02 × 1.5 / 0.1505 = 2.19934; 1.0 + 0.2 <= 2.199: pass.
    EXPECT_NEAR(en.points[0].flow, 0.1505, 1e-12);
    EXPECT_NEAR(en.points[0].u.expanded, 0.2, 1e-9);
    EXPECT_NEAR(en.points[0].decision.limit.mpe, 2.199336, 1e-6);
    EXPECT_EQ(en.points[0].decision.verdict, EPointVerdict::Pass);
    // 1.49, 1.5, 1.51: errors 1.7, 1.8, 1.9: mean 1.8, s = 0.1, s/√3 = 0.057735;
    // u_c = √(0.1² + 0.057735²) = 0.115470, U = 0.230940; limit at 1.5 is 2.02:
    // 1.8 + 0.231 > 2.02 and 1.8 − 0.231 <= 2.02: conditional.
    EXPECT_NEAR(en.points[1].flow, 1.5, 1e-12);
    EXPECT_NEAR(en.points[1].error, 1.8, 1e-9);
    EXPECT_NEAR(en.points[1].u.expanded, 0.230940, 1e-6);
    EXPECT_NEAR(en.points[1].decision.limit.mpe, 2.02, 1e-12);
    EXPECT_EQ(en.points[1].decision.verdict, EPointVerdict::Conditional);
    EXPECT_EQ(en.points[1].rows, (std::vector<int>{4, 2, 6}));
    // 5 m³/h lies above qs: marked, not judged.
    EXPECT_FALSE(en.points[2].decision.limit.judged);
    EXPECT_EQ(en.points[2].decision.verdict, EPointVerdict::NotJudged);
    EXPECT_EQ(en.verdict, EPointVerdict::Conditional);
    EXPECT_EQ(en.VerdictText(), "условно");
    EXPECT_EQ(en.CellVerdict(4), EPointVerdict::Conditional);
    EXPECT_EQ(en.missingFlows, std::vector<std::string>{"qi"});

    // The station's tolerance: every cell as the operator reads it; "-2.001" fails.
    const MeterJudgement& tol = meters[1];
    EXPECT_FALSE(tol.Standard());
    EXPECT_EQ(tol.VerdictText(), "не годен");
    EXPECT_EQ(tol.CellVerdict(3), EPointVerdict::Pass);   // 0.15: 0.500
    EXPECT_EQ(tol.CellVerdict(4), EPointVerdict::Fail);   // -2.001
    EXPECT_EQ(tol.CellVerdict(2), EPointVerdict::Pass);   // 2.000 at the same point: each cell its own
    EXPECT_EQ(tol.points[1].decision.verdict, EPointVerdict::Fail);

    // A refused section: shown, never judged.
    const MeterJudgement& refused = meters[2];
    EXPECT_FALSE(refused.profileError.empty());
    EXPECT_EQ(refused.verdict, EPointVerdict::NotJudged);
    EXPECT_EQ(refused.VerdictText(), "профиль отклонен");
    EXPECT_EQ(refused.CellVerdict(2), EPointVerdict::NotJudged);

    CTextGrid points(11, 1, 0, 1);
    FillPointsGrid(points, meters);
    ASSERT_EQ(points.RowCount(), 4);
    EXPECT_EQ(points.Cell(0, 2), "1.5");
    EXPECT_EQ(points.Cell(1, 2), "1.800 ±0.231 ≤2.020");
    // One cycle and no pooled s: U is a lower bound.
    EXPECT_EQ(points.Cell(1, 3), "9.000 ±≥0.200 вне диапазона");
}

// Without profiles the verdict row is the one of before, for any table.
TEST_F(PointVerdictsTest, DefaultProfileGivesTheFormerVerdictRow)
{
    const std::vector<std::vector<std::vector<std::string>>> tables = {
        {{"10", "1.999", "2.000", "-2.0004"}},
        {{"10", "2.0006", "", "abc"}, {"3", "0.5", "-1.0", "1.0"}},
        {{"10", "", "", ""}},
        {{"10", "1000.000", "0.000", "-0.001"}, {"10.2", "0.1", "2.1", ""}},
    };
    const CProfileSet none = Profiles("", 2.0);
    for (size_t i = 0; i < tables.size(); ++i) {
        CMainTables t;
        FillTable(t.StringGrid3, tables[i]);
        CTextGrid before(11, 1, 0, 0), after(11, 1, 0, 0);
        FillVerdictRow(before, MeterVerdicts(t.StringGrid3, 2.0));
        FillJudgedVerdictRow(after, JudgeVerification(t.StringGrid3, none, ReferenceInstrument{}));
        EXPECT_EQ(after.RowCells(0), before.RowCells(0)) << "table " << i;
    }
}

TEST(StandardError, IsRelativeToTheReference)
{
    struct Case {
        float ge, gv;
        const char* text;
    };
    // (10.1 − 10) / 10 × 100 = 1.000; (9.9 − 10) / 10 = −1.000; Ge 0: 1000.
    for (const Case& c : {Case{10.0f, 10.1f, "1.000"}, Case{10.0f, 9.9f, "-1.000"}, Case{0.0f, 0.02f, "1000.000"}})
        EXPECT_EQ(StandardErrorText(c.ge, c.gv), c.text);
    // The station's column stays relative to the meter: (10.1 − 10) / 10.1 = 0.990.
    EXPECT_EQ(VerificationErrorText(10.0f, 10.1f), "0.990");
}
}
