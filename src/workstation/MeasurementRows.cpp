#include "MeasurementRows.h"

#include "GridRows.h"
#include "TextGrid.h"

#include <vector>

int DataRowCount(const CTextGrid& grid)
{
    const int n = grid.RowCount() - kFirstDataRow - 1;
    return n > 0 ? n : 0;
}

void AppendBlankRow(CTextGrid& grid)
{
    grid.SetRowCount(grid.RowCount() + 1);
    grid.ClearRow(grid.RowCount() - 1);
}

void SortMeasurementRows(CTextGrid& grid)
{
    const int first = kFirstDataRow;
    const int last = grid.RowCount() - 2;
    if (last <= first)
        return;
    std::vector<double> ge;
    for (int r = first; r <= last; ++r)
        ge.push_back(CellNumber(grid, 0, r));
    auto key = [&](int row) -> double& { return ge[static_cast<size_t>(row - first)]; };
    for (int i = first; i <= last; ++i) {
        for (int a = last; a >= i + 1; --a) {
            if (key(a) > key(a - 1)) {
                std::swap(key(a), key(a - 1));
                grid.SwapRows(a, a - 1);
            }
        }
    }
}

MirrorOutcome MirrorReverseBranch(CTextGrid& grid, const OccupiedSlots& occupied)
{
    if (grid.RowCount() < 4)
        return MirrorOutcome::NoData;
    SortMeasurementRows(grid);
    const int last = grid.RowCount() - 2;
    if (CellNumber(grid, 0, kFirstDataRow) > 0 && CellNumber(grid, 0, last) < 0)
        return MirrorOutcome::BothDirections;

    std::vector<int> cols{0};
    for (size_t s = 0; s < occupied.size(); ++s)
        if (occupied[s])
            cols.push_back(static_cast<int>(s) + 1);

    std::vector<double> zero(cols.size(), 0.0);
    for (int r = kFirstDataRow; r <= last; ++r) {
        if (CellNumber(grid, 0, r) == 0) {
            for (size_t i = 0; i < cols.size(); ++i)
                zero[i] = CellNumber(grid, cols[i], r);
            break;
        }
    }

    // Every mirrored row is computed before the first one is added.
    std::vector<std::vector<std::string>> added;
    for (int r = kFirstDataRow; r <= last; ++r) {
        if (CellNumber(grid, 0, r) == 0)
            continue;
        std::vector<std::string> cells(static_cast<size_t>(grid.ColCount()));
        for (size_t i = 0; i < cols.size(); ++i)
            cells[static_cast<size_t>(cols[i])] = CellText("%.7g", zero[i] - CellNumber(grid, cols[i], r));
        added.push_back(std::move(cells));
    }
    for (const auto& cells : added) {
        grid.SetRowCells(grid.RowCount() - 1, cells);
        AppendBlankRow(grid);
    }
    SortMeasurementRows(grid);
    return MirrorOutcome::Mirrored;
}

bool DeleteMeasurementRow(CTextGrid& grid, int row)
{
    if (row < kFirstDataRow || row >= grid.RowCount() - 1)
        return false;
    GridDeleteRow(grid, row);
    return true;
}

void ResetMeasurementTable(CTextGrid& grid)
{
    grid.SetRowCount(kFirstDataRow + 1);
    grid.ClearRow(kFirstDataRow);
}
