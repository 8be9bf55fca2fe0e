#pragma once
// Row insertion and deletion on a text grid.
class CTextGrid;

// Inserts an empty row after `row`; rows below move down by one.
void GridInsertRow(CTextGrid& grid, int row);
// Deletes `row`; rows below move up and the grid gets one row shorter.
// A row outside the grid, or the grid's only row, changes nothing.
void GridDeleteRow(CTextGrid& grid, int row);
