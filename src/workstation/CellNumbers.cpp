#include "CellNumbers.h"

#include "TextGrid.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"

std::string CellText(const char* format, double value)
{
    return FixDecimalSeparator(FormatC(format, value));
}

double CellNumber(const CTextGrid& grid, int col, int row)
{
    return StrToFloat(grid.Cell(col, row));
}

double CellNumberOrZero(const CTextGrid& grid, int col, int row)
{
    const std::string& text = grid.Cell(col, row);
    return text.empty() ? 0.0 : StrToFloat(text);
}
