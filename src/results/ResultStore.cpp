#include "ResultStore.h"

#include "StoreBinding.h"
#include "StoreError.h"

#include <soci/postgresql/soci-postgresql.h>
#include "Soci.h"
#include <soci/sqlite3/soci-sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

using soci::into;
using soci::use;

namespace {
// A file that is there and is no SQLite database is never handed to SQLite,
// which would take an empty-looking file for a new store.
std::string SqliteFileProblem(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return "";
    if (!S_ISREG(st.st_mode))
        return "не файл";
    if (st.st_size == 0)
        return "";
    char header[16] = {};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "файл не читается";
    in.read(header, sizeof header);
    if (in.gcount() != sizeof header || std::memcmp(header, "SQLite format 3", 16) != 0)
        return "не база данных SQLite";
    if (st.st_size < 512 || st.st_size % 512 != 0)
        return "файл обрезан (" + std::to_string(st.st_size) + " байт)";
    return "";
}

std::string SqliteConnectString(const std::string& path)
{
    std::string quoted = "\"";
    for (char c : path)
        quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return "db=" + quoted + "\" timeout=2";
}
}

void CResultStore::Fail(const std::string& what) const
{
    throw EStoreError("база результатов " + m_location.shown + ": " + what);
}

CResultStore::CResultStore(const StoreLocation& location, int schemaVersion) : m_location(location)
{
    Guard([&] {
        if (m_location.engine == StoreLocation::Engine::SQLite) {
            if (const std::string problem = SqliteFileProblem(m_location.path); !problem.empty())
                Fail(problem + "; файл не изменён");
            m_sql = std::make_unique<soci::session>(soci::sqlite3, SqliteConnectString(m_location.path));
            // Before anything is written: a damaged file stays as it is.
            std::string bad;
            try {
                std::string check;
                soci::statement st = (m_sql->prepare << "PRAGMA quick_check", into(check));
                st.execute();
                while (st.fetch())
                    if (check != "ok" && bad.empty())
                        bad = check;
            } catch (const soci::soci_error& e) {
                bad = e.what();
                if (bad.find("locked") != std::string::npos || bad.find("busy") != std::string::npos)
                    Fail("занята другой программой (" + bad + ")");
            }
            if (!bad.empty())
                Fail("повреждена, не проходит проверку целостности (" + bad + "); файл не изменён");
            *m_sql << "PRAGMA foreign_keys = ON";
            std::string mode;
            *m_sql << "PRAGMA journal_mode = WAL", into(mode);
        } else {
            m_sql = std::make_unique<soci::session>(soci::postgresql, m_location.conninfo);
            *m_sql << "SET client_min_messages = warning";
        }
        Migrate(schemaVersion);
        return 0;
    });
}

CResultStore::~CResultStore() = default;

int CResultStore::ReadVersion()
{
    long long tables = 0;
    if (m_location.engine == StoreLocation::Engine::SQLite)
        *m_sql << "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'", into(tables);
    else
        *m_sql << "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = current_schema()"
                  " AND table_name = 'schema_version'",
            into(tables);
    if (tables == 0)
        return 0;
    int version = 0;
    *m_sql << "SELECT MAX(version) FROM schema_version", into(version);
    return version;
}

int CResultStore::SchemaVersion()
{
    return Guard([&] { return ReadVersion(); });
}

void CResultStore::Migrate(int target)
{
    auto refuseNewer = [&](int found) {
        if (found > kSchemaVersion)
            Fail("версия схемы " + std::to_string(found) + " новее версии этой программы (" +
                 std::to_string(kSchemaVersion) + "); обновите программу, база не изменена");
    };
    const int found = ReadVersion();
    refuseNewer(found);
    if (found >= target)
        return;
    InTransaction([&](soci::session& sql) {
        if (m_location.engine == StoreLocation::Engine::PostgreSQL)
            sql << "SELECT pg_advisory_xact_lock(71722)";   // two stations starting at once
        const int now = ReadVersion();
        refuseNewer(now);
        for (int v = now + 1; v <= target; ++v)
            for (const std::string& statement : SchemaMigration(v, m_location.engine))
                sql << statement;
        if (now < target)
            sql << "UPDATE schema_version SET version = :v", use(target);
    });
}

