#pragma once
// The protocol of a series kept in the results store, made again from its
// records: the tables it showed, the tab it belongs to and the date it ended.
// vq7ctl history --series --report and the history window both use it.
#include "results/ResultRecords.h"
#include "workstation/MainTables.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

struct StoredSeriesTables {
    CMainTables tables;
    int page = 0;            // MainPage of the series' kind
    std::time_t when = 0;    // end of the series, else its start; 0 when neither reads
};

// A local "YYYY-MM-DD HH:MM:SS" as a time; 0 for any other text.
std::time_t RecordTime(const std::string& text);

// The tables and the date of a stored series' protocol; standardError as for
// RenderStoredSeries (the meters whose error is (Gv - Ge) / Ge).
StoredSeriesTables StoredSeriesReportTables(const StoredSeries& stored,
                                            const std::function<bool(uint32_t number)>& standardError = {});

// "Поверка 2026-12-09 13-34-08 серия 7": the stem of its report file, by the series' own date.
std::string StoredSeriesReportStem(const StoredSeries& stored);

// Writes the DOCX from the template; returns the warnings. Throws EReportError.
std::vector<std::string> WriteStoredSeriesReport(const StoredSeries& stored, const std::string& templatePath,
                                                 const std::string& outPath);
