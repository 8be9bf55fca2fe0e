#pragma once
// The typed records of the results store: a series, its meters, its points
// with each meter's reading, the pairs formed, the pairs written and the
// verdict of each meter. Times are local "YYYY-MM-DD HH:MM:SS" texts.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class SeriesState { Running, Complete, Cancelled, Failed };

// "running", "complete", "cancelled", "failed" as stored.
const char* SeriesStateName(SeriesState state);
// Unknown names read as Failed.
SeriesState SeriesStateFromName(const std::string& name);

struct SeriesRecord {
    long long id = 0;          // the store's own row id (0 until stored)
    std::string station;       // with uid, the series' key in every store
    std::string uid;
    std::string kind;          // "verification", "calibration", "measurement"
    std::string started;
    std::string ended;         // empty while running
    std::string operatorName;
    std::string reference;     // the reference used (rig, reference meter)
    SeriesState state = SeriesState::Running;
    long long pid = 0;         // the recording process, for series left running by a kill
    long long asFoundId = 0;   // as left: the verification before the calibration (as found)
    long long asLeftId = 0;    // as found: the verification after the calibration (read, not stored)
};

struct MeterRecord {
    int slot = 0;
    uint32_t number = 0;
    std::string model;
    std::string version;
    std::string dn;            // nominal diameter as typed
};

struct ReadingRecord {
    int slot = 0;
    uint32_t number = 0;
    std::optional<double> gi;
    std::optional<double> gv;
    std::optional<double> error;   // verification error, per cent
    long long result = 0;          // result code of the slot in the cycle
};

struct PointRecord {
    int pointNo = 0;                  // 1, 2, ... within the series
    std::optional<double> setFlow;    // the flow the rig was set to, m3/h
    double ge = 0;                    // reference flow
    std::optional<double> cycleSeconds;
    std::optional<double> waterTemperature;   // °C
    std::optional<double> waterPressure;      // bar
    std::string time;
    std::vector<ReadingRecord> readings;
};

struct PairRecord {
    int slot = 0;
    uint32_t number = 0;
    int pairNo = 0;
    double ge = 0;
    std::optional<double> gi;
};

// A write into a meter, as the journal line has it; series key when in a series.
struct WriteRecord {
    std::string station;
    std::string uid;
    std::string seriesUid;   // empty outside a series
    std::string time;
    uint32_t number = 0;
    std::string model;
    std::string operation;
    std::string before;
    std::string after;
    std::string readback;
    long long result = 0;
};

struct VerdictRecord {
    int slot = 0;
    uint32_t number = 0;
    std::string verdict;   // "годен", "не годен", ""
    std::optional<double> worstError;
};

// One series with everything recorded for it.
struct StoredSeries {
    SeriesRecord series;
    std::vector<MeterRecord> meters;
    std::vector<PointRecord> points;
    std::vector<PairRecord> pairs;
    std::vector<VerdictRecord> verdicts;
    std::vector<WriteRecord> writes;
};

// A line of the history list.
struct SeriesSummary {
    SeriesRecord series;
    int points = 0;
    std::vector<uint32_t> numbers;
    std::string verdict;   // of the meter asked for, or of every meter "годен"/"не годен"
};

// The current local time as records keep it.
std::string RecordTimeNow();
