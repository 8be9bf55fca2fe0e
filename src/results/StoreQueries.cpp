// Reading the store: the history list, one whole series, the spool's contents.
#include "ResultStore.h"

#include "StoreBinding.h"
#include "StoreError.h"

#include "Soci.h"

#include <ctime>
#include <map>

using soci::into;
using soci::use;

namespace {
// The day after "YYYY-MM-DD" ("" stays ""), so that a day's times compare below it.
std::string NextDay(const std::string& day)
{
    if (day.empty())
        return "";
    std::tm tm{};
    if (std::sscanf(day.c_str(), "%d-%d-%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday) != 3)
        return day;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_mday += 1;
    tm.tm_hour = 12;
    std::mktime(&tm);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &tm);
    return text;
}

const char* kSeriesColumns =
    "SELECT s.id, s.station, s.uid, s.kind, s.started, s.ended, s.operator_name, s.reference_used, s.state, s.pid,"
    " s.as_found_id, (SELECT COUNT(*) FROM series_point p WHERE p.series_id = s.id) FROM series s";

struct SeriesRow {
    SeriesRecord r;
    OptText ended;
    std::string state;
    long long asFound = 0;
    soci::indicator asFoundInd = soci::i_null;
    long long points = 0;

    void Bind(soci::statement& st)
    {
        st.exchange(into(r.id));
        st.exchange(into(r.station));
        st.exchange(into(r.uid));
        st.exchange(into(r.kind));
        st.exchange(into(r.started));
        st.exchange(into(ended.value, ended.ind));
        st.exchange(into(r.operatorName));
        st.exchange(into(r.reference));
        st.exchange(into(state));
        st.exchange(into(r.pid));
        st.exchange(into(asFound, asFoundInd));
        st.exchange(into(points));
    }
    SeriesRecord Get() const
    {
        SeriesRecord out = r;
        out.ended = ended.Get();
        out.state = SeriesStateFromName(state);
        out.asFoundId = asFoundInd == soci::i_ok ? asFound : 0;
        return out;
    }
};
}

std::vector<SeriesSummary> CResultStore::ListSeries(const HistoryFilter& filter)
{
    return Guard([&] {
        std::vector<SeriesSummary> list;
        const std::string from = filter.from;
        const std::string to = filter.to.empty() ? "9999" : NextDay(filter.to);
        const long long number = filter.number;
        SeriesRow row;
        std::string sql = std::string(kSeriesColumns) + " WHERE s.started >= :from AND s.started < :to";
        if (number != 0)
            sql += " AND s.id IN (SELECT series_id FROM series_meter WHERE number = :number)";
        sql += " ORDER BY s.started, s.id";
        soci::statement st(*m_sql);
        row.Bind(st);
        st.exchange(use(from));
        st.exchange(use(to));
        if (number != 0)
            st.exchange(use(number));
        st.alloc();
        st.prepare(sql);
        st.define_and_bind();
        st.execute();
        while (st.fetch()) {
            SeriesSummary s;
            s.series = row.Get();
            s.points = static_cast<int>(row.points);
            list.push_back(std::move(s));
        }
        long long id = 0, meter = 0;
        std::string verdict;
        soci::indicator verdictInd = soci::i_null;
        soci::statement meters =
            (m_sql->prepare << "SELECT m.number, v.verdict FROM series_meter m LEFT JOIN meter_verdict v"
                               " ON v.series_id = m.series_id AND v.slot = m.slot WHERE m.series_id = :id ORDER BY m.slot",
             use(id), into(meter), into(verdict, verdictInd));
        for (SeriesSummary& s : list) {
            id = s.series.id;
            meters.execute();
            bool anyFail = false, allPass = true, any = false;
            while (meters.fetch()) {
                s.numbers.push_back(static_cast<uint32_t>(meter));
                const std::string v = verdictInd == soci::i_ok ? verdict : "";
                if (number != 0 && meter == number)
                    s.verdict = v;
                any = true;
                anyFail = anyFail || v == "не годен";
                allPass = allPass && v == "годен";
            }
            if (number == 0)
                s.verdict = anyFail ? "не годен" : (any && allPass ? "годен" : "");
        }
        return list;
    });
}

std::optional<StoredSeries> CResultStore::LoadSeries(long long id)
{
    return Guard([&]() -> std::optional<StoredSeries> {
        StoredSeries out;
        SeriesRow row;
        soci::statement st(*m_sql);
        row.Bind(st);
        st.exchange(use(id));
        st.alloc();
        st.prepare(std::string(kSeriesColumns) + " WHERE s.id = :id");
        st.define_and_bind();
        if (!st.execute(true))
            return std::nullopt;
        out.series = row.Get();
        {
            long long left = 0;
            soci::indicator ind = soci::i_null;
            *m_sql << "SELECT MAX(id) FROM series WHERE as_found_id = :id", use(id), into(left, ind);
            out.series.asLeftId = ind == soci::i_ok ? left : 0;
        }
        {
            MeterRecord m;
            long long number = 0;
            soci::statement q = (m_sql->prepare << "SELECT slot, number, model, version, dn FROM series_meter"
                                                   " WHERE series_id = :id ORDER BY slot",
                                 use(id), into(m.slot), into(number), into(m.model), into(m.version), into(m.dn));
            q.execute();
            while (q.fetch()) {
                m.number = static_cast<uint32_t>(number);
                out.meters.push_back(m);
            }
        }
        {
            PointRecord p;
            OptDouble setFlow, cycle, water, pressure;
            soci::statement q =
                (m_sql->prepare << "SELECT point_no, set_flow, ge, cycle_seconds, water_temperature, water_pressure,"
                                   " at_time FROM series_point WHERE series_id = :id ORDER BY point_no",
                 use(id), into(p.pointNo), into(setFlow.value, setFlow.ind), into(p.ge), into(cycle.value, cycle.ind),
                 into(water.value, water.ind), into(pressure.value, pressure.ind), into(p.time));
            q.execute();
            while (q.fetch()) {
                p.setFlow = setFlow.Get();
                p.cycleSeconds = cycle.Get();
                p.waterTemperature = water.Get();
                p.waterPressure = pressure.Get();
                out.points.push_back(p);
            }
        }
        {
            std::map<int, size_t> index;
            for (size_t i = 0; i < out.points.size(); ++i)
                index[out.points[i].pointNo] = i;
            int pointNo = 0;
            ReadingRecord r;
            long long number = 0;
            OptDouble gi, gv, error;
            soci::statement q =
                (m_sql->prepare << "SELECT point_no, slot, number, gi, gv, error, result FROM point_reading"
                                   " WHERE series_id = :id ORDER BY point_no, slot",
                 use(id), into(pointNo), into(r.slot), into(number), into(gi.value, gi.ind), into(gv.value, gv.ind),
                 into(error.value, error.ind), into(r.result));
            q.execute();
            while (q.fetch()) {
                r.number = static_cast<uint32_t>(number);
                r.gi = gi.Get();
                r.gv = gv.Get();
                r.error = error.Get();
                if (const auto it = index.find(pointNo); it != index.end())
                    out.points[it->second].readings.push_back(r);
            }
        }
        {
            PairRecord p;
            long long number = 0;
            OptDouble gi;
            soci::statement q = (m_sql->prepare << "SELECT slot, pair_no, number, ge, gi FROM formed_pair"
                                                   " WHERE series_id = :id ORDER BY slot, pair_no",
                                 use(id), into(p.slot), into(p.pairNo), into(number), into(p.ge), into(gi.value, gi.ind));
            q.execute();
            while (q.fetch()) {
                p.number = static_cast<uint32_t>(number);
                p.gi = gi.Get();
                out.pairs.push_back(p);
            }
        }
        {
            VerdictRecord v;
            long long number = 0;
            OptDouble worst;
            soci::statement q = (m_sql->prepare << "SELECT slot, number, verdict, worst_error FROM meter_verdict"
                                                   " WHERE series_id = :id ORDER BY slot",
                                 use(id), into(v.slot), into(number), into(v.verdict), into(worst.value, worst.ind));
            q.execute();
            while (q.fetch()) {
                v.number = static_cast<uint32_t>(number);
                v.worstError = worst.Get();
                out.verdicts.push_back(v);
            }
        }
        {
            WriteRecord w;
            long long number = 0;
            soci::statement q =
                (m_sql->prepare << "SELECT station, uid, at_time, number, model, operation, value_before, value_after,"
                                   " readback, result FROM pair_write WHERE series_id = :id ORDER BY id",
                 use(id), into(w.station), into(w.uid), into(w.time), into(number), into(w.model), into(w.operation),
                 into(w.before), into(w.after), into(w.readback), into(w.result));
            q.execute();
            while (q.fetch()) {
                w.number = static_cast<uint32_t>(number);
                w.seriesUid = out.series.uid;
                out.writes.push_back(w);
            }
        }
        return out;
    });
}

long long CResultStore::FindSeries(const std::string& station, const std::string& uid)
{
    return Guard([&] {
        long long id = 0;
        soci::indicator ind = soci::i_null;
        *m_sql << "SELECT MAX(id) FROM series WHERE station = :station AND uid = :uid", use(station), use(uid),
            into(id, ind);
        return ind == soci::i_ok ? id : 0LL;
    });
}

long long CResultStore::PointCount(long long seriesId)
{
    return Guard([&] {
        long long n = 0;
        *m_sql << "SELECT COUNT(*) FROM series_point WHERE series_id = :id", use(seriesId), into(n);
        return n;
    });
}

std::vector<WriteRecord> CResultStore::LooseWrites()
{
    return Guard([&] {
        std::vector<WriteRecord> out;
        WriteRecord w;
        long long number = 0;
        soci::statement q =
            (m_sql->prepare << "SELECT station, uid, at_time, number, model, operation, value_before, value_after,"
                               " readback, result FROM pair_write WHERE series_id IS NULL ORDER BY id",
             into(w.station), into(w.uid), into(w.time), into(number), into(w.model), into(w.operation),
             into(w.before), into(w.after), into(w.readback), into(w.result));
        q.execute();
        while (q.fetch()) {
            w.number = static_cast<uint32_t>(number);
            out.push_back(w);
        }
        return out;
    });
}

std::vector<long long> CResultStore::SeriesIds()
{
    return Guard([&] {
        std::vector<long long> ids;
        long long id = 0;
        soci::statement q = (m_sql->prepare << "SELECT id FROM series ORDER BY id", into(id));
        q.execute();
        while (q.fetch())
            ids.push_back(id);
        return ids;
    });
}
