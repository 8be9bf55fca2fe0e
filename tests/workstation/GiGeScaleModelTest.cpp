// The calibration editor's model: its grid, chart points and pair table after
// every operation, the range checks, scaling, the reverse branch, point
// editing, the grid's file, and the pairs going back into the pairs table.
#include "calibration/PairList.h"
#include "common/Cp1251.h"
#include "common/DecimalSeparator.h"
#include "support/HostilePairFiles.h"
#include "support/RecordingOperator.h"
#include "support/SimRig.h"
#include "workstation/GiGeScaleGrid.h"
#include "workstation/GiGeScaleModel.h"
#include "workstation/GiGeScaling.h"
#include "workstation/PairsWriteBack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
const char* const kLimit = "Достигли предела по количеству градуировочних точек";

CGiGeArray Table(const PairList& pairs)
{
    CGiGeArray table;
    for (const auto& [gi, ge] : pairs)
        table.AddPair(gi, ge);
    return table;
}

PairList GridPairs(const CTextGrid& grid)
{
    PairList out;
    for (int r = 1; r < grid.RowCount(); ++r) {
        double gi = 0, ge = 0;
        EXPECT_TRUE(ScaleCellNumber(grid, SG_GI, r, gi)) << "row " << r;
        EXPECT_TRUE(ScaleCellNumber(grid, SG_GE, r, ge)) << "row " << r;
        out.emplace_back(static_cast<float>(gi), static_cast<float>(ge));
    }
    return out;
}

PairList SeriesPairs(const CChartPoints& series)
{
    PairList out;
    for (const ChartPoint& p : series.Points())
        out.emplace_back(static_cast<float>(p.X), static_cast<float>(p.Y));
    return out;
}

PairList Sorted(PairList pairs)
{
    std::stable_sort(pairs.begin(), pairs.end(), [](auto& a, auto& b) { return a.first < b.first; });
    return pairs;
}

void ExpectNear(const PairList& actual, const PairList& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].first, expected[i].first, 1e-5) << what << " Gi of pair " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-5) << what << " Ge of pair " << i;
    }
}

std::vector<std::string> Column0(const CTextGrid& grid)
{
    std::vector<std::string> out;
    for (int r = 1; r < grid.RowCount(); ++r)
        out.push_back(grid.Cell(SG_NUMBER, r));
    return out;
}

std::vector<std::string> Numbers(int n)
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        out.push_back(std::to_string(i));
    return out;
}

class ScaleModel : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { ResetDecimalSeparatorFromLocale(); }

    void Open(const PairList& pairs, bool forMeter = false)
    {
        if (forMeter) {
            m_model.ShowForMeter(nullptr, 12345678, &m_info);   // empty type: no bus
            m_model.m_GiGeArray.Assign(Table(pairs));
            CGiGeArray copy(m_model.m_GiGeArray);
            m_model.ShowForTable(copy, 12345678, &m_info);
            m_model.m_bCanEditPoints = true;
        } else {
            m_model.ShowForTable(Table(pairs), 12345678, &m_info);
        }
        m_op.Clear();
    }

    // Grid (in its own order), chart and table hold the same pairs.
    void ExpectViewsAgree(const PairList& expected)
    {
        ExpectNear(Sorted(GridPairs(m_model.StringGrid1)), expected, "grid");
        ExpectNear(SeriesPairs(m_model.Series1), expected, "chart");
        ExpectNear(PairsOf(m_model.m_GiGeArray), expected, "table");
    }

    VQ7_INFO m_info;
    CRecordingOperator m_op;
    CGiGeScaleModel m_model;
};
}

