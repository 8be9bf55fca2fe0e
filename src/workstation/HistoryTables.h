#pragma once
// The history window's tables as text grids: the series of a meter (or of
// every meter), and the points of one series with an as-found verification
// beside its as-left one when the two are linked.
#include "TextGrid.h"

#include "results/ResultRecords.h"

#include <cstdint>
#include <string>
#include <vector>

// "поверка", "градуировка", "измерение".
const char* SeriesKindText(const std::string& kind);
// "завершена", "отменена", "ошибка", "идёт"; a running series of this station
// whose recording program is gone: "прервана".
std::string SeriesStateText(const SeriesRecord& series, const std::string& station);

enum HistoryListColumn {
    HL_DATE, HL_KIND, HL_STATION, HL_OPERATOR, HL_REFERENCE, HL_POINTS, HL_VERDICT, HL_COLUMNS
};

// One header row, then a row per series in the list's order.
CTextGrid HistoryListGrid(const std::vector<SeriesSummary>& list);

// The as-found (before the calibration) and the as-left (after it) of a pair of
// linked verifications; either may be missing.
struct LinkedSeries {
    const StoredSeries* asFound = nullptr;
    const StoredSeries* asLeft = nullptr;
};
// chosen goes left or right by its link; other is the series it links to (or null).
LinkedSeries LinkSeries(const StoredSeries& chosen, const StoredSeries* other);
// The store's id of the series linked to this one, 0 when none.
long long LinkedSeriesId(const SeriesRecord& series);

// Two header rows (the block's title, the column's), then a row per point:
// column 0 the point's number, then per series the set flow, the reference
// flow and each meter's error (verification) or Gi. number 0: every meter of
// the series, else only that meter. The as-found block comes first.
CTextGrid SeriesPointsGrid(const StoredSeries& chosen, const StoredSeries* linked, uint32_t number);
