#include "ResultsRecorder.h"

#include "ResultStore.h"
#include "StoreError.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

std::string DefaultStationName()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == 0)
        return "station";
    return host;
}

std::string DefaultOperatorName()
{
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return std::to_string(getuid());
}

namespace {
std::string NewUid()
{
    std::random_device rd;
    char text[64];
    std::snprintf(text, sizeof text, "%ld-%d-%08x%08x", static_cast<long>(time(nullptr)), static_cast<int>(getpid()),
                  rd(), rd());
    return text;
}
}

CResultsRecorder::CResultsRecorder(StoreLocation store, std::string spoolPath)
    : m_location(std::move(store)), m_spoolPath(std::move(spoolPath))
{
}

CResultsRecorder::~CResultsRecorder() = default;

void CResultsRecorder::Note(const std::string& message)
{
    if (message != m_message)
        m_messageTaken = false;
    m_message = message;
}

std::string CResultsRecorder::TakeNewMessage()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_messageTaken)
        return "";
    m_messageTaken = true;
    return m_message;
}

bool CResultsRecorder::Connect()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_store) {
        try {
            m_store = std::make_unique<CResultStore>(m_location);
        } catch (const EStoreError& e) {
            Note(e.what());
            return false;
        }
    }
    try {
        Drain();
    } catch (const EStoreError& e) {
        Note(e.what());
        m_store.reset();
        return false;
    }
    Note("");
    return true;
}

CResultStore* CResultsRecorder::Spool()
{
    if (!m_spool) {
        StoreLocation loc;
        loc.path = m_spoolPath;
        loc.shown = m_spoolPath;
        m_spool = std::make_unique<CResultStore>(loc);
    }
    return m_spool.get();
}

// Everything the spool holds, series by series in the order they came; each
// series leaves the spool only after the store has committed it.
void CResultsRecorder::Drain()
{
    struct stat st {};
    if (!m_spool && stat(m_spoolPath.c_str(), &st) != 0)
        return;
    CResultStore* spool = Spool();
    for (long long id : spool->SeriesIds()) {
        const auto stored = spool->LoadSeries(id);
        if (!stored)
            continue;
        m_store->PutStoredSeries(*stored);
        spool->DeleteSeries(id);
    }
    for (const WriteRecord& w : spool->LooseWrites()) {
        m_store->PutWrite(w);
        spool->DeleteLooseWrite(w.station, w.uid);
    }
}

bool CResultsRecorder::Deliver(const std::function<void(CResultStore&)>& op)
{
    if (m_store || Connect()) {
        try {
            Drain();
            op(*m_store);
            Note("");
            return true;
        } catch (const EStoreError& e) {
            Note(e.what());
            m_store.reset();
        }
    }
    try {
        op(*Spool());
        return true;
    } catch (const EStoreError& e) {
        Note(m_message + "; " + e.what());
        m_spool.reset();
        return false;
    }
}

long long CResultsRecorder::Pending()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    struct stat st {};
    if (!m_spool && stat(m_spoolPath.c_str(), &st) != 0)
        return 0;
    try {
        CResultStore* spool = Spool();
        long long n = spool->LooseWrites().size();
        for (long long id : spool->SeriesIds()) {
            const auto s = spool->LoadSeries(id);
            n += 1 + (s ? static_cast<long long>(s->points.size() + s->writes.size()) : 0);
        }
        return n;
    } catch (const EStoreError& e) {
        Note(e.what());
        return 0;
    }
}

std::string CResultsRecorder::StatusText()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const long long n = Pending();
    if (n == 0)
        return "";
    return "база результатов: нет связи, ждут " + std::to_string(n) + " записей";
}

bool CResultsRecorder::BeginSeries(const std::string& kind)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_series = SeriesRecord{};
    m_series.station = station;
    m_series.uid = NewUid();
    m_series.kind = kind;
    m_series.started = RecordTimeNow();
    m_series.operatorName = operatorName;
    m_series.reference = reference;
    m_series.pid = getpid();
    m_inSeries = true;
    m_haveSeries = true;
    m_points = 0;
    return Deliver([this](CResultStore& s) { s.PutSeries(m_series); });
}

bool CResultsRecorder::SetMeters(const std::vector<MeterRecord>& meters)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_inSeries)
        return false;
    return Deliver([&](CResultStore& s) { s.PutMeters(m_series, meters); });
}

bool CResultsRecorder::AddPoint(PointRecord point)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_inSeries)
        return false;
    if (point.pointNo == 0)
        point.pointNo = m_points + 1;
    if (point.time.empty())
        point.time = RecordTimeNow();
    m_points = std::max(m_points, point.pointNo);
    return Deliver([&](CResultStore& s) { s.PutPoint(m_series, point); });
}

bool CResultsRecorder::SetPairs(const std::vector<PairRecord>& pairs)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_inSeries)
        return false;
    return Deliver([&](CResultStore& s) { s.PutPairs(m_series, pairs); });
}

bool CResultsRecorder::SetVerdicts(const std::vector<VerdictRecord>& verdicts)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_inSeries)
        return false;
    return Deliver([&](CResultStore& s) { s.PutVerdicts(m_series, verdicts); });
}

bool CResultsRecorder::AddWrite(WriteRecord write)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    write.station = station;
    write.uid = NewUid() + "-" + std::to_string(++m_writes);
    if (write.time.empty())
        write.time = RecordTimeNow();
    if (m_inSeries)
        write.seriesUid = m_series.uid;
    return Deliver([&](CResultStore& s) {
        // A spool keeps a write with its series, whose row it needs.
        if (m_inSeries && s.FindSeries(m_series.station, m_series.uid) == 0)
            s.PutSeries(m_series);
        s.PutWrite(write);
    });
}

bool CResultsRecorder::EndSeries(SeriesState state)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_inSeries)
        return false;
    m_series.state = state;
    m_series.ended = RecordTimeNow();
    m_inSeries = false;
    return Deliver([this](CResultStore& s) { s.PutSeries(m_series); });
}

long long CResultsRecorder::StoredSeriesId()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_haveSeries || !m_store)
        return 0;
    try {
        return m_store->FindSeries(m_series.station, m_series.uid);
    } catch (const EStoreError& e) {
        Note(e.what());
        m_store.reset();
        return 0;
    }
}

bool CResultsRecorder::SeriesStored()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (StoredSeriesId() == 0)
        return false;
    struct stat st {};
    if (!m_spool && stat(m_spoolPath.c_str(), &st) != 0)
        return true;
    try {
        return Spool()->FindSeries(m_series.station, m_series.uid) == 0;
    } catch (const EStoreError&) {
        return false;
    }
}