TEST_F(ScaleModel, EditChecksReplaceOutOfRangeTexts)
{
    struct Case {
        const char* text;
        std::optional<std::string> ku;
        std::optional<std::string> zero;
    };
    const Case cases[] = {
        {"3", "2", "0.001"},      {"-3", "2", "-0.001"},   {"0", "0.01", std::nullopt},
        {"abc", "1", "0"},        {"-1.5", std::nullopt, "-0.001"},
        {"", "0.01", std::nullopt}, {"-", "1", std::nullopt}, {"+", "1", std::nullopt},
        {"0.002", "0.01", "0.001"}, {"-0.5", std::nullopt, "-0.001"}, {"0.0005", "0.01", std::nullopt},
        {"1,5", std::nullopt, "0.001"},   // either separator is read
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KuReplacement(c.text), c.ku) << "slope " << c.text;
        EXPECT_EQ(ZeroReplacement(c.text), c.zero) << "offset " << c.text;
        // A replacement passes its own check.
        if (c.ku) {
            EXPECT_EQ(KuReplacement(*c.ku), std::nullopt) << c.text;
        }
        if (c.zero) {
            EXPECT_EQ(ZeroReplacement(*c.zero), std::nullopt) << c.text;
        }
    }
    SetDecimalSeparator(',');
    EXPECT_EQ(KuReplacement("0"), std::optional<std::string>("0,01"));
    EXPECT_EQ(ZeroReplacement("-0,5"), std::optional<std::string>("-0,001"));
}

