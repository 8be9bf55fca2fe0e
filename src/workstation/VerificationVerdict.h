#pragma once
// The verdict on each meter of the verification table: every error within the
// tolerance the operator set, or not. The table's texts are not changed.
#include <array>
#include <string>

class CTextGrid;

enum class Verdict { None, Pass, Fail };

// Tolerance when config.ini has none, ± per cent.
constexpr double kDefaultTolerance = 2.0;

// One error cell: None when empty or not a number, else |error| <= tolerance.
Verdict ErrorCellVerdict(const std::string& text, double tolerance);
// Per slot over the data rows: Fail if any cell fails, Pass if at least one
// cell and all pass, None for a column without errors.
std::array<Verdict, 10> MeterVerdicts(const CTextGrid& verification, double tolerance);
// "годен", "не годен" or "".
const char* VerdictText(Verdict verdict);
// The row under the table: column 0 "Вывод", columns 1..10 the verdict texts.
void FillVerdictRow(CTextGrid& row, const std::array<Verdict, 10>& verdicts);

// Section VERIFICATION, key tolerance; the default when missing or not a
// positive number. Saving keeps every other section of the file.
double LoadTolerance(const std::string& configPath);
bool SaveTolerance(const std::string& configPath, double tolerance);
