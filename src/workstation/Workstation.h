#pragma once
// The main window's logic without widgets: its tables and state, and the
// handlers of its tabs, on one connection and one measurement engine owned by
// the caller.
#include "MainTables.h"
#include "MeterList.h"
#include "PairsTab.h"
#include "Progress.h"
#include "ResultTableActions.h"
#include "SeriesControl.h"
#include "SeriesResults.h"
#include "WindowState.h"
#include "WorkFolders.h"

class connection;
class CSystem;

class CWorkstation {
public:
    CWorkstation(connection& conn, CSystem& system);
    CWorkstation(const CWorkstation&) = delete;
    CWorkstation& operator=(const CWorkstation&) = delete;

    CMainTables Tables;
    CWindowState State;
    CWorkFolders Folders;
    CProgress Progress;
    CMeterList MeterList;
    CSeriesControl Series;
    CSeriesResults Results;   // the series as records for the results store
    CResultTableActions ResultTables;
    CPairsTab Pairs;
};
