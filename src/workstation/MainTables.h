#pragma once
// The six tables of the main window, owned as text grids.
#include "TextGrid.h"

#include <cstdint>
#include <string>

constexpr int kMeterSlots = 10;

// Columns of the set points table.
enum SetPointsColumn { SP_NUMBER = 0, SP_MODEL = 1, SP_METER = 2, SP_PPR = 3, SP_DIAMETER = 4, SP_VERSION = 5 };

class CMainTables {
public:
    CMainTables();

    CTextGrid StringGrid1;   // set points: the meter list
    CTextGrid StringGrid2;   // calibration measurements
    CTextGrid StringGrid3;   // verification results
    CTextGrid StringGrid4;   // calibration pairs
    CTextGrid StringGrid5;   // current Gi (calibration tab)
    CTextGrid StringGrid6;   // current Gv (verification tab)

    // Titles, widths and row numbers, done on every activation of the window;
    // also clears both current-values rows and selects the meter column.
    void SetTitles();

    // Numbers typed into the set points table (0 when the cell is not a number).
    uint32_t MeterNumberOfRow(int row) const;
    int DiameterOfRow(int row) const;

    // Selection rules of the tables.
    static bool StringGrid1SelectCell(int col, int row);
    static bool StringGrid3SelectCell(int col, int row);   // verification: Ge column only
    static bool StringGrid4SelectCell(int col, int row);   // pairs: meter columns only
    static bool StringGrid5SelectCell(int col, int row);   // current values: nothing
    // Edit mask of a set points cell ("" for none).
    static std::string StringGrid1GetEditMask(int col, int row);
    // Text as the edit mask stores it: digits only, at most the mask's length.
    static std::string ApplyEditMask(int col, const std::string& text);
};

// Column of a slot in the result tables, and back.
inline int SlotColumn(int slot) { return slot + 1; }