void CResultStore::InTransaction(const std::function<void(soci::session&)>& fn)
{
    Guard([&] {
        soci::transaction tr(*m_sql);
        fn(*m_sql);
        tr.commit();
        return 0;
    });
}

long long CResultStore::UpsertSeries(soci::session& sql, const SeriesRecord& s)
{
    OptText ended(s.ended);
    const std::string state = SeriesStateName(s.state);
    sql << "INSERT INTO series (station, uid, kind, started, ended, operator_name, reference_used, state, pid)"
           " VALUES (:station, :uid, :kind, :started, :ended, :operator, :reference, :state, :pid)"
           " ON CONFLICT (station, uid) DO UPDATE SET ended = excluded.ended, state = excluded.state,"
           " reference_used = excluded.reference_used",
        use(s.station), use(s.uid), use(s.kind), use(s.started), use(ended.value, ended.ind), use(s.operatorName),
        use(s.reference), use(state), use(s.pid);
    long long id = 0;
    sql << "SELECT id FROM series WHERE station = :station AND uid = :uid", use(s.station), use(s.uid), into(id);
    if (s.state == SeriesState::Complete && s.kind == "verification")
        LinkAsFound(sql, id, s);
    return id;
}

// The verification of the same meters on the same station the same day
// before a calibration that came before this verification.
void CResultStore::LinkAsFound(soci::session& sql, long long id, const SeriesRecord& s)
{
    if (const long long found = FindAsFound(sql, id, s))
        sql << "UPDATE series SET as_found_id = :found WHERE id = :id", use(found), use(id);
}

long long CResultStore::AsFoundOf(long long id)
{
    return Guard([&]() -> long long {
        const auto stored = LoadSeries(id);
        if (!stored || stored->series.kind != "verification")
            return 0;
        if (stored->series.asFoundId || stored->series.state != SeriesState::Running)
            return stored->series.asFoundId;
        return FindAsFound(*m_sql, id, stored->series);
    });
}

long long CResultStore::FindAsFound(soci::session& sql, long long id, const SeriesRecord& s)
{
    const std::string day = s.started.substr(0, 10);
    long long found = 0;
    soci::indicator ind = soci::i_null;
    sql << "SELECT MAX(v.id) FROM series v WHERE v.station = :station AND v.kind = 'verification' AND v.id <> :id"
           " AND substr(v.started, 1, 10) = :day AND v.started < :started"
           " AND EXISTS (SELECT 1 FROM series_meter vm WHERE vm.series_id = v.id AND vm.number IN"
           "  (SELECT number FROM series_meter WHERE series_id = :id2))"
           " AND EXISTS (SELECT 1 FROM series c JOIN series_meter cm ON cm.series_id = c.id"
           "  WHERE c.station = :station2 AND c.kind = 'calibration' AND c.started >= v.started"
           "  AND c.started <= :started2 AND c.id > v.id AND c.id < :id3 AND cm.number IN"
           "  (SELECT number FROM series_meter WHERE series_id = :id4))",
        use(s.station), use(id), use(day), use(s.started), use(id), use(s.station), use(s.started), use(id), use(id),
        into(found, ind);
    return ind == soci::i_ok ? found : 0;
}

void CResultStore::InsertMeters(soci::session& sql, long long id, const std::vector<MeterRecord>& meters)
{
    sql << "DELETE FROM series_meter WHERE series_id = :id", use(id);
    int slot = 0;
    long long number = 0;
    std::string model, version, dn;
    soci::statement st = (sql.prepare << "INSERT INTO series_meter (series_id, slot, number, model, version, dn)"
                                         " VALUES (:id, :slot, :number, :model, :version, :dn)",
                          use(id), use(slot), use(number), use(model), use(version), use(dn));
    for (const MeterRecord& m : meters) {
        slot = m.slot;
        number = m.number;
        model = m.model;
        version = m.version;
        dn = m.dn;
        st.execute(true);
    }
}

