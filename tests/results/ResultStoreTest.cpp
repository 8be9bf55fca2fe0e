// The store on both engines: the same schema and queries, records back as
// written, keys that make a second delivery change nothing, schema versions,
// as found / as left, and the recorder's spool when the server goes away.
#include "StoreFixture.h"

#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "results/Soci.h"
#include "results/StoreError.h"

using ::testing::HasSubstr;

namespace {
void ExpectSameSeries(const StoredSeries& want, const StoredSeries& got)
{
    EXPECT_EQ(got.series.station, want.series.station);
    EXPECT_EQ(got.series.uid, want.series.uid);
    EXPECT_EQ(got.series.kind, want.series.kind);
    EXPECT_EQ(got.series.started, want.series.started);
    EXPECT_EQ(got.series.ended, want.series.ended);
    EXPECT_EQ(got.series.operatorName, want.series.operatorName);
    EXPECT_EQ(got.series.reference, want.series.reference);
    EXPECT_EQ(got.series.state, want.series.state);
    EXPECT_EQ(got.series.pid, want.series.pid);
    ASSERT_EQ(got.meters.size(), want.meters.size());
    for (size_t i = 0; i < want.meters.size(); ++i) {
        EXPECT_EQ(got.meters[i].number, want.meters[i].number);
        EXPECT_EQ(got.meters[i].model, want.meters[i].model);
        EXPECT_EQ(got.meters[i].version, want.meters[i].version);
        EXPECT_EQ(got.meters[i].dn, want.meters[i].dn);
    }
    ASSERT_EQ(got.points.size(), want.points.size());
    for (size_t i = 0; i < want.points.size(); ++i) {
        const PointRecord& w = want.points[i];
        const PointRecord& g = got.points[i];
        EXPECT_EQ(g.pointNo, w.pointNo);
        EXPECT_EQ(g.setFlow, w.setFlow);
        EXPECT_DOUBLE_EQ(g.ge, w.ge);
        EXPECT_EQ(g.cycleSeconds, w.cycleSeconds);
        EXPECT_EQ(g.waterTemperature, w.waterTemperature);
        EXPECT_EQ(g.waterPressure, w.waterPressure);
        ASSERT_EQ(g.readings.size(), w.readings.size());
        for (size_t r = 0; r < w.readings.size(); ++r) {
            EXPECT_EQ(g.readings[r].number, w.readings[r].number);
            EXPECT_EQ(g.readings[r].gi, w.readings[r].gi);
            EXPECT_EQ(g.readings[r].gv, w.readings[r].gv);
            EXPECT_EQ(g.readings[r].error, w.readings[r].error);
            EXPECT_EQ(g.readings[r].result, w.readings[r].result);
        }
    }
    ASSERT_EQ(got.verdicts.size(), want.verdicts.size());
    for (size_t i = 0; i < want.verdicts.size(); ++i) {
        EXPECT_EQ(got.verdicts[i].verdict, want.verdicts[i].verdict);
        EXPECT_EQ(got.verdicts[i].worstError, want.verdicts[i].worstError);
    }
}
}

class ResultStoreTest : public StoreFixture {};

TEST_P(ResultStoreTest, RecordsComeBackAsWrittenAndTwiceDeliveredOnce)
{
    CResultStore store(Parsed(NewLocation()));
    EXPECT_EQ(store.SchemaVersion(), CResultStore::kSchemaVersion);
    StoredSeries s = SampleSeries("rig-1", "u1", "2026-03-02 09:00:00");
    s.series.state = SeriesState::Complete;
    s.series.ended = "2026-03-02 09:30:00";
    s.pairs = {{0, 11000001, 1, 9.98, 1.25}, {0, 11000001, 2, 2.5, std::nullopt}};
    WriteRecord w;
    w.station = "rig-1";
    w.uid = "w1";
    w.seriesUid = "u1";
    w.time = "2026-03-02 09:31:00";
    w.number = 11000001;
    w.model = "ВЯ-7-1";
    w.operation = "запись пар";
    w.before = "1/1";
    w.after = "2/2";
    w.readback = "совпадает";
    s.writes = {w};
    const long long id = store.PutStoredSeries(s);
    // The spool's drain may deliver the same records again after a kill.
    EXPECT_EQ(store.PutStoredSeries(s), id);
    EXPECT_EQ(store.PutPoint(s.series, s.points[0]), id);
    store.PutWrite(w);

    const auto back = store.LoadSeries(id);
    ASSERT_TRUE(back);
    ExpectSameSeries(s, *back);
    ASSERT_EQ(back->pairs.size(), 2u);
    EXPECT_EQ(back->pairs[1].gi, std::nullopt);
    ASSERT_EQ(back->writes.size(), 1u);
    EXPECT_EQ(back->writes[0].after, "2/2");
    EXPECT_EQ(store.PointCount(id), 2);
    EXPECT_FALSE(store.LoadSeries(id + 1000));
}

