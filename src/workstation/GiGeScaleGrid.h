#pragma once
// The editor's grid of three columns ("№", "Ge", "Gi") and its exchanges with
// the pair table: filling from the table, reading back, sorting, renumbering,
// and the grid's file text.
#include <string>
#include <vector>

class CGiGeArray;
class CTextGrid;

enum ScaleGridColumn { SG_NUMBER = 0, SG_GE = 1, SG_GI = 2 };
constexpr int kScaleGridCols = 3;

struct GridPair {
    double Gi;
    double Ge;
};

// A grid cell that holds no number: which cell, and the text found there.
struct GridCellFault {
    int Row = 0;
    int Col = 0;
    std::string Text;
    // "Ge" in строке 3: "abc" не является числом. <operation> отменено.
    std::string Message(const std::string& operation) const;
};

// One row, no fixed rows or columns, the header texts.
void ResetScaleGrid(CTextGrid& grid);
// Fills the grid from the table (ascending order of the table), numbers the
// rows, widens the columns to their texts and fixes the header row and the
// columns "№" and "Ge". An empty table leaves the header row only.
void ShowTableInGrid(CGiGeArray& table, CTextGrid& grid);
// Rewrites columns "Ge" and "Gi" from row 1 with the table's texts.
void WriteTableTexts(CGiGeArray& table, CTextGrid& grid);
// Column 0 of every data row r becomes r - 1.
void RenumberScaleGrid(CTextGrid& grid);

// The number of a cell in the operator's decimal separator (either separator is
// taken); false for an empty cell, a text that is no number, or an infinity.
bool ScaleCellNumber(const CTextGrid& grid, int col, int row, double& value);
// Every data row as a pair; on the first cell that is no number returns false
// with that cell in fault and leaves pairs empty.
bool ReadGridPairs(const CTextGrid& grid, std::vector<GridPair>& pairs, GridCellFault& fault);
// Bubble sort of the data rows by Gi, ascending; column 0 stays. Checks every
// Gi first: nothing moves when one is no number.
bool SortScaleGrid(CTextGrid& grid, GridCellFault& fault);

// The grid in the editor's file layout (UTF-8, "\n" line ends, no final one):
// header of columns 0, 2, 1, then per data row its number text, Gi and Ge.
bool ScaleGridFileText(const CTextGrid& grid, std::string& text, GridCellFault& fault);

// Width the editor gives a text, px.
int ScaleGridTextWidth(const std::string& text);
