#pragma once
// Records one station's series into the results store as they happen. When
// the store cannot take a record (server unreachable, file locked or damaged)
// the record waits in a local SQLite spool and is sent, in order and once,
// before the next record the store takes again. Nothing here throws; the
// calls may come from several threads.
#include "ResultRecords.h"
#include "StoreLocation.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CResultStore;

// The host name, the login name.
std::string DefaultStationName();
std::string DefaultOperatorName();

class CResultsRecorder {
public:
    CResultsRecorder(StoreLocation store, std::string spoolPath);
    ~CResultsRecorder();
    CResultsRecorder(const CResultsRecorder&) = delete;
    CResultsRecorder& operator=(const CResultsRecorder&) = delete;

    std::string station = DefaultStationName();
    std::string operatorName = DefaultOperatorName();
    std::string reference;

    // Opens the store (and sends what the spool holds); false when it is not usable now.
    bool Connect();
    const StoreLocation& Location() const { return m_location; }
    // What went wrong last with the store or the spool ("" when nothing).
    const std::string& Message() const { return m_message; }
    // A message not handed out before, once ("" when none).
    std::string TakeNewMessage();
    // Records waiting in the spool.
    long long Pending();
    // "база результатов: нет связи, ждут N записей", or "" when nothing waits.
    std::string StatusText();

    // A new series of this kind; false when neither the store nor the spool took it.
    bool BeginSeries(const std::string& kind);
    bool InSeries() const { return m_inSeries; }
    const SeriesRecord& Series() const { return m_series; }
    bool SetMeters(const std::vector<MeterRecord>& meters);
    // Numbers the point when its number is 0.
    bool AddPoint(PointRecord point);
    bool SetPairs(const std::vector<PairRecord>& pairs);
    bool SetVerdicts(const std::vector<VerdictRecord>& verdicts);
    bool AddWrite(WriteRecord write);
    bool EndSeries(SeriesState state);
    int PointsRecorded() const { return m_points; }
    // The store (not the spool) holds the current or last series with all its records.
    bool SeriesStored();
    // The store's id of the current or last series, 0 when it is not there.
    long long StoredSeriesId();

private:
    bool Deliver(const std::function<void(CResultStore&)>& op);
    void Drain();
    CResultStore* Spool();
    void Note(const std::string& message);

    std::recursive_mutex m_lock;   // writes into meters record from the bus thread
    StoreLocation m_location;
    std::string m_spoolPath;
    std::unique_ptr<CResultStore> m_store;
    std::unique_ptr<CResultStore> m_spool;
    std::string m_message;
    bool m_messageTaken = true;
    SeriesRecord m_series;
    bool m_inSeries = false;
    bool m_haveSeries = false;
    int m_points = 0;
    unsigned m_writes = 0;
};
