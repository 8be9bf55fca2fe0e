#pragma once
// A toolkit-free string grid: cells of text addressed (column, row) like a
// toolkit string grid, fixed rows and columns, column widths, the current cell.
// The Qt view shows it through a table model and refreshes on Revision().
#include <cstdint>
#include <string>
#include <vector>

class CTextGrid {
public:
    CTextGrid(int colCount, int rowCount, int fixedCols, int fixedRows);

    int ColCount() const { return m_nCols; }
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // At least one row; new rows are empty, removed rows are gone.
    void SetRowCount(int rows);

    int FixedCols() const { return m_nFixedCols; }
    int FixedRows() const { return m_nFixedRows; }
    void SetFixed(int fixedCols, int fixedRows);

    // Out-of-range reads give an empty text; out-of-range writes throw std::out_of_range.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);
    bool CellEmpty(int col, int row) const { return Cell(col, row).empty(); }

    const std::vector<std::string>& RowCells(int row) const;
    void SetRowCells(int row, const std::vector<std::string>& cells);
    void SwapRows(int a, int b);
    // Empties the cells fromCol..toCol (inclusive) of a row.
    void ClearRow(int row, int fromCol = 0, int toCol = -1);
    // The texts of one column, row 0 first.
    std::vector<std::string> ColumnTexts(int col) const;

    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int DefaultRowHeight() const { return m_nDefaultRowHeight; }
    void SetDefaultRowHeight(int height) { m_nDefaultRowHeight = height; }

    // The current cell (toolkit's Col/Row).
    int Col() const { return m_nCol; }
    int Row() const { return m_nRow; }
    void SetCurrent(int col, int row);

    // Changes with every change of the cells or the shape.
    uint64_t Revision() const { return m_nRevision; }

private:
    void CheckCell(int col, int row) const;
    void CheckRow(int row) const;

    int m_nCols;
    int m_nFixedCols;
    int m_nFixedRows;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<int> m_widths;
    int m_nDefaultRowHeight = 18;
    int m_nCol = 0;
    int m_nRow = 0;
    uint64_t m_nRevision = 0;
};
