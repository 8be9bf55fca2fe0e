// The history window's texts over a real store (a SQLite file, the throwaway
// PostgreSQL server): the series list of a meter, the points of a series with
// its linked as-found or as-left verification, the drift of the meter's
// error over its series, and the meter's card.
#include "results/ResultStore.h"
#include "results/StoreFixture.h"
#include "workstation/HistoryTables.h"
#include "workstation/MeterHistory.h"

#include <unistd.h>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {
constexpr uint32_t kMeter = 11000001;
constexpr uint32_t kOther = 11000002;

// A verification with the meter's errors at the set flows given (the reference flow a bit off).
StoredSeries Verification(const std::string& uid, const std::string& started,
                          const std::vector<std::pair<double, double>>& flowErrors)
{
    StoredSeries s = SampleSeries("rig-1", uid, started);
    s.series.state = SeriesState::Complete;
    s.series.ended = started;
    s.points.clear();
    int no = 0;
    for (const auto& [flow, error] : flowErrors) {
        PointRecord p;
        p.pointNo = ++no;
        p.setFlow = flow;
        p.ge = flow * 0.99;
        p.time = started;
        p.readings = {{0, kMeter, flow / 8, flow, error, 0}, {1, kOther, flow / 8, flow, error + 1, 0}};
        s.points.push_back(p);
    }
    return s;
}

StoredSeries Calibration(const std::string& uid, const std::string& started, int pairs, bool written)
{
    StoredSeries s = SampleSeries("rig-1", uid, started);
    s.series.kind = "calibration";
    s.series.state = SeriesState::Complete;
    s.series.ended = started;
    s.verdicts.clear();
    s.meters[0].version = "2.20";
    for (PointRecord& p : s.points)
        for (ReadingRecord& r : p.readings)
            r.error.reset();
    for (int i = 0; i < pairs; ++i)
        s.pairs.push_back({0, kMeter, i + 1, 10.0 / (i + 1), 1.2 / (i + 1)});
    s.pairs.push_back({1, kOther, 1, 10.0, 1.3});
    WriteRecord w;
    w.station = "rig-1";
    w.uid = uid + "-w";
    w.seriesUid = uid;
    w.time = started.substr(0, 11) + "23:59:00";
    w.number = kMeter;
    w.operation = "запись пар";
    w.result = written ? 0 : 240;
    s.writes.push_back(w);
    return s;
}

class MeterHistoryTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        if (!IsSkipped())
            m_store = std::make_unique<CResultStore>(Parsed(NewLocation()));
    }
    void TearDown() override
    {
        m_store.reset();
        StoreFixture::TearDown();
    }
    long long Put(const StoredSeries& s) { return m_store->PutStoredSeries(s); }
    StoredSeries Load(long long id)
    {
        auto s = m_store->LoadSeries(id);
        EXPECT_TRUE(s.has_value()) << id;
        return s ? *s : StoredSeries{};
    }

    std::unique_ptr<CResultStore> m_store;
};
}

