// The results store: committing one cycle of ten meters (SQLite, and
// PostgreSQL on a throwaway server when its binaries are there) against a
// 10 s cycle; the history of one meter among 100 000 stored series against
// 50 ms; the spool's drain rate (points a second).
#include "RatioReport.h"
#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "results/Soci.h"
#include "support/PgServer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {
std::filesystem::path Folder()
{
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("vq7bench-results-" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

StoreLocation Sqlite(const std::string& name)
{
    const std::string path = (Folder() / name).string();
    return StoreLocation{StoreLocation::Engine::SQLite, path, "", path};
}

SeriesRecord Series(const std::string& uid)
{
    SeriesRecord s;
    s.station = "bench";
    s.uid = uid;
    s.kind = "verification";
    s.started = "2026-03-02 09:00:00";
    return s;
}

PointRecord TenMeters(int no)
{
    PointRecord p;
    p.pointNo = no;
    p.ge = 10;
    p.setFlow = 10;
    for (int s = 0; s < 10; ++s)
        p.readings.push_back({s, static_cast<uint32_t>(11000001 + s), 1.25, 10.01, 0.1, 0});
    return p;
}

void CommitCycles(benchmark::State& state, CResultStore& store)
{
    const SeriesRecord series = Series("cycles-" + std::to_string(state.range(0)));
    int no = 0;
    for (auto _ : state)
        store.PutPoint(series, TenMeters(++no));
    state.counters["ideal_us"] = 10e6;   // one cycle of 10 s
}

void BM_CommitCycleSQLite(benchmark::State& state)
{
    CResultStore store(Sqlite("cycles.sqlite"));
    CommitCycles(state, store);
}
BENCHMARK(BM_CommitCycleSQLite)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_CommitCyclePostgreSQL(benchmark::State& state)
{
    static PgServer server;
    if (!server.Available()) {
        state.SkipWithError(("SKIP: " + server.Reason()).c_str());
        return;
    }
    StoreLocation loc;
    std::string error;
    ParseStoreLocation(server.NewDatabase("bench" + std::to_string(getpid())), loc, error);
    CResultStore store(loc);
    CommitCycles(state, store);
}
BENCHMARK(BM_CommitCyclePostgreSQL)->Arg(1)->Unit(benchmark::kMicrosecond);

// 100 000 series of two meters each from 100 000 numbers: each meter is in a few.
void BM_MeterHistory(benchmark::State& state)
{
    static std::unique_ptr<CResultStore> store;
    if (!store) {
        store = std::make_unique<CResultStore>(Sqlite("history.sqlite"));
        store->InTransaction([](soci::session& sql) {
            std::string station = "bench", uid, started = "2026-01-01 08:00:00";
            long long id = 0, number = 0;
            int slot = 0;
            soci::statement series =
                (sql.prepare << "INSERT INTO series (id, station, uid, kind, started, operator_name, reference_used,"
                                " state, pid) VALUES (:id, :station, :uid, 'verification', :started, 'op', 'ref',"
                                " 'complete', 0)",
                 soci::use(id), soci::use(station), soci::use(uid), soci::use(started));
            soci::statement meter = (sql.prepare << "INSERT INTO series_meter (series_id, slot, number, model, version,"
                                                    " dn) VALUES (:id, :slot, :number, 'm', 'v', '15')",
                                     soci::use(id), soci::use(slot), soci::use(number));
            for (id = 1; id <= 100000; ++id) {
                uid = std::to_string(id);
                series.execute(true);
                for (slot = 0; slot < 2; ++slot) {
                    number = 11000000 + (id * 7 + slot * 13) % 30000;
                    meter.execute(true);
                }
            }
        });
    }
    size_t found = 0;
    for (auto _ : state) {
        HistoryFilter f;
        f.number = 11000007;
        found = store->ListSeries(f).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["series"] = static_cast<double>(found);
    state.counters["ideal_us"] = 50e3;   // the goal: 50 ms
}
BENCHMARK(BM_MeterHistory)->Unit(benchmark::kMillisecond);

// A spool of 200 points (one series) sent to an empty store.
void BM_SpoolDrain(benchmark::State& state)
{
    int round = 0;
    const int points = 200;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name = "drain" + std::to_string(++round);
        {
            CResultStore spool(Sqlite(name + "-spool.sqlite"));
            const SeriesRecord s = Series("spooled");
            for (int i = 1; i <= points; ++i)
                spool.PutPoint(s, TenMeters(i));
        }
        CResultsRecorder rec(Sqlite(name + ".sqlite"), (Folder() / (name + "-spool.sqlite")).string());
        state.ResumeTiming();
        if (!rec.Connect())
            state.SkipWithError(rec.Message().c_str());
    }
    state.SetItemsProcessed(state.iterations() * points);
}
BENCHMARK(BM_SpoolDrain)->Unit(benchmark::kMillisecond)->Iterations(5);
}

int main(int argc, char** argv)
{
    const int rc = RunWithRatios(argc, argv);
    std::filesystem::remove_all(Folder());
    return rc;
}
