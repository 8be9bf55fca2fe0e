#include "GiGeScaling.h"

#include "CellNumbers.h"
#include "GiGeScaleGrid.h"
#include "TextGrid.h"
#include "calibration/CGiGeArray.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <cmath>
#include <vector>

std::string ShortestNumberText(double value)
{
    for (int digits = 1; digits <= 17; ++digits) {
        const std::string text = FormatC("%.*g", digits, value);
        double back = 0;
        if (ParseFloatPoint(text, back) && back == value)
            return FixDecimalSeparator(text);
    }
    return FixDecimalSeparator(FormatC("%.17g", value));
}

namespace {
bool ParseEditNumber(const std::string& text, double& value)
{
    try {
        value = StrToFloat(FixDecimalSeparator(text));
    } catch (const EConvertError&) {
        return false;
    }
    return std::isfinite(value);
}
}

std::optional<std::string> KuReplacement(const std::string& text)
{
    double ku = 0;
    if (!ParseEditNumber(text, ku))
        return std::string("1");
    if (std::fabs(ku) > 2)
        return std::string("2");
    if (std::fabs(ku) < 0.01)
        return ShortestNumberText(0.01);
    return std::nullopt;
}

std::optional<std::string> ZeroReplacement(const std::string& text)
{
    if (text == "-" || text == "+" || text.empty())
        return std::nullopt;
    double z = 0;
    if (!ParseEditNumber(text, z))
        return std::string("0");
    if (std::fabs(z) > 0.001)
        return ShortestNumberText(z >= 0 ? 0.001 : -0.001);
    return std::nullopt;
}

double ZeroPointGi(const CGiGeArray& table)
{
    for (int i = 0; i < table.GetCount(); ++i) {
        float gi, ge;
        table.GetPair(i, gi, ge);
        if (ge == 0)
            return gi;
    }
    return 0;
}

bool ReadScaling(const std::string& kuText, const std::string& zeroText, double& ku, double& zero)
{
    return ParseEditNumber(kuText.empty() ? "1" : kuText, ku) && ParseEditNumber(zeroText.empty() ? "0" : zeroText, zero);
}

void ScaleGi(CGiGeArray& table, double ku, double zero)
{
    std::lock_guard<std::recursive_mutex> lock(table.Lock());
    const double gi0 = ZeroPointGi(table);
    for (int i = 0; i < table.GetCount(); ++i) {
        GiGePair& pair = table.PairAt(i);
        pair.Gi = static_cast<float>((pair.Gi - gi0) * ku + gi0 + zero);
    }
}

ReverseOutcome AppendReverseBranch(CTextGrid& grid, GridCellFault& fault)
{
    const int rows = grid.RowCount() - 1;
    if (rows < 2)
        return ReverseOutcome::TooFewRows;
    std::vector<GridPair> pairs;
    if (!ReadGridPairs(grid, pairs, fault) || !SortScaleGrid(grid, fault))
        return ReverseOutcome::NotANumber;
    ReadGridPairs(grid, pairs, fault);   // in sorted order now
    if (pairs.front().Ge < 0 && pairs.back().Ge > 0)
        return ReverseOutcome::AlreadyDefined;
    double gi0 = 0;
    for (const GridPair& p : pairs)
        if (p.Ge == 0) {
            gi0 = p.Gi;
            break;
        }
    for (int i = rows - 1; i >= 0; --i) {
        const GridPair& p = pairs[static_cast<size_t>(i)];
        if (p.Ge == 0)
            continue;
        if (grid.RowCount() - 1 >= kMaxReverseRows)
            return ReverseOutcome::LimitReached;
        const int row = grid.RowCount();
        grid.SetRowCount(row + 1);
        grid.SetCell(SG_GE, row, CellText("%.7g", -p.Ge));
        grid.SetCell(SG_GI, row, CellText("%.7g", gi0 - p.Gi));
        grid.SetCell(SG_NUMBER, row, std::to_string(row - 1));
    }
    return ReverseOutcome::Appended;
}
