#include "GiGeScaleGrid.h"

#include "TextGrid.h"
#include "calibration/CGiGeArray.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <cmath>

namespace {
const char* const kHeader[kScaleGridCols] = {"№", "Ge", "Gi"};
constexpr int kPadding = 10;
constexpr int kCharWidth = 7;

void WidenColumn(CTextGrid& grid, int col, const std::string& text)
{
    const int wanted = ScaleGridTextWidth(text) + kPadding;
    if (grid.ColWidth(col) < wanted)
        grid.SetColWidth(col, wanted);
}
}

std::string GridCellFault::Message(const std::string& operation) const
{
    const char* column = Col == SG_GE ? "Ge" : Col == SG_GI ? "Gi" : "№";
    return "Столбец " + std::string(column) + ", строка " + std::to_string(Row) + ": \"" + Text +
           "\" не является числом.\n" + operation + " отменено, градуировочные пары не изменены.";
}

int ScaleGridTextWidth(const std::string& text)
{
    int chars = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++chars;
    return chars * kCharWidth;
}

void ResetScaleGrid(CTextGrid& grid)
{
    grid.SetFixed(0, 0);
    grid.SetRowCount(1);
    for (int c = 0; c < kScaleGridCols; ++c)
        grid.SetCell(c, 0, kHeader[c]);
}

void WriteTableTexts(CGiGeArray& table, CTextGrid& grid)
{
    CTextColumn ge = grid.ColumnTexts(SG_GE);
    CTextColumn gi = grid.ColumnTexts(SG_GI);
    table.FillStrings(1, ge, gi);
    if (grid.RowCount() < static_cast<int>(gi.size()))
        grid.SetRowCount(static_cast<int>(gi.size()));
    for (int r = 1; r < static_cast<int>(gi.size()); ++r) {
        grid.SetCell(SG_GE, r, ge[static_cast<size_t>(r)]);
        grid.SetCell(SG_GI, r, gi[static_cast<size_t>(r)]);
    }
}

void ShowTableInGrid(CGiGeArray& table, CTextGrid& grid)
{
    const int count = table.GetCount();
    if (count == 0)
        return;
    grid.SetRowCount(count + 1);
    WriteTableTexts(table, grid);
    for (int i = 0; i < count; ++i) {
        grid.SetCell(SG_NUMBER, i + 1, std::to_string(i));
        for (int c = 0; c < kScaleGridCols; ++c)
            WidenColumn(grid, c, grid.Cell(c, i + 1));
    }
    grid.SetFixed(2, 1);
    if (grid.Row() < 1)
        grid.SetCurrent(SG_GI, 1);
}

void RenumberScaleGrid(CTextGrid& grid)
{
    for (int r = 1; r < grid.RowCount(); ++r)
        grid.SetCell(SG_NUMBER, r, std::to_string(r - 1));
}

bool ScaleCellNumber(const CTextGrid& grid, int col, int row, double& value)
{
    const std::string& text = grid.Cell(col, row);
    if (text.empty())
        return false;
    try {
        value = StrToFloat(FixDecimalSeparator(text));
    } catch (const EConvertError&) {
        return false;
    }
    // The table holds 32-bit floats.
    return std::isfinite(static_cast<float>(value));
}

namespace {
bool CellOrFault(const CTextGrid& grid, int col, int row, double& value, GridCellFault& fault)
{
    if (ScaleCellNumber(grid, col, row, value))
        return true;
    fault = GridCellFault{row, col, grid.Cell(col, row)};
    return false;
}
}

bool ReadGridPairs(const CTextGrid& grid, std::vector<GridPair>& pairs, GridCellFault& fault)
{
    pairs.clear();
    for (int r = 1; r < grid.RowCount(); ++r) {
        GridPair p{};
        if (!CellOrFault(grid, SG_GI, r, p.Gi, fault) || !CellOrFault(grid, SG_GE, r, p.Ge, fault)) {
            pairs.clear();
            return false;
        }
        pairs.push_back(p);
    }
    return true;
}

bool SortScaleGrid(CTextGrid& grid, GridCellFault& fault)
{
    const int last = grid.RowCount() - 1;
    std::vector<double> gi(static_cast<size_t>(grid.RowCount()), 0.0);
    for (int r = 1; r <= last; ++r)
        if (!CellOrFault(grid, SG_GI, r, gi[static_cast<size_t>(r)], fault))
            return false;
    for (int i = 1; i < last; ++i) {
        for (int r = last; r > i; --r) {
            if (!(gi[static_cast<size_t>(r)] < gi[static_cast<size_t>(r - 1)]))
                continue;
            std::swap(gi[static_cast<size_t>(r)], gi[static_cast<size_t>(r - 1)]);
            for (int c : {SG_GE, SG_GI}) {
                const std::string upper = grid.Cell(c, r - 1);
                grid.SetCell(c, r - 1, grid.Cell(c, r));
                grid.SetCell(c, r, upper);
            }
        }
    }
    return true;
}

bool ScaleGridFileText(const CTextGrid& grid, std::string& text, GridCellFault& fault)
{
    std::vector<GridPair> pairs;
    if (!ReadGridPairs(grid, pairs, fault))
        return false;
    // "%9s" counts bytes of the single-byte file, so pad the UTF-8 header texts by characters.
    auto right9 = [](const std::string& s) {
        const int chars = ScaleGridTextWidth(s) / kCharWidth;
        return chars < 9 ? std::string(static_cast<size_t>(9 - chars), ' ') + s : s;
    };
    text = " " + grid.Cell(SG_NUMBER, 0) + "\t" + right9(grid.Cell(SG_GI, 0)) + "\t" + right9(grid.Cell(SG_GE, 0));
    for (size_t i = 0; i < pairs.size(); ++i)
        text += "\n " + grid.Cell(SG_NUMBER, static_cast<int>(i) + 1) + FormatC("\t% 9E\t% 9E", pairs[i].Gi, pairs[i].Ge);
    return true;
}
