// Table algorithms of the main window on text grids, without a bus.
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "workstation/GridRows.h"
#include "workstation/MainTables.h"
#include "workstation/MeasurementRows.h"
#include "workstation/NominalDiameter.h"
#include "workstation/PairForming.h"
#include "workstation/SeriesControl.h"
#include "measurement/MeterStatus.h"
#include "workstation/TextGrid.h"
#include "workstation/VerificationError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Row = std::vector<std::string>;

// A measurement table as the main window keeps it: two fixed rows, the data rows, a blank row.
CTextGrid MeasurementTable(const std::vector<Row>& rows)
{
    CTextGrid grid(11, 3, 0, 2);
    for (const Row& r : rows) {
        grid.SetRowCells(grid.RowCount() - 1, r);
        AppendBlankRow(grid);
    }
    return grid;
}

std::vector<std::string> Column(const CTextGrid& grid, int col, int fromRow, int toRow)
{
    std::vector<std::string> texts;
    for (int r = fromRow; r <= toRow; ++r)
        texts.push_back(grid.Cell(col, r));
    return texts;
}

OccupiedSlots Slots(std::initializer_list<int> occupied)
{
    OccupiedSlots slots{};
    for (int s : occupied)
        slots[static_cast<size_t>(s)] = true;
    return slots;
}

class GridAlgorithms : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { ResetDecimalSeparatorFromLocale(); }
};
}

TEST_F(GridAlgorithms, InsertAndDeleteRows)
{
    CTextGrid grid(2, 3, 0, 1);
    grid.SetRowCells(0, {"h0", "h1"});
    grid.SetRowCells(1, {"a", "1"});
    grid.SetRowCells(2, {"b", "2"});

    GridInsertRow(grid, 0);
    ASSERT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.RowCells(0), (Row{"h0", "h1"}));
    EXPECT_EQ(grid.RowCells(1), (Row{"", ""}));
    EXPECT_EQ(grid.RowCells(2), (Row{"a", "1"}));
    EXPECT_EQ(grid.RowCells(3), (Row{"b", "2"}));

    GridDeleteRow(grid, 3);   // the last row: only shortens
    ASSERT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.RowCells(2), (Row{"a", "1"}));

    GridDeleteRow(grid, 1);
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.RowCells(1), (Row{"a", "1"}));

    GridDeleteRow(grid, 5);   // outside: nothing
    GridInsertRow(grid, -1);
    EXPECT_EQ(grid.RowCount(), 2);
    // A row that grows back is empty.
    grid.SetRowCount(3);
    EXPECT_EQ(grid.RowCells(2), (Row{"", ""}));
}

TEST_F(GridAlgorithms, SortIsDescendingAndStable)
{
    CTextGrid grid = MeasurementTable({{"2.0", "a"}, {"5.0", "first"}, {"5.0", "second"}, {"0.0", "z"}});
    SortMeasurementRows(grid);
    EXPECT_EQ(Column(grid, 0, 2, 5), (Row{"5.0", "5.0", "2.0", "0.0"}));
    EXPECT_EQ(Column(grid, 1, 2, 5), (Row{"first", "second", "a", "z"}));
    EXPECT_EQ(grid.RowCount(), 7);
    EXPECT_TRUE(grid.RowCells(6) == Row(11));

    // A Ge that is no number stops the sort before any row moves.
    CTextGrid bad = MeasurementTable({{"1", "x"}, {"abc", "y"}, {"3", "z"}});
    EXPECT_THROW(SortMeasurementRows(bad), EConvertError);
    EXPECT_EQ(Column(bad, 1, 2, 4), (Row{"x", "y", "z"}));
    EXPECT_EQ(bad.RowCount(), 6);
}

TEST_F(GridAlgorithms, MirrorAboutTheZeroRow)
{
    CTextGrid grid = MeasurementTable({{"0", "0.1"}, {"10", "1.9"}, {"5", "1.1"}});
    ASSERT_EQ(MirrorReverseBranch(grid, Slots({0})), MirrorOutcome::Mirrored);
    EXPECT_EQ(Column(grid, 0, 2, 6), (Row{"10", "5", "0", "-5", "-10"}));
    EXPECT_EQ(Column(grid, 1, 2, 6), (Row{"1.9", "1.1", "0.1", "-1", "-1.8"}));
    EXPECT_EQ(grid.RowCount(), 8);
    EXPECT_TRUE(grid.Cell(2, 5).empty()) << "empty slots stay empty";

    const auto before = grid.Revision();
    EXPECT_EQ(MirrorReverseBranch(grid, Slots({0})), MirrorOutcome::BothDirections);
    EXPECT_EQ(grid.Revision(), before) << "refusal changes nothing";
}

