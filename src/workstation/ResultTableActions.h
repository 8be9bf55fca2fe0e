#pragma once
// Sorting, mirroring and row deletion on the measurement table of the active tab.
class CSystem;
class CMainTables;
class CWindowState;
class CTextGrid;

class CResultTableActions {
public:
    CResultTableActions(CSystem& system, CMainTables& tables, CWindowState& state);

    // The measurement table of the active tab; null on the set points tab.
    CTextGrid* ActiveTable();

    void SortGiGeButtonClick();
    void InvertGiGeButtonClick();
    // Deletes the active table's current row when it is a data row.
    void N4Click();

private:
    CSystem& m_system;
    CMainTables& m_tables;
    CWindowState& m_state;
};
