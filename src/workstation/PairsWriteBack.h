#pragma once
// Pairs edited in the calibration editor back into the main window's pairs
// table (descending Ge, one Gi column per slot).
class CGiGeArray;
class CTextGrid;

// Each edited pair goes back to the row whose Ge it carries: the slot's column
// of that row gets the pair's Gi; Ge and the other slots' columns stay. A pair
// count other than the table's, or a pair whose Ge matches no row, is refused
// with a message and the table stays as it was. True when written.
bool WriteEditedPairsBack(CTextGrid& pairsTable, int slot, const CGiGeArray& edited);
