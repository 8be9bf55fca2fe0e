#include "VerificationVerdict.h"

#include "MeasurementRows.h"
#include "TextGrid.h"
#include "ConfigValues.h"
#include "common/NumberText.h"
#include "common/RegularFile.h"
#include "common/SettingsFile.h"

#define SI_NO_CONVERSION   // bytes pass unchanged
#include <SimpleIni.h>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr const char* kSection = "VERIFICATION";
constexpr const char* kKey = "tolerance";
}

Verdict ErrorCellVerdict(const std::string& text, double tolerance)
{
    if (text.empty())
        return Verdict::None;
    double error;
    try {
        error = StrToFloat(text);
    } catch (const EConvertError&) {
        return Verdict::None;
    }
    if (!std::isfinite(error))
        return Verdict::Fail;
    return ErrorWithinTolerance(error, tolerance) ? Verdict::Pass : Verdict::Fail;
}

bool ErrorWithinTolerance(double errorPercent, double tolerancePercent)
{
    if (!std::isfinite(errorPercent))
        return false;
    // The cell shows three decimals: judge what the operator reads.
    const double shown = std::round(std::fabs(errorPercent) * 1000.0) / 1000.0;
    return shown <= tolerancePercent + 1e-9;
}

std::array<Verdict, 10> MeterVerdicts(const CTextGrid& grid, double tolerance)
{
    std::array<Verdict, 10> verdicts;
    verdicts.fill(Verdict::None);
    for (int row = kFirstDataRow; row < grid.RowCount() - 1; ++row) {
        for (int slot = 0; slot < 10 && slot + 1 < grid.ColCount(); ++slot) {
            const Verdict v = ErrorCellVerdict(grid.Cell(slot + 1, row), tolerance);
            Verdict& meter = verdicts[static_cast<size_t>(slot)];
            if (v == Verdict::Fail || (v == Verdict::Pass && meter == Verdict::None))
                meter = v;
        }
    }
    return verdicts;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return "годен";
    case Verdict::Fail:
        return "не годен";
    default:
        return "";
    }
}

void FillVerdictRow(CTextGrid& row, const std::array<Verdict, 10>& verdicts)
{
    row.SetCell(0, 0, "Вывод");
    for (int slot = 0; slot < 10 && slot + 1 < row.ColCount(); ++slot)
        row.SetCell(slot + 1, 0, VerdictText(verdicts[static_cast<size_t>(slot)]));
}

double LoadTolerance(CSettingsFile& file)
{
    return file.Number(kSection, kKey, kDefaultTolerance, kMinTolerance, kMaxTolerance);
}

double LoadTolerance(const std::string& configPath)
{
    CSettingsFile file;
    file.Load(configPath);
    return LoadTolerance(file);
}

bool SaveTolerance(const std::string& configPath, double tolerance)
{
    return SaveConfigValue(configPath, kSection, kKey, FormatC("%g", tolerance));
}
