#include "PointVerdicts.h"

#include "CellNumbers.h"
#include "MeasurementRows.h"
#include "TextGrid.h"
#include "VerificationVerdict.h"
#include "common/NumberText.h"

#include <algorithm>
#include <cmath>

namespace {
bool CellValue(const CTextGrid& grid, int col, int row, double& value)
{
    if (grid.Cell(col, row).empty())
        return false;
    try {
        value = CellNumber(grid, col, row);
    } catch (const EConvertError&) {
        return false;
    }
    return true;
}

// Data rows grouped by reference flow, in ascending flow.
std::vector<std::vector<int>> PointRows(const CTextGrid& grid)
{
    std::vector<std::pair<double, int>> rows;
    for (int r = kFirstDataRow; r < grid.RowCount() - 1; ++r) {
        double ge = 0;
        if (CellValue(grid, 0, r, ge) && std::isfinite(ge))
            rows.push_back({ge, r});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::vector<int>> points;
    double first = 0;
    for (const auto& [ge, r] : rows) {
        if (points.empty() || std::fabs(ge - first) > kPointFlowShare * std::fabs(first)) {
            points.emplace_back();
            first = ge;
        }
        points.back().push_back(r);
    }
    return points;
}

double Mean(const CTextGrid& grid, int col, const std::vector<int>& rows)
{
    double sum = 0;
    for (int r : rows)
        sum += CellNumber(grid, col, r);
    return rows.empty() ? 0 : sum / static_cast<double>(rows.size());
}

void JudgePoints(const CTextGrid& grid, MeterJudgement& m, const ReferenceInstrument& ref)
{
    const int col = m.slot + 1;
    std::vector<EPointVerdict> verdicts;
    std::vector<double> flows;
    for (const std::vector<int>& rows : PointRows(grid)) {
        PointJudgement p;
        std::vector<double> errors;
        for (int r : rows) {
            double e = 0;
            if (CellValue(grid, col, r, e) && std::isfinite(e)) {
                p.rows.push_back(r);
                errors.push_back(e);
            }
        }
        if (p.rows.empty())
            continue;
        p.flow = Mean(grid, 0, p.rows);
        flows.push_back(p.flow);
        UncertaintyInputs in;
        in.referenceU = ref.u;
        in.errors = errors;
        in.pooledS = m.profile.pooledS;
        in.resolution = m.profile.resolution;
        in.volume = std::fabs(p.flow) * m.profile.cycleSeconds / 3600.0;
        in.timing = m.profile.timing;
        in.duration = m.profile.cycleSeconds;
        p.u = PointUncertainty(in);
        p.error = p.u.meanError;
        p.decision = JudgePoint(m.profile, p.flow, p.error, p.u, ref.u);
        if (m.profile.standard == EStandard::Tolerance) {
            // Every cell within ±δ as the operator reads it, as before profiles.
            bool fail = false;
            for (int r : p.rows) {
                const bool cellFails = ErrorCellVerdict(grid.Cell(col, r), m.profile.tolerance) == Verdict::Fail;
                p.rowVerdicts.push_back(cellFails ? EPointVerdict::Fail : EPointVerdict::Pass);
                fail = fail || cellFails;
            }
            p.decision.verdict = fail ? EPointVerdict::Fail : EPointVerdict::Pass;
        }
        verdicts.push_back(p.decision.verdict);
        m.points.push_back(std::move(p));
    }
    m.verdict = MeterVerdict(verdicts);
    m.missingFlows = MissingFlows(m.profile, flows);
}
}

std::string MeterJudgement::VerdictText() const
{
    if (!profileError.empty())
        return points.empty() ? "" : "профиль отклонен";
    if (profile.standard == EStandard::Tolerance)
        return verdict == EPointVerdict::Pass ? ::VerdictText(Verdict::Pass)
               : verdict == EPointVerdict::Fail ? ::VerdictText(Verdict::Fail)
                                                : "";
    return verdict == EPointVerdict::NotJudged && points.empty() ? "" : PointVerdictText(verdict);
}

EPointVerdict MeterJudgement::CellVerdict(int row) const
{
    for (const PointJudgement& p : points) {
        const auto it = std::find(p.rows.begin(), p.rows.end(), row);
        if (it == p.rows.end())
            continue;
        const size_t i = static_cast<size_t>(it - p.rows.begin());
        return i < p.rowVerdicts.size() ? p.rowVerdicts[i] : p.decision.verdict;
    }
    return EPointVerdict::NotJudged;
}

std::vector<MeterJudgement> JudgeVerification(const CTextGrid& grid, const CProfileSet& profiles,
                                              const ReferenceInstrument& reference)
{
    std::vector<MeterJudgement> meters;
    for (int slot = 0; slot < 10 && slot + 1 < grid.ColCount(); ++slot) {
        MeterJudgement m;
        m.slot = slot;
        m.number = static_cast<uint32_t>(LeadingDigits(grid.Cell(slot + 1, 1)));
        bool any = false;
        for (int r = kFirstDataRow; r < grid.RowCount() - 1; ++r)
            any = any || !grid.Cell(slot + 1, r).empty();
        if (!any)
            continue;
        m.section = profiles.SectionFor(m.number);
        if (profiles.ProfileFor(m.number, m.profile, m.profileError))
            m.profileError.clear();
        JudgePoints(grid, m, reference);
        if (!m.profileError.empty()) {
            // Never judged against a refused profile.
            for (PointJudgement& p : m.points) {
                p.decision = PointDecision{};
                p.rowVerdicts.clear();
            }
            m.verdict = EPointVerdict::NotJudged;
            m.missingFlows.clear();
        }
        meters.push_back(std::move(m));
    }
    return meters;
}

void FillJudgedVerdictRow(CTextGrid& row, const std::vector<MeterJudgement>& meters)
{
    row.SetCell(0, 0, "Вывод");
    for (int c = 1; c < row.ColCount(); ++c)
        row.SetCell(c, 0, "");
    for (const MeterJudgement& m : meters)
        if (m.slot + 1 < row.ColCount())
            row.SetCell(m.slot + 1, 0, m.VerdictText());
}

std::string PointNumberText(double value) { return CellText("%.3f", value); }

std::string PointUText(const UncertaintyBudget& u)
{
    return (u.complete ? "±" : "±≥") + CellText("%.3f", u.expanded);
}

void FillPointsGrid(CTextGrid& grid, const std::vector<MeterJudgement>& meters)
{
    std::vector<double> flows;
    for (const MeterJudgement& m : meters)
        for (const PointJudgement& p : m.points)
            if (std::none_of(flows.begin(), flows.end(),
                             [&](double f) { return std::fabs(f - p.flow) <= kPointFlowShare * std::fabs(f); }))
                flows.push_back(p.flow);
    std::sort(flows.begin(), flows.end());
    grid.SetRowCount(static_cast<int>(flows.size()) + 1);
    for (int r = 0; r < grid.RowCount(); ++r)
        grid.ClearRow(r);
    grid.SetCell(0, 0, "U, предел");
    for (size_t i = 0; i < flows.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        grid.SetCell(0, row, CellText("%.4g", flows[i]));
        for (const MeterJudgement& m : meters) {
            if (m.slot + 1 >= grid.ColCount())
                continue;
            for (const PointJudgement& p : m.points) {
                if (std::fabs(p.flow - flows[i]) > kPointFlowShare * std::fabs(flows[i]))
                    continue;
                std::string text = PointNumberText(p.error) + " " + PointUText(p.u);
                if (p.decision.limit.judged)
                    text += " ≤" + CellText("%.3f", p.decision.acceptanceLimit);
                else if (m.profileError.empty())
                    text += " вне диапазона";
                grid.SetCell(m.slot + 1, row, text);
            }
        }
    }
}