TEST_P(MeterHistoryTest, TheListHoldsTheMetersSeriesInDateOrderWithItsOwnVerdict)
{
    Put(Verification("v2", "2026-03-05 09:00:00", {{10, 0.5}}));
    Put(Verification("v1", "2026-03-01 09:00:00", {{10, 0.4}, {2.5, 2.9}}));
    StoredSeries foreign = SampleSeries("rig-2", "x", "2026-03-03 09:00:00");
    foreign.meters = {{0, 11000009, "ВЯ-7-1", "2.14", "15"}};
    foreign.verdicts = {{0, 11000009, "не годен", 3.0}};
    Put(foreign);

    HistoryFilter filter;
    filter.number = kOther;   // "не годен" in both: its errors are one more
    const CTextGrid all = HistoryListGrid(m_store->ListSeries(filter));
    ASSERT_EQ(all.RowCount(), 3);
    EXPECT_EQ(all.Cell(HL_DATE, 0), "Дата");
    EXPECT_EQ(all.Cell(HL_DATE, 1), "2026-03-01 09:00");
    EXPECT_EQ(all.Cell(HL_DATE, 2), "2026-03-05 09:00");
    EXPECT_EQ(all.Cell(HL_KIND, 1), "поверка");
    EXPECT_EQ(all.Cell(HL_STATION, 1), "rig-1");
    EXPECT_EQ(all.Cell(HL_OPERATOR, 1), "ivanova");
    EXPECT_EQ(all.Cell(HL_REFERENCE, 1), "эталон РМ-5 № 17");
    EXPECT_EQ(all.Cell(HL_POINTS, 1), "2");
    EXPECT_EQ(all.Cell(HL_POINTS, 2), "1");
    EXPECT_EQ(all.Cell(HL_VERDICT, 1), "не годен");

    filter.number = kMeter;
    EXPECT_EQ(HistoryListGrid(m_store->ListSeries(filter)).Cell(HL_VERDICT, 1), "годен");
    filter.from = "2026-03-02";
    const CTextGrid later = HistoryListGrid(m_store->ListSeries(filter));
    ASSERT_EQ(later.RowCount(), 2);
    EXPECT_EQ(later.Cell(HL_DATE, 1), "2026-03-05 09:00");
    // Every meter: the foreign series too, its verdict the worst of its meters.
    const CTextGrid everyone = HistoryListGrid(m_store->ListSeries(HistoryFilter{}));
    ASSERT_EQ(everyone.RowCount(), 4);
    EXPECT_EQ(everyone.Cell(HL_STATION, 2), "rig-2");
    EXPECT_EQ(everyone.Cell(HL_VERDICT, 2), "не годен");
}

TEST_P(MeterHistoryTest, AsFoundStandsLeftOfAsLeftWhicheverOfThemIsChosen)
{
    const long long before = Put(Verification("v1", "2026-03-02 09:00:00", {{10, 1.8}, {2.5, 2.4}}));
    Put(Calibration("c1", "2026-03-02 10:00:00", 3, true));
    const long long after = Put(Verification("v2", "2026-03-02 11:00:00", {{10, 0.2}, {2.5, -0.1}, {1, 0.3}}));
    const StoredSeries found = Load(before);
    const StoredSeries left = Load(after);
    ASSERT_EQ(LinkedSeriesId(left.series), before);
    ASSERT_EQ(LinkedSeriesId(found.series), after);

    for (const bool chooseLeft : {true, false}) {
        SCOPED_TRACE(chooseLeft ? "as left chosen" : "as found chosen");
        const CTextGrid g = chooseLeft ? SeriesPointsGrid(left, &found, kMeter) : SeriesPointsGrid(found, &left, kMeter);
        // №, then Q, Gэт and the one meter, twice.
        ASSERT_EQ(g.ColCount(), 7);
        ASSERT_EQ(g.RowCount(), 2 + 3);
        EXPECT_THAT(g.Cell(1, 0), HasSubstr("До градуировки"));
        EXPECT_THAT(g.Cell(1, 0), HasSubstr("09:00"));
        EXPECT_THAT(g.Cell(4, 0), HasSubstr("После градуировки"));
        EXPECT_THAT(g.Cell(4, 0), HasSubstr("11:00"));
        EXPECT_EQ(g.Cell(3, 1), "№ 11000001, %");
        EXPECT_EQ(g.Cell(1, 2), "10");
        EXPECT_EQ(g.Cell(2, 2), "9.9");
        EXPECT_EQ(g.Cell(3, 2), "1.800");
        EXPECT_EQ(g.Cell(3, 3), "2.400");
        EXPECT_EQ(g.Cell(3, 4), "");   // the as-found had two points
        EXPECT_EQ(g.Cell(6, 2), "0.200");
        EXPECT_EQ(g.Cell(6, 3), "-0.100");
        EXPECT_EQ(g.Cell(6, 4), "0.300");
        EXPECT_EQ(g.Cell(0, 4), "3");
    }
    // Every meter: both of them in each block.
    const CTextGrid both = SeriesPointsGrid(left, &found, 0);
    ASSERT_EQ(both.ColCount(), 9);
    EXPECT_EQ(both.Cell(4, 1), "№ 11000002, %");
    EXPECT_EQ(both.Cell(4, 2), "2.800");
    // A series that is not the linked one stays alone.
    const StoredSeries unrelated = Load(Put(Verification("v9", "2026-03-09 09:00:00", {{10, 0.1}})));
    const CTextGrid alone = SeriesPointsGrid(left, &unrelated, kMeter);
    EXPECT_EQ(alone.ColCount(), 4);
    EXPECT_THAT(alone.Cell(1, 0), HasSubstr("Поверка 2026-03-02 11:00"));
}

