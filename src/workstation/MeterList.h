#pragma once
// The set points tab: the meter list typed by the operator, its application to
// the engine's slots (identification), and the backups of the meters' pairs.
#include <cstdint>
#include <string>

class connection;
class CSystem;
class CMainTables;
class CWindowState;
class CWorkFolders;
class CProgress;

class CMeterList {
public:
    CMeterList(connection& conn, CSystem& system, CMainTables& tables, CWindowState& state,
               const CWorkFolders& folders, CProgress& progress);

    // Edit tracking of the set points table.
    std::string StringGrid1GetEditText(int col, int row);
    void StringGrid1SetEditText(int col, int row, const std::string& text);
    void StringGrid1Exit();

    // Applies the list and backs up every listed meter's pairs; returns the result.
    int ButtonUpdateInfoClick();
    // Fills the slots row by row; stops at the first meter that does not answer.
    int ApplyMeterList();
    // Saves the pairs the meter holds to BACKUP/%08u.dat and a time-stamped copy
    // under BACKUP/history/. False when nothing was saved.
    bool BackupPairs(uint32_t number);
    // Writes BACKUP/%08u.dat back into the meter.
    int RestoreBackupPairs(uint32_t number);

    // The meter of the set points table's current row (0: none).
    uint32_t PopupMeterNumber() const;
    int PopupMenu3RestoreGiGeClick();

private:
    connection& m_conn;
    CSystem& m_system;
    CMainTables& m_tables;
    CWindowState& m_state;
    const CWorkFolders& m_folders;
    CProgress& m_progress;
};
