#pragma once
// The results store on one engine (SQLite file or PostgreSQL server) through
// SOCI: opened, checked and brought to the current schema; every write is one
// transaction that first puts the series row (keyed by station and uid), so a
// record can be delivered again without being stored twice. Every failure is
// an EStoreError whose text names the store.
#include "ResultRecords.h"
#include "StoreError.h"
#include "StoreLocation.h"

#include <exception>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace soci {
class session;
}

struct HistoryFilter {
    uint32_t number = 0;   // 0: every meter
    std::string from;      // "YYYY-MM-DD" or empty
    std::string to;        // inclusive day, or empty
};

class CResultStore {
public:
    // The schema this program writes.
    static constexpr int kSchemaVersion = 3;

    // Opens the store and upgrades it to schemaVersion (tests make older stores
    // with a smaller one). A newer store, a damaged or locked file, an
    // unreachable server: EStoreError. A damaged file is never written.
    explicit CResultStore(const StoreLocation& location, int schemaVersion = kSchemaVersion);
    ~CResultStore();
    CResultStore(const CResultStore&) = delete;
    CResultStore& operator=(const CResultStore&) = delete;

    const StoreLocation& Location() const { return m_location; }
    int SchemaVersion();

    // Writes, each in one transaction with the series row; returns the store's series id.
    long long PutSeries(const SeriesRecord& series);
    long long PutMeters(const SeriesRecord& series, const std::vector<MeterRecord>& meters);
    long long PutPoint(const SeriesRecord& series, const PointRecord& point);
    // Replace what the series held before.
    long long PutPairs(const SeriesRecord& series, const std::vector<PairRecord>& pairs);
    long long PutVerdicts(const SeriesRecord& series, const std::vector<VerdictRecord>& verdicts);
    void PutWrite(const WriteRecord& write);
    // A whole series (the spool's drain), in one transaction.
    long long PutStoredSeries(const StoredSeries& stored);

    // Reading.
    std::vector<SeriesSummary> ListSeries(const HistoryFilter& filter);
    std::optional<StoredSeries> LoadSeries(long long id);
    // The store's id of a series key, 0 when absent.
    long long FindSeries(const std::string& station, const std::string& uid);
    long long PointCount(long long seriesId);
    // The verification the store links (or, while the series runs, will link)
    // to verification id as its as found; 0 when none.
    long long AsFoundOf(long long id);
    // Writes with no series (outside a series), oldest first.
    std::vector<WriteRecord> LooseWrites();
    // Every series id, oldest first.
    std::vector<long long> SeriesIds();
    void DeleteSeries(long long id);
    void DeleteLooseWrite(const std::string& station, const std::string& uid);

    // SQLite: PRAGMA integrity_check; PostgreSQL: always true. detail says what failed.
    bool IntegrityOk(std::string& detail);

    // Runs fn in one transaction; soci failures become EStoreError.
    void InTransaction(const std::function<void(soci::session&)>& fn);

private:
    void Migrate(int target);
    int ReadVersion();
    long long UpsertSeries(soci::session& sql, const SeriesRecord& series);
    void LinkAsFound(soci::session& sql, long long id, const SeriesRecord& series);
    long long FindAsFound(soci::session& sql, long long id, const SeriesRecord& series);
    void InsertMeters(soci::session& sql, long long id, const std::vector<MeterRecord>& meters);
    void InsertPoint(soci::session& sql, long long id, const PointRecord& point);
    void InsertPairs(soci::session& sql, long long id, const std::vector<PairRecord>& pairs);
    void InsertVerdicts(soci::session& sql, long long id, const std::vector<VerdictRecord>& verdicts);
    void InsertWrite(soci::session& sql, const WriteRecord& write);
    [[noreturn]] void Fail(const std::string& what) const;
    // Runs fn; a failure of the engine becomes an EStoreError naming the store.
    template <class Fn>
    auto Guard(Fn&& fn) -> decltype(fn())
    {
        try {
            return fn();
        } catch (const EStoreError&) {
            throw;
        } catch (const std::exception& e) {
            std::string what = e.what();
            while (!what.empty() && (what.back() == '\n' || what.back() == ' '))
                what.pop_back();
            Fail(what);
        }
    }

    StoreLocation m_location;
    std::unique_ptr<soci::session> m_sql;
};

// The schema's statements for version v (1-based) on an engine.
std::vector<std::string> SchemaMigration(int version, StoreLocation::Engine engine);
