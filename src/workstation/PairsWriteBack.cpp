#include "PairsWriteBack.h"

#include "GiGeScaleGrid.h"
#include "MainTables.h"
#include "TextGrid.h"
#include "calibration/CGiGeArray.h"
#include "common/CommonUtils.h"

#include <cmath>
#include <vector>

namespace {
// The Ge of a row and of a pair agree when they differ only by the rounding of
// the texts the editor goes through.
bool SameGe(double rowGe, float pairGe)
{
    const double diff = std::fabs(rowGe - static_cast<double>(pairGe));
    return diff <= 1e-6 * std::fmax(std::fabs(rowGe), std::fabs(static_cast<double>(pairGe))) + 1e-12;
}
}

bool WriteEditedPairsBack(CTextGrid& pairsTable, int slot, const CGiGeArray& edited)
{
    const int col = SlotColumn(slot);
    if (slot < 0 || slot >= kMeterSlots || col >= pairsTable.ColCount())
        return false;
    const int rows = pairsTable.RowCount() - 2;   // pair rows 1 .. RowCount - 2
    if (edited.GetCount() != rows) {
        ShowAppMessage("Число градуировочных пар изменилось (было " + std::to_string(rows < 0 ? 0 : rows) +
                       ", стало " + std::to_string(edited.GetCount()) +
                       "): таблица градуировочных пар не изменена.");
        return false;
    }
    std::vector<double> rowGe(static_cast<size_t>(rows) + 1, 0.0);
    for (int r = 1; r <= rows; ++r)
        if (!ScaleCellNumber(pairsTable, 0, r, rowGe[static_cast<size_t>(r)])) {
            ShowAppMessage("Строка " + std::to_string(r) + " таблицы градуировочных пар: \"" + pairsTable.Cell(0, r) +
                           "\" не является числом. Таблица не изменена.");
            return false;
        }
    // Each pair takes the first free row with its Ge, nearest first.
    std::vector<int> target(static_cast<size_t>(rows), -1);
    std::vector<bool> used(static_cast<size_t>(rows) + 1, false);
    for (int i = 0; i < rows; ++i) {
        float gi, ge;
        edited.GetPair(i, gi, ge);
        int best = -1;
        for (int r = 1; r <= rows; ++r) {
            if (used[static_cast<size_t>(r)] || !SameGe(rowGe[static_cast<size_t>(r)], ge))
                continue;
            if (best < 0 || std::fabs(rowGe[static_cast<size_t>(r)] - ge) < std::fabs(rowGe[static_cast<size_t>(best)] - ge))
                best = r;
        }
        if (best < 0) {
            ShowAppMessage("Градуировочная пара с Ge " + CGiGeArray::PairValueText(ge) +
                           " не найдена в таблице градуировочных пар: таблица не изменена.");
            return false;
        }
        used[static_cast<size_t>(best)] = true;
        target[static_cast<size_t>(i)] = best;
    }
    for (int i = 0; i < rows; ++i) {
        float gi, ge;
        edited.GetPair(i, gi, ge);
        pairsTable.SetCell(col, target[static_cast<size_t>(i)], CGiGeArray::PairValueText(gi));
    }
    return true;
}