TEST_P(ResultStoreTest, HistoryFindsAMeterBetweenDates)
{
    CResultStore store(Parsed(NewLocation()));
    store.PutStoredSeries(SampleSeries("rig-1", "a", "2026-03-01 10:00:00"));
    StoredSeries other = SampleSeries("rig-2", "b", "2026-03-05 23:59:59");
    other.meters.pop_back();
    store.PutStoredSeries(other);
    store.PutStoredSeries(SampleSeries("rig-1", "c", "2026-04-01 00:00:00"));

    struct Case {
        HistoryFilter filter;
        std::vector<std::string> uids;
        std::string firstVerdict;
    };
    const std::vector<Case> cases = {
        {{0, "", ""}, {"a", "b", "c"}, "не годен"},
        {{11000002, "", ""}, {"a", "c"}, "не годен"},
        {{11000001, "", ""}, {"a", "b", "c"}, "годен"},
        {{11000001, "2026-03-02", "2026-03-05"}, {"b"}, "годен"},
        {{0, "2026-03-01", "2026-03-01"}, {"a"}, "не годен"},
        {{0, "2026-04-02", ""}, {}, ""},
        {{99999999, "", ""}, {}, ""},
    };
    for (const Case& c : cases) {
        const auto list = store.ListSeries(c.filter);
        std::vector<std::string> uids;
        for (const auto& s : list)
            uids.push_back(s.series.uid);
        EXPECT_EQ(uids, c.uids) << c.filter.number << " " << c.filter.from << ".." << c.filter.to;
        if (!list.empty()) {
            EXPECT_EQ(list[0].verdict, c.firstVerdict) << c.filter.number;
            EXPECT_EQ(list[0].points, 2);
        }
    }
}

TEST_P(ResultStoreTest, AnOlderSchemaIsUpgradedANewerRefused)
{
    const std::string where = NewLocation();
    {
        CResultStore old(Parsed(where), 1);
        EXPECT_EQ(old.SchemaVersion(), 1);
    }
    {
        CResultStore upgraded(Parsed(where));
        EXPECT_EQ(upgraded.SchemaVersion(), CResultStore::kSchemaVersion);
        upgraded.PutStoredSeries(SampleSeries("rig-1", "a", "2026-03-01 10:00:00"));
        upgraded.InTransaction([](soci::session& sql) { sql << "UPDATE schema_version SET version = 7"; });
    }
    try {
        CResultStore newer(Parsed(where));
        FAIL() << "a store of schema 7 was opened";
    } catch (const EStoreError& e) {
        EXPECT_THAT(e.what(), HasSubstr("версия схемы 7"));
        EXPECT_THAT(e.what(), HasSubstr("(" + std::to_string(CResultStore::kSchemaVersion) + ")"));
    }
}

TEST_P(ResultStoreTest, AVerificationAfterACalibrationIsLinkedToTheOneBefore)
{
    CResultStore store(Parsed(NewLocation()));
    auto series = [&](const char* uid, const char* kind, const char* started, const char* station) {
        StoredSeries s = SampleSeries(station, uid, started);
        s.series.kind = kind;
        s.series.state = SeriesState::Complete;
        s.series.ended = started;
        return store.PutStoredSeries(s);
    };
    const long long before = series("v1", "verification", "2026-03-02 09:00:00", "rig-1");
    series("c1", "calibration", "2026-03-02 10:00:00", "rig-1");
    const long long after = series("v2", "verification", "2026-03-02 11:00:00", "rig-1");
    // Another station, or another day: no link.
    const long long elsewhere = series("v3", "verification", "2026-03-02 12:00:00", "rig-2");
    const long long nextDay = series("v4", "verification", "2026-03-03 09:00:00", "rig-1");

    EXPECT_EQ(store.LoadSeries(after)->series.asFoundId, before);
    EXPECT_EQ(store.LoadSeries(before)->series.asLeftId, after);
    EXPECT_EQ(store.LoadSeries(before)->series.asFoundId, 0);
    EXPECT_EQ(store.LoadSeries(elsewhere)->series.asFoundId, 0);
    EXPECT_EQ(store.LoadSeries(nextDay)->series.asFoundId, 0);
    EXPECT_EQ(store.AsFoundOf(after), before);
    EXPECT_EQ(store.AsFoundOf(nextDay), 0);

    // While the verification after a calibration runs, the one it will be linked to; not stored yet.
    series("c2", "calibration", "2026-03-03 10:00:00", "rig-1");
    StoredSeries running = SampleSeries("rig-1", "v5", "2026-03-03 11:00:00");
    running.series.kind = "verification";
    running.series.state = SeriesState::Running;
    const long long now = store.PutStoredSeries(running);
    EXPECT_EQ(store.LoadSeries(now)->series.asFoundId, 0);
    EXPECT_EQ(store.AsFoundOf(now), nextDay);
    EXPECT_EQ(store.AsFoundOf(store.FindSeries("rig-1", "c2")), 0);   // a calibration has none
}

