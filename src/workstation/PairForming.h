#pragma once
// Forming the calibration pairs from the measurement table: rows whose Ge lie
// within 5 % of the running mean Ge of their group are averaged into one pair.
#include "CellNumbers.h"

#include <string>
#include <vector>

class CTextGrid;

// Sorts the measurement table (largest Ge first) and rewrites the pairs table:
// one row per group, Ge in column 0, each occupied slot's mean Gi over its
// non-empty cells in its column (empty when the group has none), and the
// blank last row. A row whose Ge can be no pair's (0, ...), and a meter's Gi
// that can make no pair with it (0, of the other sign, ...), are left out;
// skipped gets one line for each, naming the row (from 1 after the sort) and
// the meter. False (nothing changes) with fewer than two measurements or
// none left. A cell that is not a number throws EConvertError before the
// pairs table is touched.
bool FormPairs(CTextGrid& measurements, CTextGrid& pairs, const OccupiedSlots& occupied,
               std::vector<std::string>* skipped = nullptr);

// Number of pairs per meter in the pairs table.
int PairRowCount(const CTextGrid& pairs);
// Back to the header and one blank row.
void ResetPairsTable(CTextGrid& pairs);
