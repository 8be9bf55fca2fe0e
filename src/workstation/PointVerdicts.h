#pragma once
// The verification table judged by each meter's profile: rows grouped into
// points by their reference flow, each point's error with its expanded
// uncertainty, limit and verdict by the profile's rule, and each meter's
// verdict. A meter of the station's tolerance keeps today's judgement: every
// error cell within ±δ, "годен" / "не годен".
#include "ProfileFile.h"
#include "metrology/Decision.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CTextGrid;

// Rows whose reference flows lie within this share of the point's first flow are one point.
constexpr double kPointFlowShare = 0.05;

struct PointJudgement {
    double flow = 0;             // mean reference flow, m³/h
    std::vector<int> rows;       // the table rows with an error of this meter
    // By the station's tolerance each cell has its own verdict (the others: the point's).
    std::vector<EPointVerdict> rowVerdicts;
    double error = 0;            // %, the mean of the rows' errors
    UncertaintyBudget u;
    PointDecision decision;
};

struct MeterJudgement {
    int slot = 0;
    uint32_t number = 0;
    std::string section;         // of profiles.ini, "" for the built-in tolerance
    VerificationProfile profile;
    std::string profileError;    // the refused section's message: the meter is not judged
    std::vector<PointJudgement> points;
    EPointVerdict verdict = EPointVerdict::NotJudged;
    std::vector<std::string> missingFlows;   // verification flows of the standard not measured

    bool Standard() const { return profileError.empty() && profile.standard != EStandard::Tolerance; }
    // The verdict row's text: "годен"/"не годен" by the tolerance, the
    // standard's texts otherwise, "профиль отклонен" for a refused profile.
    std::string VerdictText() const;
    // The verdict of one table cell (row of the table), NotJudged outside any
    // point: the point's, or the cell's own by the station's tolerance.
    EPointVerdict CellVerdict(int row) const;
};

// The meters of the table's columns (numbers from its row 1), those with errors.
std::vector<MeterJudgement> JudgeVerification(const CTextGrid& grid, const CProfileSet& profiles,
                                              const ReferenceInstrument& reference);

// The row under the table: "Вывод" and each slot's verdict text.
void FillJudgedVerdictRow(CTextGrid& row, const std::vector<MeterJudgement>& meters);
// One row per point flow: "G этал." then, per meter, "e ±U ≤L" (U "≥" when incomplete).
void FillPointsGrid(CTextGrid& grid, const std::vector<MeterJudgement>& meters);
// "0.512", "±0.298" as the window and the report show them (three decimals).
std::string PointNumberText(double value);
std::string PointUText(const UncertaintyBudget& u);