void CResultStore::InsertPoint(soci::session& sql, long long id, const PointRecord& p)
{
    OptDouble setFlow(p.setFlow), cycle(p.cycleSeconds), water(p.waterTemperature), pressure(p.waterPressure);
    const std::string time = p.time.empty() ? RecordTimeNow() : p.time;
    sql << "INSERT INTO series_point (series_id, point_no, set_flow, ge, cycle_seconds, water_temperature,"
           " water_pressure, at_time)"
           " VALUES (:id, :no, :set_flow, :ge, :cycle, :water, :pressure, :time) ON CONFLICT DO NOTHING",
        use(id), use(p.pointNo), use(setFlow.value, setFlow.ind), use(p.ge), use(cycle.value, cycle.ind),
        use(water.value, water.ind), use(pressure.value, pressure.ind), use(time);
    int slot = 0;
    long long number = 0, result = 0;
    OptDouble gi, gv, error;
    soci::statement st =
        (sql.prepare << "INSERT INTO point_reading (series_id, point_no, slot, number, gi, gv, error, result)"
                        " VALUES (:id, :no, :slot, :number, :gi, :gv, :error, :result) ON CONFLICT DO NOTHING",
         use(id), use(p.pointNo), use(slot), use(number), use(gi.value, gi.ind), use(gv.value, gv.ind),
         use(error.value, error.ind), use(result));
    for (const ReadingRecord& r : p.readings) {
        slot = r.slot;
        number = r.number;
        result = r.result;
        gi = OptDouble(r.gi);
        gv = OptDouble(r.gv);
        error = OptDouble(r.error);
        st.execute(true);
    }
}

void CResultStore::InsertPairs(soci::session& sql, long long id, const std::vector<PairRecord>& pairs)
{
    sql << "DELETE FROM formed_pair WHERE series_id = :id", use(id);
    int slot = 0, pairNo = 0;
    long long number = 0;
    double ge = 0;
    OptDouble gi;
    soci::statement st = (sql.prepare << "INSERT INTO formed_pair (series_id, slot, pair_no, number, ge, gi)"
                                         " VALUES (:id, :slot, :no, :number, :ge, :gi)",
                          use(id), use(slot), use(pairNo), use(number), use(ge), use(gi.value, gi.ind));
    for (const PairRecord& p : pairs) {
        slot = p.slot;
        pairNo = p.pairNo;
        number = p.number;
        ge = p.ge;
        gi = OptDouble(p.gi);
        st.execute(true);
    }
}

void CResultStore::InsertVerdicts(soci::session& sql, long long id, const std::vector<VerdictRecord>& verdicts)
{
    sql << "DELETE FROM meter_verdict WHERE series_id = :id", use(id);
    for (const VerdictRecord& v : verdicts) {
        OptDouble worst(v.worstError);
        const long long number = v.number;
        sql << "INSERT INTO meter_verdict (series_id, slot, number, verdict, worst_error)"
               " VALUES (:id, :slot, :number, :verdict, :worst)",
            use(id), use(v.slot), use(number), use(v.verdict), use(worst.value, worst.ind);
    }
}

