#pragma once
// Changes of the whole characteristic: the range checks of the slope and
// offset edits, scaling of Gi about the zero point, and the reverse branch.
#include <optional>
#include <string>

class CGiGeArray;
class CTextGrid;
struct GridCellFault;

// The shortest decimal text of a value in the operator's decimal separator.
std::string ShortestNumberText(double value);
// The text that replaces a slope text, or none when it is in range.
std::optional<std::string> KuReplacement(const std::string& text);
// The text that replaces an offset text, or none when it is in range.
std::optional<std::string> ZeroReplacement(const std::string& text);

// Gi of the first pair with Ge exactly 0; 0 when there is none.
double ZeroPointGi(const CGiGeArray& table);
// Reads the slope (empty: 1) and offset (empty: 0) texts; false when one is no number.
bool ReadScaling(const std::string& kuText, const std::string& zeroText, double& ku, double& zero);
// Gi := (Gi - Gi0) * Ku + Gi0 + Zero for every pair; Ge stays.
void ScaleGi(CGiGeArray& table, double ku, double zero);

constexpr int kMaxReverseRows = 14;

enum class ReverseOutcome {
    TooFewRows,       // fewer than two data rows: nothing done
    AlreadyDefined,   // first Ge negative and last positive: nothing added
    Appended,         // every mirrored row added
    LimitReached,     // stopped at kMaxReverseRows data rows
    NotANumber,       // a cell is no number: nothing changed
};

// Sorts the grid, then appends the point reflection of every row with Ge != 0
// through (Gi0, 0), last row first. Every cell is checked before anything moves.
ReverseOutcome AppendReverseBranch(CTextGrid& grid, GridCellFault& fault);