TEST_F(GridAlgorithms, MirrorWithoutZeroRowAndFailures)
{
    CTextGrid grid = MeasurementTable({{"10", "2", "20"}, {"5", "1", "10"}});
    ASSERT_EQ(MirrorReverseBranch(grid, Slots({0, 1})), MirrorOutcome::Mirrored);
    EXPECT_EQ(Column(grid, 0, 2, 5), (Row{"10", "5", "-5", "-10"}));
    EXPECT_EQ(Column(grid, 1, 2, 5), (Row{"2", "1", "-1", "-2"}));
    EXPECT_EQ(Column(grid, 2, 2, 5), (Row{"20", "10", "-10", "-20"}));

    CTextGrid empty(11, 3, 0, 2);
    EXPECT_EQ(MirrorReverseBranch(empty, Slots({0})), MirrorOutcome::NoData);

    // A slot column without a value in an occupied slot: the error comes before any row is added.
    CTextGrid gap = MeasurementTable({{"10", "2", ""}, {"5", "1", "10"}});
    EXPECT_THROW(MirrorReverseBranch(gap, Slots({0, 1})), EConvertError);
    EXPECT_EQ(gap.RowCount(), 5);
}

TEST_F(GridAlgorithms, PairsFromGroupsWithinFivePerCent)
{
    CTextGrid meas = MeasurementTable({{"5.0", "5.2", ""},
                                       {"10.0", "10.4", "9"},
                                       {"1.0", "1.1", ""},
                                       {"9.8", "10.2", "11"},
                                       {"4.9", "5.0", "4"}});
    CTextGrid pairs(11, 2, 0, 1);
    ASSERT_TRUE(FormPairs(meas, pairs, Slots({0, 1})));
    ASSERT_EQ(pairs.RowCount(), 5);
    EXPECT_EQ(Column(pairs, 0, 1, 3), (Row{"9.9", "4.95", "1.0000000"}));
    EXPECT_EQ(Column(pairs, 1, 1, 3), (Row{"1.030000E+01", "5.100000E+00", "1.100000E+00"}));
    // An empty cell (no result of that meter in the row) is left out of the
    // mean; a group without any value of the meter leaves its cell empty.
    EXPECT_EQ(Column(pairs, 2, 1, 3), (Row{"1.000000E+01", "4.000000E+00", ""}));
    EXPECT_TRUE(pairs.Cell(3, 1).empty());
    EXPECT_TRUE(pairs.RowCells(4) == Row(11));
    // The measurements are left sorted.
    EXPECT_EQ(Column(meas, 0, 2, 6), (Row{"10.0", "9.8", "5.0", "4.9", "1.0"}));
}

