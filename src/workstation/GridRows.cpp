#include "GridRows.h"

#include "TextGrid.h"

void GridInsertRow(CTextGrid& grid, int row)
{
    if (row < 0 || row >= grid.RowCount())
        return;
    grid.SetRowCount(grid.RowCount() + 1);
    for (int r = grid.RowCount() - 1; r >= row + 2; --r)
        grid.SwapRows(r, r - 1);
    grid.ClearRow(row + 1);
}

void GridDeleteRow(CTextGrid& grid, int row)
{
    if (row < 0 || row >= grid.RowCount() || grid.RowCount() <= 1)
        return;
    for (int r = row; r < grid.RowCount() - 1; ++r)
        grid.SwapRows(r, r + 1);
    grid.ClearRow(grid.RowCount() - 1);
    grid.SetRowCount(grid.RowCount() - 1);
}