void CResultStore::InsertWrite(soci::session& sql, const WriteRecord& w)
{
    long long seriesId = 0;
    soci::indicator seriesInd = soci::i_null;
    if (!w.seriesUid.empty()) {
        soci::indicator found = soci::i_null;
        sql << "SELECT MAX(id) FROM series WHERE station = :station AND uid = :uid", use(w.station),
            use(w.seriesUid), into(seriesId, found);
        seriesInd = found == soci::i_ok ? soci::i_ok : soci::i_null;
    }
    const long long number = w.number;
    sql << "INSERT INTO pair_write (station, uid, series_id, at_time, number, model, operation, value_before,"
           " value_after, readback, result) VALUES (:station, :uid, :series, :time, :number, :model, :operation,"
           " :before, :after, :readback, :result) ON CONFLICT (station, uid) DO NOTHING",
        use(w.station), use(w.uid), use(seriesId, seriesInd), use(w.time), use(number), use(w.model),
        use(w.operation), use(w.before), use(w.after), use(w.readback), use(w.result);
}

long long CResultStore::PutSeries(const SeriesRecord& series)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) { id = UpsertSeries(sql, series); });
    return id;
}

long long CResultStore::PutMeters(const SeriesRecord& series, const std::vector<MeterRecord>& meters)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) {
        id = UpsertSeries(sql, series);
        InsertMeters(sql, id, meters);
    });
    return id;
}

long long CResultStore::PutPoint(const SeriesRecord& series, const PointRecord& point)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) {
        id = UpsertSeries(sql, series);
        InsertPoint(sql, id, point);
    });
    return id;
}

long long CResultStore::PutPairs(const SeriesRecord& series, const std::vector<PairRecord>& pairs)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) {
        id = UpsertSeries(sql, series);
        InsertPairs(sql, id, pairs);
    });
    return id;
}

long long CResultStore::PutVerdicts(const SeriesRecord& series, const std::vector<VerdictRecord>& verdicts)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) {
        id = UpsertSeries(sql, series);
        InsertVerdicts(sql, id, verdicts);
    });
    return id;
}

void CResultStore::PutWrite(const WriteRecord& write)
{
    InTransaction([&](soci::session& sql) { InsertWrite(sql, write); });
}

long long CResultStore::PutStoredSeries(const StoredSeries& stored)
{
    long long id = 0;
    InTransaction([&](soci::session& sql) {
        // The state last: a series is complete only with all its records.
        SeriesRecord first = stored.series;
        first.state = SeriesState::Running;
        first.ended.clear();
        id = UpsertSeries(sql, first);
        if (!stored.meters.empty())
            InsertMeters(sql, id, stored.meters);
        for (const PointRecord& p : stored.points)
            InsertPoint(sql, id, p);
        if (!stored.pairs.empty())
            InsertPairs(sql, id, stored.pairs);
        if (!stored.verdicts.empty())
            InsertVerdicts(sql, id, stored.verdicts);
        for (const WriteRecord& w : stored.writes)
            InsertWrite(sql, w);
        UpsertSeries(sql, stored.series);
    });
    return id;
}

void CResultStore::DeleteSeries(long long id)
{
    InTransaction([&](soci::session& sql) {
        sql << "DELETE FROM point_reading WHERE series_id = :id", use(id);
        sql << "DELETE FROM series WHERE id = :id", use(id);
    });
}

void CResultStore::DeleteLooseWrite(const std::string& station, const std::string& uid)
{
    InTransaction([&](soci::session& sql) {
        sql << "DELETE FROM pair_write WHERE station = :station AND uid = :uid", use(station), use(uid);
    });
}

bool CResultStore::IntegrityOk(std::string& detail)
{
    detail.clear();
    if (m_location.engine != StoreLocation::Engine::SQLite)
        return true;
    return Guard([&] {
        std::string line;
        soci::statement st = (m_sql->prepare << "PRAGMA integrity_check", into(line));
        st.execute();
        while (st.fetch())
            if (line != "ok")
                detail += (detail.empty() ? "" : "; ") + line;
        long long violations = 0;
        std::string table;
        soci::statement fk = (m_sql->prepare << "PRAGMA foreign_key_check", into(table));
        fk.execute();
        while (fk.fetch())
            ++violations;
        if (violations)
            detail += (detail.empty() ? "" : "; ") + std::to_string(violations) + " foreign key violations";
        return detail.empty();
    });
}
