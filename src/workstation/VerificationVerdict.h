#pragma once
// The verdict on each meter of the verification table: every error within the
// tolerance the operator set, or not. The table's texts are not changed.
#include <array>
#include <string>

class CSettingsFile;
class CTextGrid;

enum class Verdict { None, Pass, Fail };

// Tolerance when config.ini has none, ± per cent.
constexpr double kDefaultTolerance = 2.0;
constexpr double kMinTolerance = 0.001;
constexpr double kMaxTolerance = 1000.0;

// The one rule of the screen and the report: an error passes when |error|, rounded
// to the three decimals its cell shows, is at most the tolerance (on it: passes).
// Not finite: fails.
bool ErrorWithinTolerance(double errorPercent, double tolerancePercent);

// One error cell: None when empty or not a number, else |error| <= tolerance.
Verdict ErrorCellVerdict(const std::string& text, double tolerance);
// Per slot over the data rows: Fail if any cell fails, Pass if at least one
// cell and all pass, None for a column without errors.
std::array<Verdict, 10> MeterVerdicts(const CTextGrid& verification, double tolerance);
// "годен", "не годен" or "".
const char* VerdictText(Verdict verdict);
// The row under the table: column 0 "Вывод", columns 1..10 the verdict texts.
void FillVerdictRow(CTextGrid& row, const std::array<Verdict, 10>& verdicts);

// Section VERIFICATION, key tolerance, kMinTolerance..kMaxTolerance; the default when
// missing, and an error in file when not such a number. Saving keeps every other
// section of the file.
double LoadTolerance(CSettingsFile& file);
double LoadTolerance(const std::string& configPath);
bool SaveTolerance(const std::string& configPath, double tolerance);
