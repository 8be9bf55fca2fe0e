#pragma once
// A stored series shown in the main window's tables, with the texts the
// tables had when it was measured, so that its report and CSV can be made again.
#include "results/ResultRecords.h"

class CMainTables;

// Fills the meter list, the measurement table of the series' kind and the
// pairs formed; returns the tab (MainPage) the report is made for.
int RenderStoredSeries(const StoredSeries& stored, CMainTables& tables);
