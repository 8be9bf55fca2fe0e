#pragma once
// A stored series shown in the main window's tables, with the texts the
// tables had when it was measured, so that its report and CSV can be made again.
#include "results/ResultRecords.h"

#include <cstdint>
#include <functional>

class CMainTables;

// Fills the meter list, the measurement table of the series' kind and the
// pairs formed; returns the tab (MainPage) the report is made for.
// standardError: true for a meter judged by a standard, whose verification
// error is (Gv - Ge) / Ge as the table showed it; none: (Gv - Ge) / Gv for all.
int RenderStoredSeries(const StoredSeries& stored, CMainTables& tables,
                       const std::function<bool(uint32_t number)>& standardError = {});