TEST_F(ScaleModel, ScalingAboutTheZeroPoint)
{
    struct Case {
        const char* name;
        PairList pairs;
        const char* ku;
        const char* zero;
        PairList expected;
    };
    const Case cases[] = {
        {"identity", {{0, 0}, {1, 1}, {2, 2.1f}}, "1", "0", {{0, 0}, {1, 1}, {2, 2.1f}}},
        {"empty texts", {{0, 0}, {1, 1}}, "", "", {{0, 0}, {1, 1}}},
        {"times 1.1", {{0, 0}, {1, 1}, {2, 2.1f}}, "1.1", "", {{0, 0}, {1.1f, 1}, {2.2f, 2.1f}}},
        {"zero at 0.002", {{0.002f, 0}, {1.002f, 1}}, "2", "0", {{0.002f, 0}, {2.002f, 1}}},
        {"offset", {{0, 0}, {1, 1}}, "1", "0.001", {{0.001f, 0}, {1.001f, 1}}},
        {"no zero pair", {{1, 1}, {2, 2}}, "2", "", {{2, 1}, {4, 2}}},
        {"negative slope keeps ascending Gi", {{0, 0}, {1, 1}, {2, 2}}, "-1", "", {{-2, 2}, {-1, 1}, {0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.pairs);
        m_model.BitBtn_CalcClick(c.ku, c.zero);
        ExpectViewsAgree(c.expected);
        EXPECT_TRUE(m_op.Texts().empty());
    }
    // Pressing again scales the scaled values.
    Open({{0, 0}, {1, 1}});
    m_model.BitBtn_CalcClick("2", "");
    m_model.BitBtn_CalcClick("2", "");
    ExpectViewsAgree({{0, 0}, {4, 1}});

    m_model.BitBtn_CalcClick("x", "");
    EXPECT_EQ(m_op.Texts(), std::vector<std::string>{"Неверные данные для коррекции!"});
    ExpectViewsAgree({{0, 0}, {4, 1}});
}

TEST_F(ScaleModel, DeviationChart)
{
    struct Case {
        const char* name;
        PairList pairs;
        std::vector<ChartPoint> expected;
    };
    const Case cases[] = {
        {"one pair", {{1, 1}}, {}},
        // Reference (2, 2.2): slope 1.1; Ge = 0 gets no point.
        {"straight line", {{0, 0}, {1, 1.1f}, {2, 2.2f}}, {{1, 0}, {2, 0}}},
        {"deviation", {{1, 1}, {2, 2.2f}}, {{1, -10}, {2, 0}}},
        // The first of equal |Ge| stays the reference.
        {"negative branch", {{-2, -2}, {1, 0.9f}, {2, 2}}, {{-2, 0}, {1, -11.111111}, {2, 0}}},
        {"reference at Gi 0", {{0, 5}, {1, 1}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.pairs);
        ASSERT_EQ(m_model.LineSeries1.size(), c.expected.size());
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(m_model.LineSeries1[i].X, c.expected[i].X, 1e-6);
            EXPECT_NEAR(m_model.LineSeries1[i].Y, c.expected[i].Y, 1e-4);
        }
    }
}

TEST_F(ScaleModel, ReverseBranch)
{
    Open({{0, 0}, {1, 1}, {2, 2.1f}}, true);
    m_model.ToolButton2Click();
    const CTextGrid& grid = m_model.StringGrid1;
    ASSERT_EQ(grid.RowCount(), 6);
    EXPECT_EQ(grid.RowCells(4), (std::vector<std::string>{"3", "-2.1", "-2"}));
    EXPECT_EQ(grid.RowCells(5), (std::vector<std::string>{"4", "-1", "-1"}));
    ExpectViewsAgree({{-2, -2.1f}, {-1, -1}, {0, 0}, {1, 1}, {2, 2.1f}});
    EXPECT_TRUE(m_op.Texts().empty());

    m_model.ToolButton2Click();
    EXPECT_EQ(m_op.Texts(),
              std::vector<std::string>{"Реверсивная ветвь \nградуировочной характеристики \nуже определена!!!"});
    EXPECT_EQ(grid.RowCount(), 6);
    ExpectViewsAgree({{-2, -2.1f}, {-1, -1}, {0, 0}, {1, 1}, {2, 2.1f}});

    // Without a pair of Ge 0 the mirror goes through Gi 0; Gi0 comes from a Ge 0 pair otherwise.
    Open({{1, 1}, {2, 2}}, true);
    m_model.ToolButton2Click();
    ExpectViewsAgree({{-2, -2}, {-1, -1}, {1, 1}, {2, 2}});
    Open({{0.5f, 0}, {1.5f, 1}}, true);
    m_model.ToolButton2Click();
    ExpectViewsAgree({{-1, -1}, {0.5f, 0}, {1.5f, 1}});

    // Nine rows, one of Ge 0: five mirrored rows reach 14 and the limit stops the rest.
    PairList nine;
    for (int i = 0; i < 9; ++i)
        nine.emplace_back(static_cast<float>(i), static_cast<float>(i) * 1.01f);
    Open(nine, true);
    m_model.ToolButton2Click();
    EXPECT_EQ(grid.RowCount(), 15);
    EXPECT_EQ(m_op.Texts(), std::vector<std::string>{kLimit});
    EXPECT_EQ(m_model.m_GiGeArray.GetCount(), 14);
    EXPECT_EQ(m_model.Series1.Count(), 14);
    EXPECT_NEAR(m_model.Series1.X(0), -8, 1e-6);   // the last rows are mirrored first
    EXPECT_NEAR(m_model.Series1.X(4), -4, 1e-6);
    EXPECT_EQ(Column0(grid), Numbers(14));

    // A single row: nothing happens.
    Open({{1, 1}}, true);
    m_model.ToolButton2Click();
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_TRUE(m_op.Texts().empty());
}

TEST_F(ScaleModel, SortingAndTypingInTheGrid)
{
    Open({{1, 1}, {2, 2}, {3, 3}});
    // Typing a smaller Gi into the last row: the table and chart reorder, the grid row stays.
    m_model.StringGrid1SetEditText(SG_GI, 3, "0.5");
    EXPECT_EQ(m_model.StringGrid1.Cell(SG_GI, 3), "0.5");
    ExpectViewsAgree({{0.5f, 3}, {1, 1}, {2, 2}});
    CGiGeArray back;
    m_model.GetGiGeArray(back);
    EXPECT_EQ(PairsOf(back), (PairList{{0.5f, 3}, {1, 1}, {2, 2}}));

    m_model.SortGiGeButtonClick();
    EXPECT_EQ(m_model.StringGrid1.Cell(SG_GI, 1), "0.5");
    EXPECT_EQ(m_model.StringGrid1.Cell(SG_GE, 1), CGiGeArray::PairValueText(3));
    EXPECT_EQ(Column0(m_model.StringGrid1), Numbers(3));
    ExpectNear(GridPairs(m_model.StringGrid1), {{0.5f, 3}, {1, 1}, {2, 2}}, "sorted grid");

    // A text that is no number is named and nothing of the table is lost.
    m_model.StringGrid1SetEditText(SG_GI, 2, "1.2x");
    ASSERT_EQ(m_op.Texts().size(), 1u);
    EXPECT_NE(m_op.Texts()[0].find("Gi, строка 2: \"1.2x\""), std::string::npos) << m_op.Texts()[0];
    EXPECT_EQ(PairsOf(m_model.m_GiGeArray), (PairList{{0.5f, 3}, {1, 1}, {2, 2}}));
    EXPECT_EQ(m_model.Series1.Count(), 3);
    for (auto op : {&CGiGeScaleModel::SortGiGeButtonClick, &CGiGeScaleModel::ToolButton2Click}) {
        m_op.Clear();
        (m_model.*op)();
        EXPECT_EQ(m_op.Texts().size(), 1u);
        EXPECT_EQ(m_model.StringGrid1.Cell(SG_GI, 2), "1.2x");
        EXPECT_EQ(m_model.StringGrid1.RowCount(), 4);
    }
    m_model.StringGrid1SetEditText(SG_GI, 2, "1,5");   // the other separator is taken
    ExpectViewsAgree({{0.5f, 3}, {1.5f, 1}, {2, 2}});
}

TEST_F(ScaleModel, AddingAndDeletingPoints)
{
    PairList pairs;
    for (int i = 0; i < 14; ++i)
        pairs.emplace_back(static_cast<float>(i), static_cast<float>(i));
    Open(pairs, true);
    // A click between the Gi of rows 3 and 4 (pairs 2 and 3) lands between them.
    m_model.AddPointClick(2.5, 2.4);
    const CTextGrid& grid = m_model.StringGrid1;
    ASSERT_EQ(grid.RowCount(), 16);
    EXPECT_EQ(grid.Cell(SG_GI, 4), "2.5");
    EXPECT_EQ(grid.Cell(SG_GE, 4), "2.4");
    EXPECT_EQ(Column0(grid), Numbers(15));
    pairs.insert(pairs.begin() + 3, {2.5f, 2.4f});
    ExpectViewsAgree(pairs);
    EXPECT_EQ(m_model.LineSeries1.size(), 14u);   // every pair but Ge 0, the new one included

    m_model.AddPointClick(20, 20);   // a 16th point
    EXPECT_EQ(m_op.Texts(), std::vector<std::string>{kLimit});
    ExpectViewsAgree(pairs);

    m_model.DeletePointClick(0);
    pairs.erase(pairs.begin());
    ExpectViewsAgree(pairs);
    EXPECT_EQ(Column0(grid), Numbers(14));

    // "Удалить" on the first data row.
    m_model.StringGrid1.SetCurrent(SG_GI, 1);
    m_model.N4Click();
    pairs.erase(pairs.begin());
    ExpectViewsAgree(pairs);
    EXPECT_EQ(Column0(grid), Numbers(13));

    // Opened on a table: every adding and deleting path is refused.
    Open({{1, 1}, {2, 2}, {3, 3}});
    m_model.AddPointClick(1.5, 1.5);
    m_model.DeletePointClick(1);
    m_model.StringGrid1.SetCurrent(SG_GI, 2);
    m_model.N4Click();
    EXPECT_EQ(m_op.Texts(), (std::vector<std::string>{"Запрещено добавлять градуировочные точки!",
                                                      "Запрещено удалять градуировочные точки!",
                                                      "Запрещено удалять градуировочные точки!"}));
    ExpectViewsAgree({{1, 1}, {2, 2}, {3, 3}});
}

TEST_F(ScaleModel, DraggingMovesInnerPointsBetweenNeighbours)
{
    Open({{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    EXPECT_FALSE(m_model.DragStart(0));
    EXPECT_FALSE(m_model.DragStart(3));
    EXPECT_FALSE(m_model.DragStart(-1));
    ASSERT_TRUE(m_model.DragStart(1));
    struct Move {
        double x;
        bool moves;
    };
    for (const Move& m : {Move{3, false}, Move{3.5, false}, Move{1, false}, Move{0.5, false}, Move{2.9, true},
                          Move{1.2, true}})
        EXPECT_EQ(m_model.DragMove(m.x), m.moves) << m.x;
    EXPECT_EQ(m_model.DragIndex(), 1);
    m_model.DragEnd();
    EXPECT_EQ(m_model.DragIndex(), -1);
    EXPECT_FALSE(m_model.DragMove(1.5));
    ExpectViewsAgree({{1, 1}, {1.2f, 2}, {3, 3}, {4, 4}});
    EXPECT_EQ(m_model.StringGrid1.Cell(SG_GI, 2), CGiGeArray::PairValueText(1.2f));
    EXPECT_NEAR(m_model.LineSeries1[1].Y, 100.0 * (2 - 1.2) / 2, 1e-4);
}

TEST_F(ScaleModel, GridFile)
{
    const fs::path dir = fs::temp_directory_path() / ("vq7scale-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    m_model.SetLogDir(dir.string());
    Open({{-0.5f, -0.52f}, {10, 10.1f}});

    ASSERT_TRUE(m_model.SaveClick());
    std::ifstream in(dir / "12345678.dar", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), Utf8ToCp1251(" №\t       Gi\t       Ge\r\n"
                                        " 0\t-5.000000E-01\t-5.200000E-01\r\n"
                                        " 1\t 1.000000E+01\t 1.010000E+01"));
    // The table's loader reads it back.
    m_model.OpenFile((dir / "12345678.dar").string());
    ExpectViewsAgree({{-0.5f, -0.52f}, {10, 10.1f}});

    // A folder that cannot be written, and a cell that is no number, are reported; no file appears.
    fs::create_directories(dir / "taken.dar");
    EXPECT_FALSE(m_model.SaveGridToFile((dir / "taken.dar").string()));
    m_model.StringGrid1SetEditText(SG_GI, 1, "");
    m_op.Clear();
    EXPECT_FALSE(m_model.SaveGridToFile((dir / "bad.dar").string()));
    EXPECT_FALSE(fs::exists(dir / "bad.dar"));
    ASSERT_EQ(m_op.Texts().size(), 1u);
    EXPECT_EQ(m_op.Texts()[0].rfind("Столбец Gi, строка 1", 0), 0u) << m_op.Texts()[0];
    fs::remove_all(dir);
}

TEST_F(ScaleModel, OpeningForAMeterWithoutTypeStartsEmpty)
{
    Open({{1, 1}, {2, 2}});
    VQ7_INFO info;
    info.m_sModel = "ФЖ-7";
    m_model.ShowForMeter(nullptr, 42, &info);
    EXPECT_EQ(m_model.m_GiGeArray.GetCount(), 0);
    EXPECT_EQ(m_model.Series1.Count(), 0);
    EXPECT_TRUE(m_model.LineSeries1.empty());
    EXPECT_EQ(m_model.StringGrid1.RowCount(), 1);
    EXPECT_EQ(m_model.StringGrid1.RowCells(0), (std::vector<std::string>{"№", "Ge", "Gi"}));
    EXPECT_TRUE(m_model.m_bCanEditPoints);
    EXPECT_EQ(m_model.Caption(), "ФЖ-7 № 42: Масштабирование градуировочных пар");
    EXPECT_EQ(m_model.OpenFileName(), "00000042.dat");
}

namespace {
// A pairs table: header, the pair rows (Ge, then the slots' Gi), the blank last row.
CTextGrid PairsTable(const std::vector<std::vector<std::string>>& rows)
{
    CTextGrid grid(11, static_cast<int>(rows.size()) + 2, 0, 1);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            grid.SetCell(static_cast<int>(c), static_cast<int>(r) + 1, rows[r][c]);
    return grid;
}
}

TEST_F(ScaleModel, EditedPairsGoBackToTheirRows)
{
    // Descending Ge; slot 0 and slot 1 hold meters.
    CTextGrid pairs = PairsTable({{"10", "9.5", "10.2"}, {"5", "5.5", "4.9"}, {"0.0000000", "0.01", "0"}});
    CGiGeArray slotPairs(VQ7_INFO{}, 1, 1, 3, pairs.ColumnTexts(0), pairs.ColumnTexts(1));
    Open(PairsOf(slotPairs));
    // The middle pair moves below the first: the edited table's order changes.
    m_model.StringGrid1SetEditText(SG_GI, 2, "0.001");
    m_model.BitBtn_CalcClick("2", "");
    CGiGeArray edited;
    m_model.GetGiGeArray(edited);

    ASSERT_TRUE(WriteEditedPairsBack(pairs, 0, edited));
    EXPECT_EQ(pairs.ColumnTexts(0), (std::vector<std::string>{"", "10", "5", "0.0000000", ""}));
    EXPECT_EQ(pairs.ColumnTexts(2), (std::vector<std::string>{"", "10.2", "4.9", "0", ""}));
    // Zero point Gi 0.01: 9.5 -> 18.99, the typed 0.001 -> -0.008.
    const double expected[] = {18.99, -0.008, 0.01};
    for (int r = 1; r <= 3; ++r) {
        double gi = 0;
        ASSERT_TRUE(ScaleCellNumber(pairs, 1, r, gi)) << pairs.Cell(1, r);
        EXPECT_NEAR(gi, expected[r - 1], 1e-5) << "row " << r;
    }
    EXPECT_TRUE(m_op.Texts().empty());

    // A changed count, or a Ge of no row, is refused and the table stays.
    const CTextGrid before = pairs;
    edited.AddPair(1, 1);
    EXPECT_FALSE(WriteEditedPairsBack(pairs, 0, edited));
    edited.DeletePair(0);
    edited.PairAt(0).Ge = 7;
    EXPECT_FALSE(WriteEditedPairsBack(pairs, 0, edited));
    EXPECT_EQ(m_op.Texts().size(), 2u);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(pairs.ColumnTexts(c), before.ColumnTexts(c));
}

// The editor opened for a meter on the simulated rig: a hostile file is shown
// with its losses named, and writing it leaves the meter as it was; a
// characteristic with a reverse branch goes in.
TEST_F(ScaleModel, HostileFilesOpenedInTheEditorNeverReachTheMeter)
{
    SimRig sim(SimRig::Tcp);
    CVirtualMeter* meter = sim.Rig().AddMeter(FlowMeter(12345678));
    ASSERT_NE(meter, nullptr);
    const std::vector<SimPair> before = {{0.5f, 0.52f}, {10, 10.1f}};
    VQ7_INFO info;
    info.m_sType = "FJ  ";
    const fs::path file = fs::temp_directory_path() / ("editor_hostile_" + std::to_string(::getpid()) + ".dat");
    for (const HostilePairFile& f : HostilePairFiles()) {
        SCOPED_TRACE(f.name);
        meter->SetPairs(before);
        m_model.ShowForMeter(&sim.Conn(), 12345678, &info);
        ASSERT_EQ(m_model.m_GiGeArray.GetCount(), 2);
        std::ofstream(file, std::ios::binary) << f.bytes;
        m_op.Clear();
        m_model.OpenFile(file.string());
        EXPECT_EQ(m_model.m_GiGeArray.GetCount(), f.pairsLoaded);
        EXPECT_EQ(m_op.Messages().size(), *f.loadText ? 1u : 0u);
        m_op.Clear();
        m_model.SaveToVQClick();
        if (f.pairsLoaded > 0) {
            ASSERT_EQ(m_op.Messages().size(), 1u);
            EXPECT_NE(m_op.Texts()[0].find(f.refusal), std::string::npos) << m_op.Texts()[0];
            EXPECT_NE(m_op.Texts()[0].find("Счетчик № 12345678"), std::string::npos) << m_op.Texts()[0];
        }
        const auto held = meter->Pairs();
        ASSERT_EQ(held.size(), before.size());
        for (size_t i = 0; i < held.size(); ++i) {
            EXPECT_EQ(held[i].gi, before[i].gi);
            EXPECT_EQ(held[i].ge, before[i].ge);
        }
    }
    std::ofstream(file, std::ios::binary) << " 0 -2 -2.1\n 1 -1 -1.05\n 2 1 1.05\n 3 2 2.1\n";
    m_model.OpenFile(file.string());
    m_op.Clear();
    m_model.SaveToVQClick();
    EXPECT_TRUE(m_op.Messages().empty()) << m_op.Texts()[0];
    ASSERT_EQ(meter->Pairs().size(), 4u);
    EXPECT_EQ(meter->Pairs()[0].ge, -2.1f);
    fs::remove(file);
}
