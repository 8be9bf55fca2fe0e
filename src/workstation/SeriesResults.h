#pragma once
// The series as records: the series control calls it when a series starts,
// when a cycle has added its row and when the series ends, and it hands the
// records to the results recorder (when there is one). The numbers come from
// the engine, never from the cells' text; only the pairs formed are read from
// the pairs table, where pair forming keeps them.
#include "results/ResultRecords.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class CSystem;
class CMainTables;
class CWindowState;
class CResultsRecorder;
struct WriteJournalEntry;

// [RESULTS] of config.ini.
struct ResultsSettings {
    std::string database;   // "" : results.sqlite in the data folder
    std::string station;    // "" : the host name
    bool askOperator = false;
};
ResultsSettings LoadResultsSettings(const std::string& configPath);

class CSeriesResults {
public:
    CSeriesResults(CSystem& system, CMainTables& tables, CWindowState& state);

    // Not owned; null records nothing.
    void SetRecorder(CResultsRecorder* recorder) { m_recorder = recorder; }
    CResultsRecorder* Recorder() const { return m_recorder; }
    // The flow the rig was set to for the next cycles (unknown by default).
    void SetSetFlow(std::optional<double> flow) { m_setFlow = flow; }
    // Where each cycle's water temperature comes from (°C; the rig's sensor), none: unknown.
    void SetWaterTemperatureSource(std::function<std::optional<double>()> source) { m_water = std::move(source); }
    // How the next end of a series is recorded (complete by default).
    void SetEndState(SeriesState state) { m_endState = state; }
    double tolerance = 2.0;   // verdicts of a verification, ± per cent

    void SeriesStarted(int page);
    void CycleStarted();
    void CycleRecorded(int page, double ge);
    // Before the tables are cleared: pairs formed, verdicts, the end.
    void SeriesEnding();
    // The store holds the series just recorded, with all its records.
    bool SeriesStored() const;

    // The verdicts over recorded readings, as the verification table gives them.
    static std::vector<VerdictRecord> VerdictsOf(const std::vector<PointRecord>& points, double tolerance);

private:
    CSystem& m_system;
    CMainTables& m_tables;
    CWindowState& m_state;
    CResultsRecorder* m_recorder = nullptr;
    std::optional<double> m_setFlow;
    std::function<std::optional<double>()> m_water;
    SeriesState m_endState = SeriesState::Complete;
    int m_page = 0;
    std::vector<PointRecord> m_points;
    std::chrono::steady_clock::time_point m_cycleStart{};
    bool m_cycleTimed = false;
};

// A journal line as the store's record of a write.
WriteRecord WriteRecordOf(const WriteJournalEntry& entry);
