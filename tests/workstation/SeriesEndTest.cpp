// Which rows a report holds, the question before ending a series, and what a
// reference flow may be.
#include "workstation/MainTables.h"
#include "workstation/MeasurementRows.h"
#include "workstation/ReferenceFlow.h"
#include "workstation/SeriesEnd.h"
#include "workstation/WindowState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void AddRow(CTextGrid& grid, const std::string& ge, const std::string& value)
{
    const int row = grid.RowCount() - 1;
    grid.SetCell(0, row, ge);
    grid.SetCell(1, row, value);
    AppendBlankRow(grid);
}

TEST(SeriesEnd, QuestionNamesThePointsInRussianNumber)
{
    const struct {
        int rows;
        const char* words;
    } cases[] = {
        {1, "1 точка не вошла"},    {2, "2 точки не вошли"},    {4, "4 точки не вошли"},
        {5, "5 точек не вошли"},    {11, "11 точек не вошли"},  {12, "12 точек не вошли"},
        {21, "21 точка не вошла"},  {23, "23 точки не вошли"},  {111, "111 точек не вошли"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SeriesEndQuestion(c.rows),
                  std::string("Завершить серию? ") + c.words + " в протокол, таблицы будут очищены.")
            << c.rows;
    EXPECT_EQ(SeriesEndQuestion(2, true),
              "Завершить серию? 2 точки не вошли в протокол, таблицы будут очищены. Результаты сохранены в истории.");
}

TEST(SeriesEnd, RowsNotInTheLastReportOfTheirPage)
{
    CMainTables tables;
    CReportedRows reported(tables);
    EXPECT_EQ(reported.UnreportedCount(), 0);
    AddRow(tables.StringGrid2, "10", "1.0E+00");
    AddRow(tables.StringGrid2, "10", "1.0E+00");   // the same texts twice are two points
    AddRow(tables.StringGrid3, "5", "0.100");
    EXPECT_EQ(reported.UnreportedCount(), 3);

    reported.MarkReported(PAGE_CALIBRATION);
    EXPECT_EQ(reported.UnreportedCount(), 1) << "a calibration report does not hold verification rows";
    reported.MarkReported(PAGE_SET_POINTS);
    EXPECT_EQ(reported.UnreportedCount(), 1);
    reported.MarkReported(PAGE_VERIFICATION);
    EXPECT_EQ(reported.UnreportedCount(), 0);

    // Sorting does not make rows new; a typed-over Ge and a new row do.
    tables.StringGrid2.SwapRows(kFirstDataRow, kFirstDataRow + 1);
    EXPECT_EQ(reported.UnreportedCount(), 0);
    tables.StringGrid3.SetCell(0, kFirstDataRow, "6");
    AddRow(tables.StringGrid2, "20", "2.0E+00");
    EXPECT_EQ(reported.UnreportedCount(), 2);
    // A deleted reported row is not counted.
    DeleteMeasurementRow(tables.StringGrid2, kFirstDataRow);
    EXPECT_EQ(reported.UnreportedCount(), 2);

    reported.Clear();
    EXPECT_EQ(reported.UnreportedCount(), 3);
}

TEST(ReferenceFlow, OnlyFiniteFlowsAboveZero)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double ge;
        bool valid;
    } cases[] = {{12.5, true}, {1e-9, true}, {0.0, false}, {-0.0, false}, {-1.0, false},
                 {inf, false}, {-inf, false}, {std::nan(""), false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidReferenceFlow(c.ge), c.valid) << c.ge;
        if (!c.valid) {
            EXPECT_FALSE(InvalidReferenceFlowText(c.ge).empty());
        }
    }
}

}  // namespace
