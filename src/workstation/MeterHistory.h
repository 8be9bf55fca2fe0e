#pragma once
// A meter's history out of the results store: its error at each flow over
// its series (the drift), and its card: what it is, the pairs it holds, its
// last calibration and its last verification.
#include "ChartPoints.h"

#include "results/ResultRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CResultStore;
struct HistoryFilter;

struct DriftLine {
    double flow = 0;                  // m3/h: the set flow, else the reference flow, of its first point
    std::string name;                 // "Q = 10 м3/ч"
    std::vector<ChartPoint> points;   // x: index into MeterDrift::dates, y: error, %
};

struct MeterDrift {
    std::vector<std::string> dates;       // each series with an error of the meter, oldest first
    std::vector<long long> seriesIds;
    std::vector<DriftLine> lines;         // ascending flow
};

// Points within 5 % of a line's flow join it; a series' last point at a flow
// wins. Series without an error of the meter are left out.
MeterDrift BuildMeterDrift(const std::vector<StoredSeries>& oldestFirst, uint32_t number);

// Every series of the filter, whole, oldest first. Throws EStoreError.
std::vector<StoredSeries> LoadSeriesOf(CResultStore& store, const HistoryFilter& filter);

struct CardSeries {
    SeriesRecord series;
    std::string verdict;   // the meter's own
};

struct MeterCard {
    uint32_t number = 0;
    bool found = false;             // some series holds the meter
    std::string model, version, dn; // as its latest series has them
    int pairs = -1;                 // formed for it by its last calibration (-1: none)
    std::string pairsWritten;       // time of that calibration's good write of pairs ("" none)
    std::optional<CardSeries> lastCalibration;
    std::optional<CardSeries> lastVerification;
};

// From the meter's series, oldest first.
MeterCard BuildMeterCard(const std::vector<StoredSeries>& oldestFirst, uint32_t number);
// Reads only the series the card needs. Throws EStoreError.
MeterCard LoadMeterCard(CResultStore& store, uint32_t number);
// The card's lines; "" for number 0.
std::string MeterCardText(const MeterCard& card);
