// A stored series shown again in the tables: the cells hold the texts the
// series' rows had, and the verdicts over the records agree with the verdicts
// the verification table gives, also at the edge of the tolerance.
#include "workstation/CellNumbers.h"
#include "workstation/MainTables.h"
#include "workstation/MeasurementRows.h"
#include "workstation/PairForming.h"
#include "workstation/SeriesResults.h"
#include "workstation/StoredSeriesTables.h"
#include "workstation/VerificationError.h"
#include "workstation/VerificationVerdict.h"
#include "workstation/WindowState.h"

#include <gtest/gtest.h>

namespace {
ReadingRecord Reading(int slot, float ge, float gv)
{
    ReadingRecord r;
    r.slot = slot;
    r.number = 11000001 + static_cast<uint32_t>(slot);
    r.gv = gv;
    r.gi = gv / 8.0;
    r.error = VerificationError(ge, gv);
    return r;
}
}

TEST(StoredSeriesTablesTest, VerdictsOverRecordsMatchTheTableAtTheToleranceEdge)
{
    const float ge = 10.0f;
    // gv per slot: errors of about 0, +2, -2 and just past each edge.
    const std::vector<float> gvs = {10.0f, 10.2040815f, 9.8039217f, 10.2042f, 9.8037f, 10.5f, 0.0f};
    StoredSeries stored;
    stored.series.kind = "verification";
    for (size_t s = 0; s < gvs.size(); ++s)
        stored.meters.push_back({static_cast<int>(s), 11000001 + static_cast<uint32_t>(s), "ВЯ-7-1", "2.14", "15"});
    for (int p = 1; p <= 2; ++p) {
        PointRecord point;
        point.pointNo = p;
        point.ge = ge;
        for (size_t s = 0; s < gvs.size(); ++s)
            point.readings.push_back(Reading(static_cast<int>(s), ge, p == 1 ? ge : gvs[s]));
        stored.points.push_back(point);
    }
    // A meter with no reading at the second point keeps its first verdict.
    stored.points[1].readings[0].gv.reset();
    stored.points[1].readings[0].error.reset();

    CMainTables tables;
    tables.SetTitles();
    ASSERT_EQ(RenderStoredSeries(stored, tables), PAGE_VERIFICATION);
    const CTextGrid& grid = tables.StringGrid3;
    ASSERT_EQ(DataRowCount(grid), 2);
    EXPECT_EQ(grid.Cell(1, 1), "11000001");
    EXPECT_EQ(grid.Cell(0, 2), "10");
    EXPECT_EQ(grid.Cell(2, 3), VerificationErrorText(ge, gvs[1]));
    EXPECT_EQ(grid.Cell(1, 3), "");
    EXPECT_EQ(grid.Cell(7, 3), VerificationErrorText(ge, 0.0f));
    EXPECT_EQ(tables.StringGrid1.Cell(SP_METER, 4), "11000004");

    for (double tolerance : {2.0, 1.0, 5.0, 100.0}) {
        const auto fromGrid = MeterVerdicts(grid, tolerance);
        const auto fromRecords = CSeriesResults::VerdictsOf(stored.points, tolerance);
        ASSERT_EQ(fromRecords.size(), gvs.size());
        for (const VerdictRecord& v : fromRecords)
            EXPECT_EQ(v.verdict, VerdictText(fromGrid[static_cast<size_t>(v.slot)]))
                << "slot " << v.slot << " tolerance " << tolerance << " cell " << grid.Cell(v.slot + 1, 3);
    }
}

TEST(StoredSeriesTablesTest, CalibrationRowsAndPairsComeBackAsFormed)
{
    CMainTables tables;
    tables.SetTitles();
    StoredSeries stored;
    stored.series.kind = "calibration";
    stored.meters = {{0, 11000001, "ВЯ-7-1", "2.14", "15"}, {2, 11000003, "ВЯ-7-1", "2.14", "15"}};
    const double ges[] = {20.0, 20.1, 5.0, 5.02, 0.0};
    int no = 0;
    for (double g : ges) {
        PointRecord p;
        p.pointNo = ++no;
        p.ge = g;
        p.readings = {{0, 11000001, g * 0.125, g, std::nullopt, 0}, {2, 11000003, g * 0.126, g, std::nullopt, 0}};
        stored.points.push_back(p);
    }
    ASSERT_EQ(RenderStoredSeries(stored, tables), PAGE_CALIBRATION);
    ASSERT_EQ(DataRowCount(tables.StringGrid2), 5);
    // Pairs formed from the rendered rows, stored, and rendered again: the same texts.
    OccupiedSlots occupied{};
    occupied[0] = occupied[2] = true;
    ASSERT_TRUE(FormPairs(tables.StringGrid2, tables.StringGrid4, occupied));
    const CTextGrid formed = tables.StringGrid4;
    ASSERT_EQ(PairRowCount(formed), 2);   // the point at flow 0 forms no pair
    for (int row = 1; row <= PairRowCount(formed); ++row)
        for (int slot : {0, 2})
            stored.pairs.push_back({slot, 0, row, CellNumber(formed, 0, row), CellNumber(formed, slot + 1, row)});
    RenderStoredSeries(stored, tables);
    for (int row = 0; row < formed.RowCount(); ++row)
        for (int col = 0; col < 4; ++col)
            EXPECT_EQ(tables.StringGrid4.Cell(col, row), formed.Cell(col, row)) << col << "," << row;
}
