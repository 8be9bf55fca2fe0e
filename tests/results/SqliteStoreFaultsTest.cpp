// A store file that is damaged or locked by another program: a message naming
// the file, the file left as it was, and the series' records in the spool
// until the store answers again.
#include "StoreFixture.h"

#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "results/Soci.h"
#include "results/StoreError.h"

#include <soci/sqlite3/soci-sqlite3.h>

#include <fstream>
#include <functional>
#include <sstream>

using ::testing::HasSubstr;

namespace {
std::string Bytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Write(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// A real store with some series, checkpointed into the one file.
std::string MadeStore(const std::filesystem::path& p)
{
    {
        CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, p.string(), "", p.string()});
        for (int i = 0; i < 40; ++i)
            store.PutStoredSeries(SampleSeries("rig", "s" + std::to_string(i), "2026-03-02 09:00:00"));
        store.InTransaction([](soci::session&) {});
    }
    soci::session sql(soci::sqlite3, "db=" + p.string());
    sql << "PRAGMA wal_checkpoint(TRUNCATE)";
    sql << "PRAGMA journal_mode = DELETE";
    return Bytes(p);
}
}

class SqliteStoreFaultsTest : public StoreFixture {};

TEST_P(SqliteStoreFaultsTest, ADamagedFileIsNamedAndLeftAsItWas)
{
    struct Case {
        const char* name;
        std::function<std::string(const std::string&)> damage;   // good store bytes -> damaged bytes
        const char* says;
    };
    const std::vector<Case> cases = {
        {"text", [](const std::string&) { return std::string("meter;error\n11000001;0.1\n"); }, "не база данных"},
        {"truncated mid-page", [](const std::string& b) { return b.substr(0, b.size() / 2 + 100); }, "обрезан"},
        {"truncated at a page",
         [](const std::string& b) { return b.substr(0, (b.size() / 2) / 4096 * 4096); }, "целостности"},
        {"overwritten pages",
         [](const std::string& b) {
             std::string d = b;
             for (size_t i = 4096 * 2; i < d.size() && i < 4096 * 5; ++i)
                 d[i] = static_cast<char>(i * 7);
             return d;
         },
         "целостности"},
    };
    for (const Case& c : cases) {
        const auto path = m_dir / "results.sqlite";
        std::filesystem::remove(path);
        const std::string damaged = c.damage(MadeStore(path));
        Write(path, damaged);
        try {
            CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, path.string(), "", path.string()});
            ADD_FAILURE() << c.name << ": the damaged store was opened";
        } catch (const EStoreError& e) {
            EXPECT_THAT(e.what(), HasSubstr(path.string())) << c.name;
            EXPECT_THAT(e.what(), HasSubstr(c.says)) << c.name;
        }
        // A series recorded meanwhile waits in the spool.
        const auto spool = m_dir / (std::string("spool-") + std::to_string(&c - cases.data()) + ".sqlite");
        CResultsRecorder rec(Parsed(path.string()), spool.string());
        EXPECT_FALSE(rec.Connect()) << c.name;
        EXPECT_THAT(rec.TakeNewMessage(), HasSubstr(path.string())) << c.name;
        ASSERT_TRUE(rec.BeginSeries("verification")) << c.name;
        rec.AddPoint(SampleSeries("", "", "").points[0]);
        rec.EndSeries(SeriesState::Complete);
        EXPECT_EQ(rec.Pending(), 2) << c.name;
        EXPECT_FALSE(rec.SeriesStored()) << c.name;
        EXPECT_EQ(Bytes(path), damaged) << c.name << ": the damaged file was changed";
        EXPECT_FALSE(std::filesystem::exists(path.string() + "-wal")) << c.name;
    }
}

TEST_P(SqliteStoreFaultsTest, ALockedStoreKeepsTheSeriesInTheSpoolUntilFree)
{
    const auto path = m_dir / "results.sqlite";
    CResultsRecorder rec(Parsed(path.string()), (m_dir / "spool.sqlite").string());
    rec.station = "rig-1";
    ASSERT_TRUE(rec.Connect()) << rec.Message();
    ASSERT_TRUE(rec.BeginSeries("verification"));
    const StoredSeries sample = SampleSeries("", "", "");
    rec.SetMeters(sample.meters);
    PointRecord p = sample.points[0];
    p.pointNo = 0;
    ASSERT_TRUE(rec.AddPoint(p));
    {
        // Another program holds the write lock.
        soci::session other(soci::sqlite3, "db=" + path.string());
        other << "BEGIN EXCLUSIVE";
        const std::string locked = Bytes(path);
        EXPECT_TRUE(rec.AddPoint(p));
        EXPECT_TRUE(rec.AddPoint(p));
        EXPECT_THAT(rec.TakeNewMessage(), HasSubstr(path.string()));
        EXPECT_EQ(rec.Pending(), 3);
        EXPECT_EQ(Bytes(path), locked);
        other << "ROLLBACK";
    }
    ASSERT_TRUE(rec.AddPoint(p));
    EXPECT_TRUE(rec.EndSeries(SeriesState::Complete));
    EXPECT_EQ(rec.Pending(), 0);
    CResultStore store(rec.Location());
    const auto back = store.LoadSeries(rec.StoredSeriesId());
    ASSERT_TRUE(back);
    ASSERT_EQ(back->points.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(back->points[i].pointNo, static_cast<int>(i) + 1);
    EXPECT_EQ(back->series.state, SeriesState::Complete);
    std::string detail;
    EXPECT_TRUE(store.IntegrityOk(detail)) << detail;
}

INSTANTIATE_TEST_SUITE_P(File, SqliteStoreFaultsTest, ::testing::Values(Engine::SQLite), EngineName);
