#pragma once
// The set points tab: the meter list typed by the operator, its application to
// the engine's slots (identification), and the backups of the meters' pairs.
#include <cstdint>
#include <set>
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
    // under BACKUP/history/. A table an interrupted write left behind goes only
    // under history/, with a warning, so it never replaces a good backup.
    // False when the pairs have no copy (a meter with fewer than two pairs
    // needs none).
    bool BackupPairs(uint32_t number);
    // The meter's pairs were saved by the last backup (or it held fewer than two).
    bool HasPairsCopy(uint32_t number) const { return m_backedUp.count(number) != 0; }

    // Keeps every listed meter's own model (parameter 0) in BACKUP/%08u.model,
    // before a series sets the base model. A kept model is never replaced by 0.
    void KeepOwnModels();
    // The model kept for the meter, or -1.
    int KeptModel(uint32_t number) const;
    // Writes the kept model back into the slot's meter and identifies it again.
    int RestoreKeptModel(int slot);
    // RestoreKeptModel for every meter of ModelsToRestore; 0 when all were restored.
    int RestoreKeptModels();
    // Asks the operator whether to restore them now.
    void OfferKeptModels();
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
    std::set<uint32_t> m_backedUp;
};
