#pragma once
// Numbers in table cells: written printf-style in the operator's decimal
// separator, read back with it.
#include <array>
#include <string>

class CTextGrid;

// Which of the ten slots hold a meter.
using OccupiedSlots = std::array<bool, 10>;

// printf-style with one number, then FixDecimalSeparator.
std::string CellText(const char* format, double value);
// The number in a cell; throws EConvertError for an empty cell or a non-number.
double CellNumber(const CTextGrid& grid, int col, int row);
// As CellNumber, but an empty cell reads as 0.
double CellNumberOrZero(const CTextGrid& grid, int col, int row);
