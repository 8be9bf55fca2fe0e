#include "Verdicts.h"

#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "workstation/TextGrid.h"
#include "workstation/VerificationVerdict.h"

#include <cmath>

std::vector<EVerdict> VerificationVerdicts(const CTextGrid& grid, double tolerancePercent)
{
    std::vector<EVerdict> verdicts(static_cast<size_t>(grid.ColCount()), EVerdict::None);
    const char sep = DecimalSeparator();
    for (int c = 1; c < grid.ColCount(); ++c) {
        for (int r = grid.FixedRows(); r < grid.RowCount(); ++r) {
            std::string text = grid.Cell(c, r);
            if (text.empty())
                continue;
            for (char& ch : text)
                if (ch == sep)
                    ch = '.';
            double error = 0;
            const bool within = ParseFloatPoint(text, error) && ErrorWithinTolerance(error, tolerancePercent);
            if (!within)
                verdicts[c] = EVerdict::Fail;
            else if (verdicts[c] == EVerdict::None)
                verdicts[c] = EVerdict::Pass;
        }
    }
    return verdicts;
}

const char* VerdictText(EVerdict verdict)
{
    switch (verdict) {
    case EVerdict::Pass:
        return "годен";
    case EVerdict::Fail:
        return "не годен";
    default:
        return "";
    }
}