// A row whose Ge is no pair's, and a meter's Gi that makes no pair with its
// row's Ge, are left out of the means, each named; the reverse branch stays.
TEST_F(GridAlgorithms, RowsThatCanGiveNoPairAreLeftOutAndNamed)
{
    CTextGrid meas = MeasurementTable({{"5", "5.1", "-5"},
                                       {"0", "0.1", "0.2"},
                                       {"10", "10.2", "9.9"},
                                       {"-5", "-5.1", "5"},
                                       {"2", "0", "2.1"},
                                       {"1e29", "1", "1"}});
    meas.SetCell(1, 1, "11000001");
    meas.SetCell(2, 1, "11000002");
    CTextGrid pairs(11, 2, 0, 1);
    std::vector<std::string> skipped;
    ASSERT_TRUE(FormPairs(meas, pairs, Slots({0, 1}), &skipped));
    EXPECT_EQ(skipped, (std::vector<std::string>{
                           "строка 1 (Ge 1e29): Ge не меньше 1e+29 (так отмечена незаписанная пара)",
                           "строка 3 (Ge 5), счетчик № 11000002: Gi и Ge разных знаков (в паре обратной ветви оба меньше 0)",
                           "строка 4 (Ge 2), счетчик № 11000001: Gi равен 0",
                           "строка 5 (Ge 0): Ge равен 0",
                           "строка 6 (Ge -5), счетчик № 11000002: Gi и Ge разных знаков (в паре обратной ветви оба меньше 0)",
                       }));
    ASSERT_EQ(PairRowCount(pairs), 4);
    EXPECT_EQ(Column(pairs, 0, 1, 4), (Row{"10", "5", "2", "-5.0000000"}));
    EXPECT_EQ(Column(pairs, 1, 1, 4), (Row{"1.020000E+01", "5.100000E+00", "", "-5.100000E+00"}));
    EXPECT_EQ(Column(pairs, 2, 1, 4), (Row{"9.900000E+00", "", "2.100000E+00", ""}));

    // Nothing left to form: the pairs table stays.
    CTextGrid zero = MeasurementTable({{"0", "1"}, {"0", "1"}});
    pairs.SetCell(0, 1, "keep");
    EXPECT_FALSE(FormPairs(zero, pairs, Slots({0}), &skipped));
    EXPECT_EQ(skipped.size(), 2u);
    EXPECT_EQ(pairs.Cell(0, 1), "keep");
}

TEST_F(GridAlgorithms, GroupBoundariesAndZeroFlow)
{
    auto pairCount = [](const std::vector<Row>& rows) {
        CTextGrid meas = MeasurementTable(rows);
        CTextGrid pairs(11, 2, 0, 1);
        EXPECT_TRUE(FormPairs(meas, pairs, Slots({0})));
        return PairRowCount(pairs);
    };
    EXPECT_EQ(pairCount({{"10", "1"}, {"10.4", "1"}}), 1);
    EXPECT_EQ(pairCount({{"10", "1"}, {"10.6", "1"}}), 2);
    EXPECT_EQ(pairCount({{"0.01", "1"}, {"0", "1"}}), 1) << "a row of Ge 0 forms no pair";
    EXPECT_EQ(pairCount({{"-10", "1"}, {"-10.2", "1"}, {"10", "1"}}), 2);

    // Fewer than two measurements: nothing changes.
    CTextGrid one = MeasurementTable({{"10", "1"}});
    CTextGrid pairs(11, 2, 0, 1);
    pairs.SetCell(0, 1, "keep");
    EXPECT_FALSE(FormPairs(one, pairs, Slots({0})));
    EXPECT_EQ(pairs.Cell(0, 1), "keep");

    // A bad cell leaves the pairs table as it was.
    CTextGrid bad = MeasurementTable({{"10", "1"}, {"5", "x"}});
    EXPECT_THROW(FormPairs(bad, pairs, Slots({0})), EConvertError);
    EXPECT_EQ(pairs.Cell(0, 1), "keep");
}

TEST_F(GridAlgorithms, PairTextsFollowTheDecimalSeparator)
{
    SetDecimalSeparator(',');
    CTextGrid meas = MeasurementTable({{"9,8", "1,5"}, {"10", "1,7"}});
    CTextGrid pairs(11, 2, 0, 1);
    ASSERT_TRUE(FormPairs(meas, pairs, Slots({0})));
    EXPECT_EQ(pairs.Cell(0, 1), "9,9000000");
    EXPECT_EQ(pairs.Cell(1, 1), "1,600000E+00");
}

TEST_F(GridAlgorithms, VerificationError)
{
    EXPECT_EQ(VerificationErrorText(10.0f, 10.1f), "0.990");
    EXPECT_EQ(VerificationErrorText(10.0f, 9.9f), "-1.010");
    EXPECT_EQ(VerificationErrorText(10.0f, 0.0f), "1000.000");
    EXPECT_EQ(VerificationErrorText(0.0f, 0.02f), "100.000");
    SetDecimalSeparator(',');
    EXPECT_EQ(VerificationErrorText(5.0f, 0.0f), "1000,000");
}

