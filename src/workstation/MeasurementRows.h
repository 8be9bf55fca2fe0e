#pragma once
// Operations on a measurement table (calibration or verification): two fixed
// rows, data rows 2 .. RowCount-2, and a blank last row for the next results.
#include "CellNumbers.h"

class CTextGrid;

constexpr int kFirstDataRow = 2;

// Number of recorded rows.
int DataRowCount(const CTextGrid& grid);
// Adds the new blank last row.
void AppendBlankRow(CTextGrid& grid);

// Stable sort of the data rows by Ge (column 0), largest first. A Ge that is
// not a number throws EConvertError before any row moves.
void SortMeasurementRows(CTextGrid& grid);

enum class MirrorOutcome { NoData, BothDirections, Mirrored };
// Adds the mirror point (Ge0 - Ge, Gi0 - Gi) of every row with Ge != 0, about
// the first row with Ge exactly 0 (about 0 without one), then sorts. Refuses
// when the table already holds both flow directions. A cell that is not a
// number throws EConvertError; the rows are then only sorted.
MirrorOutcome MirrorReverseBranch(CTextGrid& grid, const OccupiedSlots& occupied);

// Deletes a data row; any other row changes nothing (false).
bool DeleteMeasurementRow(CTextGrid& grid, int row);

// Restores the empty table of a new series: fixed rows and one blank row.
void ResetMeasurementTable(CTextGrid& grid);
