#include "TextGrid.h"

#include <stdexcept>
#include <string>

namespace {
const std::string g_empty;
const std::vector<std::string> g_emptyRow;
}

CTextGrid::CTextGrid(int colCount, int rowCount, int fixedCols, int fixedRows)
    : m_nCols(colCount < 1 ? 1 : colCount), m_nFixedCols(fixedCols), m_nFixedRows(fixedRows),
      m_widths(static_cast<size_t>(m_nCols), 64)
{
    SetRowCount(rowCount);
    m_nCol = m_nFixedCols < m_nCols ? m_nFixedCols : 0;
    m_nRow = m_nFixedRows < RowCount() ? m_nFixedRows : 0;
}

void CTextGrid::SetFixed(int fixedCols, int fixedRows)
{
    m_nFixedCols = fixedCols < 0 ? 0 : fixedCols;
    m_nFixedRows = fixedRows < 0 ? 0 : fixedRows;
    ++m_nRevision;
}

void CTextGrid::SetRowCount(int rows)
{
    if (rows < 1)
        rows = 1;
    m_rows.resize(static_cast<size_t>(rows), std::vector<std::string>(static_cast<size_t>(m_nCols)));
    if (m_nRow >= rows)
        m_nRow = rows - 1;
    ++m_nRevision;
}

void CTextGrid::CheckCell(int col, int row) const
{
    if (col < 0 || col >= m_nCols || row < 0 || row >= RowCount())
        throw std::out_of_range("cell " + std::to_string(col) + "," + std::to_string(row) +
                                " outside the grid");
}

void CTextGrid::CheckRow(int row) const
{
    if (row < 0 || row >= RowCount())
        throw std::out_of_range("row " + std::to_string(row) + " outside the grid");
}

const std::string& CTextGrid::Cell(int col, int row) const
{
    if (col < 0 || col >= m_nCols || row < 0 || row >= RowCount())
        return g_empty;
    return m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void CTextGrid::SetCell(int col, int row, const std::string& text)
{
    CheckCell(col, row);
    std::string& cell = m_rows[static_cast<size_t>(row)][static_cast<size_t>(col)];
    if (cell != text) {
        cell = text;
        ++m_nRevision;
    }
}

const std::vector<std::string>& CTextGrid::RowCells(int row) const
{
    if (row < 0 || row >= RowCount())
        return g_emptyRow;
    return m_rows[static_cast<size_t>(row)];
}

void CTextGrid::SetRowCells(int row, const std::vector<std::string>& cells)
{
    CheckRow(row);
    auto& target = m_rows[static_cast<size_t>(row)];
    for (size_t c = 0; c < target.size(); ++c)
        target[c] = c < cells.size() ? cells[c] : std::string();
    ++m_nRevision;
}

void CTextGrid::SwapRows(int a, int b)
{
    CheckRow(a);
    CheckRow(b);
    std::swap(m_rows[static_cast<size_t>(a)], m_rows[static_cast<size_t>(b)]);
    ++m_nRevision;
}

void CTextGrid::ClearRow(int row, int fromCol, int toCol)
{
    CheckRow(row);
    if (toCol < 0 || toCol >= m_nCols)
        toCol = m_nCols - 1;
    if (fromCol < 0)
        fromCol = 0;
    for (int c = fromCol; c <= toCol; ++c)
        m_rows[static_cast<size_t>(row)][static_cast<size_t>(c)].clear();
    ++m_nRevision;
}

std::vector<std::string> CTextGrid::ColumnTexts(int col) const
{
    std::vector<std::string> texts;
    texts.reserve(m_rows.size());
    for (int r = 0; r < RowCount(); ++r)
        texts.push_back(Cell(col, r));
    return texts;
}

int CTextGrid::ColWidth(int col) const
{
    if (col < 0 || col >= m_nCols)
        return 0;
    return m_widths[static_cast<size_t>(col)];
}

void CTextGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= m_nCols)
        throw std::out_of_range("column " + std::to_string(col) + " outside the grid");
    m_widths[static_cast<size_t>(col)] = width;
    ++m_nRevision;
}

void CTextGrid::SetCurrent(int col, int row)
{
    CheckCell(col, row);
    m_nCol = col;
    m_nRow = row;
}