TEST_P(MeterHistoryTest, ACalibrationShowsEachMetersGiAndAFailedReadingItsCode)
{
    StoredSeries c = Calibration("c1", "2026-03-02 10:00:00", 2, true);
    const CTextGrid g = SeriesPointsGrid(Load(Put(c)), nullptr, 0);
    ASSERT_EQ(g.ColCount(), 5);
    EXPECT_EQ(g.Cell(3, 1), "№ 11000001, Gi");
    EXPECT_EQ(g.Cell(3, 2), "1.25");
    EXPECT_EQ(g.Cell(4, 2), "код 1016");
    EXPECT_EQ(g.Cell(1, 2), "10");
    EXPECT_EQ(g.Cell(1, 3), "");   // no set flow recorded
}

TEST_P(MeterHistoryTest, DriftHasALinePerFlowAndAPointPerSeriesWithAnError)
{
    Put(Verification("v1", "2026-03-01 09:00:00", {{10, 0.4}, {2.5, 1.0}}));
    Put(Calibration("c1", "2026-03-02 10:00:00", 3, true));   // no errors: not on the chart
    // 2.6 is within 5 % of 2.5: the same line; 5 only here.
    Put(Verification("v2", "2026-03-03 09:00:00", {{10.2, 0.6}, {2.6, 1.3}, {5, -0.2}}));
    // Two points at one flow in a series: the last counts.
    Put(Verification("v3", "2026-03-04 09:00:00", {{10, 0.9}, {10, 0.7}, {2.5, 1.1}}));

    HistoryFilter filter;
    filter.number = kMeter;
    const std::vector<StoredSeries> series = LoadSeriesOf(*m_store, filter);
    ASSERT_EQ(series.size(), 4u);
    const MeterDrift drift = BuildMeterDrift(series, kMeter);
    ASSERT_EQ(drift.dates.size(), 3u);
    EXPECT_EQ(drift.dates[1], "2026-03-03 09:00:00");
    EXPECT_EQ(drift.seriesIds[1], series[2].series.id);
    ASSERT_EQ(drift.lines.size(), 3u);
    EXPECT_EQ(drift.lines[0].name, "Q = 2.5 м3/ч");
    EXPECT_EQ(drift.lines[1].name, "Q = 5 м3/ч");
    EXPECT_EQ(drift.lines[2].name, "Q = 10 м3/ч");
    ASSERT_EQ(drift.lines[0].points.size(), 3u);
    EXPECT_DOUBLE_EQ(drift.lines[0].points[1].X, 1);
    EXPECT_DOUBLE_EQ(drift.lines[0].points[1].Y, 1.3);
    ASSERT_EQ(drift.lines[1].points.size(), 1u);
    EXPECT_DOUBLE_EQ(drift.lines[1].points[0].X, 1);
    ASSERT_EQ(drift.lines[2].points.size(), 3u);
    EXPECT_DOUBLE_EQ(drift.lines[2].points[2].X, 2);
    EXPECT_DOUBLE_EQ(drift.lines[2].points[2].Y, 0.7);
    // The other meter's errors are its own.
    EXPECT_DOUBLE_EQ(BuildMeterDrift(series, kOther).lines[2].points[0].Y, 1.4);
    EXPECT_TRUE(BuildMeterDrift(series, 11000009).lines.empty());
}