TEST_P(ResultStoreTest, RecorderSeriesArrivesWholeAndMarkedComplete)
{
    CResultsRecorder rec(Parsed(NewLocation()), (m_dir / "spool.sqlite").string());
    rec.station = "rig-1";
    ASSERT_TRUE(rec.Connect()) << rec.Message();
    ASSERT_TRUE(rec.BeginSeries("verification"));
    const StoredSeries sample = SampleSeries("", "", "");
    EXPECT_TRUE(rec.SetMeters(sample.meters));
    for (const PointRecord& p : sample.points) {
        PointRecord q = p;
        q.pointNo = 0;
        EXPECT_TRUE(rec.AddPoint(q));
    }
    EXPECT_TRUE(rec.SetVerdicts(sample.verdicts));
    EXPECT_TRUE(rec.EndSeries(SeriesState::Complete));
    EXPECT_TRUE(rec.SeriesStored());
    EXPECT_EQ(rec.Pending(), 0);
    CResultStore store(rec.Location());
    const auto back = store.LoadSeries(rec.StoredSeriesId());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->series.state, SeriesState::Complete);
    EXPECT_FALSE(back->series.ended.empty());
    ASSERT_EQ(back->points.size(), 2u);
    EXPECT_EQ(back->points[1].pointNo, 2);
    EXPECT_EQ(back->points[0].readings[0].gv, 9.99);
}

INSTANTIATE_TEST_SUITE_P(Engines, ResultStoreTest, ::testing::Values(Engine::SQLite, Engine::PostgreSQL), EngineName);

// The server stopped in the middle of a series and started again: the points
// wait in the spool and each arrives once, in order, with the series' end.
class PgOutageTest : public StoreFixture {};

TEST_P(PgOutageTest, PointsWaitInTheSpoolAndArriveOnce)
{
    PgServer& pg = SharedPgServer();
    CResultsRecorder rec(Parsed(NewLocation()), (m_dir / "spool.sqlite").string());
    rec.station = "rig-1";
    ASSERT_TRUE(rec.Connect()) << rec.Message();
    ASSERT_TRUE(rec.BeginSeries("verification"));
    const StoredSeries sample = SampleSeries("", "", "");
    rec.SetMeters(sample.meters);
    PointRecord p = sample.points[0];
    p.pointNo = 0;
    ASSERT_TRUE(rec.AddPoint(p));
    ASSERT_TRUE(pg.Stop());
    for (int i = 0; i < 3; ++i) {
        p.ge = 5 + i;
        EXPECT_TRUE(rec.AddPoint(p));   // into the spool
    }
    EXPECT_THAT(rec.Message(), HasSubstr("база результатов"));
    EXPECT_EQ(rec.Pending(), 4);   // the series row and three points
    EXPECT_THAT(rec.StatusText(), HasSubstr("ждут 4 записей"));
    EXPECT_FALSE(rec.SeriesStored());
    ASSERT_TRUE(pg.Start());
    p.ge = 8;
    EXPECT_TRUE(rec.AddPoint(p));
    EXPECT_TRUE(rec.EndSeries(SeriesState::Complete));
    EXPECT_EQ(rec.Pending(), 0);
    EXPECT_TRUE(rec.SeriesStored());
    CResultStore store(rec.Location());
    const auto back = store.LoadSeries(rec.StoredSeriesId());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->points.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(back->points[static_cast<size_t>(i)].pointNo, i + 1);
        EXPECT_EQ(back->points[static_cast<size_t>(i)].readings.size(), 2u);
    }
    EXPECT_DOUBLE_EQ(back->points[3].ge, 7);
    EXPECT_EQ(back->meters.size(), 2u);
    EXPECT_EQ(back->series.state, SeriesState::Complete);
}

INSTANTIATE_TEST_SUITE_P(Server, PgOutageTest, ::testing::Values(Engine::PostgreSQL), EngineName);