TEST_F(GridAlgorithms, DeleteOnlyDataRows)
{
    CTextGrid grid = MeasurementTable({{"1", "a"}, {"2", "b"}});
    EXPECT_FALSE(DeleteMeasurementRow(grid, 1)) << "fixed row";
    EXPECT_FALSE(DeleteMeasurementRow(grid, 4)) << "blank last row";
    EXPECT_FALSE(DeleteMeasurementRow(grid, 9));
    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_TRUE(DeleteMeasurementRow(grid, 2));
    EXPECT_EQ(grid.RowCount(), 4);
    EXPECT_EQ(grid.Cell(1, 2), "b");
}

TEST_F(GridAlgorithms, NominalDiameterParameters)
{
    const NominalDiameterRow* row = FindNominalDiameter(65);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->A, "100");
    EXPECT_STREQ(row->B, "0.015");
    EXPECT_EQ(FindNominalDiameter(0), nullptr);
    EXPECT_EQ(FindNominalDiameter(66), nullptr);
    EXPECT_STREQ(FindNominalDiameter(15)->A, "2.5");
    EXPECT_STREQ(FindNominalDiameter(300)->B, "0.400");
}

TEST_F(GridAlgorithms, MainTablesLayout)
{
    CMainTables t;
    EXPECT_EQ(t.StringGrid1.Cell(2, 0), "№ ИВБ");
    EXPECT_EQ(t.StringGrid1.Cell(0, 10), "10");
    EXPECT_EQ(t.StringGrid1.ColWidth(3), 80);
    EXPECT_EQ(t.StringGrid1.Col(), SP_METER);
    EXPECT_EQ(t.StringGrid2.RowCount(), 3);
    EXPECT_EQ(t.StringGrid2.Cell(0, 1), "G этал.");
    EXPECT_EQ(t.StringGrid2.Cell(10, 0), "10");
    EXPECT_EQ(t.StringGrid4.Cell(0, 0), "G этал.");
    EXPECT_EQ(t.StringGrid4.RowCount(), 2);
    EXPECT_EQ(t.StringGrid6.Cell(0, 0), "Gv тек.");

    t.StringGrid5.SetCell(3, 0, "1.5");
    t.SetTitles();
    EXPECT_TRUE(t.StringGrid5.Cell(3, 0).empty()) << "activation clears the current values";

    t.StringGrid1.SetCell(SP_METER, 4, "123456");
    t.StringGrid1.SetCell(SP_DIAMETER, 4, "65");
    t.StringGrid1.SetCell(SP_METER, 5, "12a");
    EXPECT_EQ(t.MeterNumberOfRow(4), 123456u);
    EXPECT_EQ(t.DiameterOfRow(4), 65);
    EXPECT_EQ(t.MeterNumberOfRow(5), 0u);
    EXPECT_EQ(t.DiameterOfRow(5), 0);
    // Eight digits: every meter number of the rig can be typed.
    EXPECT_EQ(CMainTables::ApplyEditMask(SP_METER, "11-000004x9"), "11000004");
    EXPECT_EQ(CMainTables::StringGrid1GetEditMask(SP_METER, 1), "99999990;0");
    EXPECT_EQ(CMainTables::StringGrid1GetEditMask(SP_DIAMETER, 1), "999;0");
    EXPECT_FALSE(CMainTables::StringGrid1SelectCell(SP_MODEL, 1));
    EXPECT_FALSE(CMainTables::StringGrid4SelectCell(0, 1));
}

TEST(MeterStatePicture, ChosenFromTheMeasurementAndIntegrationBits)
{
    struct Case {
        uint8_t byte4, byte6;
        MeterStatePicture picture;
    };
    const Case cases[] = {
        {0x40, 0x02, MeterStatePicture::Integrating},
        {0xFF, 0xFF, MeterStatePicture::Integrating},
        {0x40, 0x00, MeterStatePicture::IntegrationEnded},
        {0x40, 0xFD, MeterStatePicture::IntegrationEnded},
        {0x00, 0x02, MeterStatePicture::None},
        {0xBF, 0xFF, MeterStatePicture::None},
    };
    for (const Case& c : cases) {
        MeterStatus status;
        status.m_abData[4] = c.byte4;
        status.m_abData[6] = c.byte6;
        EXPECT_EQ(MeterStatePictureOf(status), c.picture) << int(c.byte4) << " " << int(c.byte6);
    }
}
