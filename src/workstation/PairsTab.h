#pragma once
// The calibration pairs table: forming the pairs from the measurements, saving
// them as files, writing them with the setting parameters into the meters, and
// each slot's pair table for the popup actions.
#include <memory>
#include <string>

class connection;
class CSystem;
class CGiGeArray;
class CMainTables;
class CWindowState;
class CWorkFolders;
class CProgress;
class CMeterList;

class CPairsTab {
public:
    CPairsTab(connection& conn, CSystem& system, CMainTables& tables, CWindowState& state,
              const CWorkFolders& folders, CProgress& progress, CMeterList& meterList);

    // False when nothing was formed (too few rows or a cell that is no number).
    bool CreateGiGeClick();
    // Log/%08u.dat per occupied slot; returns the number of files written.
    int SaveGiGeToFileClick();
    // Pairs, then parameters 70, 75, 79 by the nominal diameter, then the
    // converters' restart. Every meter is tried; 0 when every meter took
    // everything. A meter whose pairs have no copy is not written; fewer than
    // two pairs write nothing (-1). The window state gets the meters whose
    // parameters were not written and those left with an incomplete table.
    int SaveGiGeToDeviceClick();

    // The pair table of a slot, built from the pairs table (ascending Gi).
    std::unique_ptr<CGiGeArray> SlotPairs(int slot);
    // The slot of the selected column of the pairs table, or -1 when it names
    // no occupied slot.
    int PopupSlot();
    int PopupMenuRestoreGiGeClick();
    // Writes each meter of IncompleteWrites back from its backup; a meter
    // restored leaves the list. 0 when all were restored, else the last failure.
    int RestoreIncompleteWrites();

    // Wait after the restart notices of the converters (here and in the pair write), ms.
    unsigned m_nRebootWaitMs = 5000;

private:
    // Writes the diameter parameters; 0 or the failed write's result (already shown).
    int WriteDiameterParams(uint32_t number, int dn);

    connection& m_conn;
    CSystem& m_system;
    CMainTables& m_tables;
    CWindowState& m_state;
    const CWorkFolders& m_folders;
    CProgress& m_progress;
    CMeterList& m_meterList;
};