TEST_P(MeterHistoryTest, TheCardTellsTheLatestCalibrationAndVerification)
{
    Put(Calibration("c0", "2026-02-01 10:00:00", 5, true));
    Put(Verification("v1", "2026-03-01 09:00:00", {{10, 0.4}}));
    Put(Calibration("c1", "2026-03-02 10:00:00", 3, true));
    StoredSeries failed = Verification("v2", "2026-03-03 09:00:00", {{10, 2.5}});
    failed.verdicts = {{0, kMeter, "не годен", 2.5}, {1, kOther, "годен", 0.1}};
    failed.meters[0].version = "2.30";
    Put(failed);

    const MeterCard card = LoadMeterCard(*m_store, kMeter);
    ASSERT_TRUE(card.found);
    EXPECT_EQ(card.version, "2.30");   // the latest series'
    EXPECT_EQ(card.pairs, 3);
    ASSERT_TRUE(card.lastCalibration);
    EXPECT_EQ(card.lastCalibration->series.started, "2026-03-02 10:00:00");
    ASSERT_TRUE(card.lastVerification);
    EXPECT_EQ(card.lastVerification->verdict, "не годен");
    const std::string text = MeterCardText(card);
    EXPECT_THAT(text, HasSubstr("Счетчик № 11000001"));
    EXPECT_THAT(text, HasSubstr("Модель: ВЯ-7-1"));
    EXPECT_THAT(text, HasSubstr("Версия: 2.30"));
    EXPECT_THAT(text, HasSubstr("Ду: 15"));
    EXPECT_THAT(text, HasSubstr("Пар: 3, записаны 2026-03-02 23:59"));
    EXPECT_THAT(text, HasSubstr("Последняя градуировка: 2026-03-02 10:00"));
    EXPECT_THAT(text, HasSubstr("Последняя поверка: 2026-03-03 09:00, не годен (ivanova)"));
    EXPECT_THAT(MeterCardText(LoadMeterCard(*m_store, kOther)), HasSubstr("Последняя поверка: 2026-03-03 09:00, годен"));

    // The last calibration's write was refused: its pairs are not in the meter.
    Put(Calibration("c2", "2026-03-04 10:00:00", 4, false));
    const std::string refused = MeterCardText(LoadMeterCard(*m_store, kMeter));
    EXPECT_THAT(refused, HasSubstr("Пар: 4, в счетчик не записаны"));
    EXPECT_THAT(refused, HasSubstr("Последняя градуировка: 2026-03-04 10:00"));
    EXPECT_THAT(refused, HasSubstr("Версия: 2.20"));

    const std::string unknown = MeterCardText(LoadMeterCard(*m_store, 11000077));
    EXPECT_THAT(unknown, HasSubstr("нет серий"));
    EXPECT_THAT(unknown, Not(HasSubstr("Модель")));
    EXPECT_EQ(MeterCardText(MeterCard{}), "");
}

TEST_P(MeterHistoryTest, AMeterOnlyVerifiedHasNoCalibrationLine)
{
    Put(Verification("v1", "2026-03-01 09:00:00", {{10, 0.4}}));
    const std::string text = MeterCardText(LoadMeterCard(*m_store, kMeter));
    EXPECT_THAT(text, HasSubstr("Последняя градуировка: нет"));
    EXPECT_THAT(text, HasSubstr("Пар: нет данных"));
    EXPECT_THAT(text, HasSubstr("Последняя поверка: 2026-03-01 09:00, годен"));
}

INSTANTIATE_TEST_SUITE_P(Engines, MeterHistoryTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), EngineName);
