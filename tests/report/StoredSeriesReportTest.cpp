// A stored series' protocol made again: dated by the series' own end (its
// start while it has none), titled and named by its kind, its errors or its
// pairs in table 2 as the window wrote them.
#include "ReportFixture.h"

#include "report/ProtocolReport.h"
#include "report/ReportDate.h"
#include "report/StoredSeriesReport.h"
#include "support/DocxReadBack.h"
#include "workstation/VerificationError.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {
StoredSeries Sample(const std::string& kind)
{
    StoredSeries s;
    s.series.id = 42;
    s.series.kind = kind;
    s.series.started = "2026-03-02 09:15:00";
    s.series.ended = "2026-03-02 10:40:05";
    s.meters = {{0, 11000002, "ВЯ-7П", "04.02.01", "40"}};
    PointRecord p;
    p.pointNo = 1;
    p.ge = 25.0;
    p.readings = {{0, 11000002, 3.0, 25.5, 2.0, 0}};
    s.points = {p};
    if (kind == "calibration")
        s.pairs = {{0, 11000002, 1, 20.0, 19.71}};
    return s;
}
}

TEST(StoredSeriesReportTest, RecordTimesReadBackOrGiveZero)
{
    std::tm tm{};
    const std::time_t t = RecordTime("2026-03-02 10:40:05");
    ASSERT_NE(t, 0);
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year, 126);
    EXPECT_EQ(tm.tm_mon, 2);
    EXPECT_EQ(tm.tm_mday, 2);
    EXPECT_EQ(tm.tm_hour, 10);
    EXPECT_EQ(tm.tm_sec, 5);
    EXPECT_EQ(RecordTime(""), 0);
    EXPECT_EQ(RecordTime("2026-03-02"), 0);
    EXPECT_EQ(RecordTime("вчера"), 0);
}

class StoredSeriesReportFiles : public ReportDirTest {};

TEST_F(StoredSeriesReportFiles, AVerificationIsDatedByItsEnd)
{
    const StoredSeries s = Sample("verification");
    EXPECT_EQ(StoredSeriesReportStem(s), "Поверка 2026-03-02 10-40-05 серия 42");
    const std::string out = Path("v.docx");
    EXPECT_TRUE(WriteStoredSeriesReport(s, VQ7_TEMPLATE_PATH, out).empty());
    const CDocxReadBack doc(out);
    const std::string when = ReportDateTimeText(RecordTime(s.series.ended));
    EXPECT_EQ(doc.BookmarkText(kReportBookmark), when);
    EXPECT_EQ(doc.Title(), "Поверка " + when);
    EXPECT_EQ(doc.Cell(2, 2, 2), "11000002");
    EXPECT_EQ(doc.Cell(2, 3, 1), "25");
    EXPECT_EQ(doc.Cell(2, 3, 2), VerificationErrorText(25.0f, 25.5f));   // from Ge and Gv, as the table had it
}

TEST_F(StoredSeriesReportFiles, ARunningSeriesIsDatedByItsStartAndACalibrationShowsItsPairs)
{
    StoredSeries s = Sample("calibration");
    s.series.ended.clear();
    EXPECT_EQ(StoredSeriesReportStem(s), "Градуировка 2026-03-02 09-15-00 серия 42");
    const std::string out = Path("c.docx");
    WriteStoredSeriesReport(s, VQ7_TEMPLATE_PATH, out);
    const CDocxReadBack doc(out);
    EXPECT_EQ(doc.BookmarkText(kReportBookmark), ReportDateTimeText(RecordTime(s.series.started)));
    EXPECT_THAT(doc.Title(), StartsWith("Градуировка "));
    EXPECT_THAT(doc.Cell(2, 3, 1), HasSubstr("20"));
    // A bad end time falls back to the start.
    s.series.ended = "потом";
    EXPECT_EQ(StoredSeriesReportTables(s).when, RecordTime(s.series.started));
}
