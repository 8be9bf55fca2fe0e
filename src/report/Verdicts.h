#pragma once
// Verdicts of a verification: a meter passes when every error of its column
// lies within ±tolerance per cent.
#include <string>
#include <vector>

class CTextGrid;

constexpr double kDefaultTolerancePercent = 2.0;

enum class EVerdict { None, Pass, Fail };

// One verdict per column of the verification grid (column 0, Ge, gets None);
// None where the column holds no error. A text that is not a number fails.
std::vector<EVerdict> VerificationVerdicts(const CTextGrid& grid, double tolerancePercent);
// "годен", "не годен", "".
const char* VerdictText(EVerdict verdict);
