#include "Certificate.h"

#include "DocxDocument.h"
#include "ProtocolReport.h"
#include "ReportError.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "workstation/PointVerdicts.h"
#include "workstation/WindowState.h"

#include <cmath>
#include <set>

namespace {
std::string Num(const char* format, double v) { return FixDecimalSeparator(FormatC(format, v)); }

std::string ProfileText(const MeterJudgement& m)
{
    if (!m.profileError.empty())
        return "профиль отклонен: " + m.profileError;
    const VerificationProfile& p = m.profile;
    std::string text = StandardTitle(p);
    if (p.standard == EStandard::EN1434)
        text += ", qp " + Num("%g", p.qp) + ", qi " + Num("%g", p.qi) + ", qs " + Num("%g", p.qs) + " м3/ч";
    else if (p.standard == EStandard::R49)
        text += ", Q1 " + Num("%g", p.q1) + ", Q2 " + Num("%g", R49Q2(p)) + ", Q3 " + Num("%g", p.q3) + ", Q4 " +
                Num("%g", R49Q4(p)) + " м3/ч, R " + Num("%g", p.q3 / p.q1);
    else
        text += " ±" + Num("%g", p.tolerance) + " %, погрешность (Gv - Ge) / Gv";
    if (p.standard != EStandard::Tolerance)
        text += ", погрешность (Gv - Ge) / Ge";
    return text;
}

std::string ReferenceText(const ReferenceInstrument& r)
{
    std::string text = r.name.empty() ? std::string("эталон не указан") : r.name;
    if (!r.serial.empty())
        text += ", зав. № " + r.serial;
    if (!r.certificate.empty())
        text += ", свидетельство " + r.certificate;
    text += r.uGiven ? ", U = " + Num("%.3f", r.u) + " % (k = 2)" : ", U не указана (принята 0)";
    if (!r.geSource.empty())
        text += "; Ge: " + r.geSource;
    return text;
}

// One line per meter, joined.
template <typename F>
std::string PerMeter(const std::vector<MeterJudgement>& meters, F text)
{
    std::string out;
    for (const MeterJudgement& m : meters)
        out += (out.empty() ? "" : "; ") + std::to_string(m.number) + ": " + text(m);
    return out;
}

std::string RepeatabilityText(const UncertaintyBudget& u)
{
    if (!u.repeatabilityEvaluated)
        return u.cycles == 1 ? "не оценена (1 цикл)" : "не оценена";
    return Num("%.4f", u.repeatability) + (u.repeatabilityPooled ? " (s из профиля, 1 цикл)" : "");
}

std::string OverallVerdict(const MeterJudgement& m)
{
    if (!m.profileError.empty())
        return "не оценивается (профиль отклонен)";
    if (m.verdict == EPointVerdict::NotJudged)
        return "не оценивается";
    if (m.profile.standard == EStandard::Tolerance)
        return m.VerdictText();
    std::string text = m.verdict == EPointVerdict::Pass ? "соответствует"
                       : m.verdict == EPointVerdict::Fail ? "не соответствует"
                                                           : "условно (решение за поверителем)";
    if (!m.missingFlows.empty()) {
        std::string names;
        for (const std::string& f : m.missingFlows)
            names += (names.empty() ? "" : ", ") + f;
        text += "; не измерены расходы " + names;
    }
    return text;
}

const MeterJudgement* FindMeter(const std::vector<MeterJudgement>* meters, uint32_t number)
{
    if (meters)
        for (const MeterJudgement& m : *meters)
            if (m.number == number)
                return &m;
    return nullptr;
}

std::string SeriesWord(const char* word, long long id)
{
    return id ? std::string(word) + FormatC(" (серия %lld)", id) : std::string(word);
}

// Each meter's verdict; as found beside it when that series is known.
std::string VerdictText(const CertificateContent& c)
{
    std::string out;
    for (const MeterJudgement& m : c.meters) {
        std::string text = OverallVerdict(m);
        if (const MeterJudgement* found = FindMeter(c.asFound, m.number))
            text = SeriesWord("после градуировки", c.asLeftSeries) + ": " + text + "; " +
                   SeriesWord("до градуировки", c.asFoundSeries) + ": " + OverallVerdict(*found);
        out += (out.empty() ? "" : "; ") + std::to_string(m.number) + ": " + text;
    }
    return out;
}

std::string RuleText(const std::vector<MeterJudgement>& meters)
{
    std::set<std::string> rules;
    std::string out;
    for (const MeterJudgement& m : meters) {
        const double ratio = UncertaintyRatio(m.profile);
        std::string rule = RuleTitle(m.profile.rule) + "; допустимая доля неопределенности " + Num("%.3f", ratio) +
                           (m.profile.standard == EStandard::EN1434 ? " предела (эталон; иначе предел уменьшен на U эталона)"
                                                                    : " предела (U точки)");
        std::string points;
        for (const PointJudgement& p : m.points)
            if (p.decision.uncertaintyTooLarge)
                points += (points.empty() ? "" : ", ") + Num("%.4g", p.flow);
        if (!points.empty())
            rule += "; доля превышена при расходах " + points + " м3/ч";
        std::string single;
        for (const PointJudgement& p : m.points)
            if (!p.u.repeatabilityEvaluated)
                single += (single.empty() ? "" : ", ") + Num("%.4g", p.flow);
        if (!single.empty())
            rule += "; повторяемость не оценена (один цикл, U - нижняя граница) при расходах " + single + " м3/ч";
        out += (out.empty() ? "" : "; ") + std::to_string(m.number) + ": " + rule;
    }
    return out;
}

std::string ConditionsText(const std::vector<MeterJudgement>& meters)
{
    return PerMeter(meters, [](const MeterJudgement& m) {
        return std::isfinite(m.profile.temperature) ? "температура воды " + Num("%g", m.profile.temperature) + " °C"
                                                    : std::string("температура воды не указана (не выше 30 °C)");
    });
}

void Bookmark(CDocxDocument& doc, const char* name, const std::string& text, std::vector<std::string>& misses)
{
    try {
        doc.SetBookmarkText(name, text);
    } catch (const EReportError&) {
        misses.push_back(std::string("в шаблоне нет закладки \"") + name + "\": " + text);
    }
}

std::vector<std::string> PointCells(const MeterJudgement& m, const PointJudgement& p)
{
    const bool judged = m.profileError.empty() && p.decision.limit.judged;
    const char* verdict = !m.profileError.empty()                     ? ""
                          : m.profile.standard == EStandard::Tolerance ? (p.decision.verdict == EPointVerdict::Pass
                                                                              ? "годен"
                                                                              : "не годен")
                                                                       : PointVerdictText(p.decision.verdict);
    return {std::to_string(m.number),
            Num("%.6g", p.flow),
            Num("%.3f", p.error),
            std::to_string(p.u.cycles),
            Num("%.4f", p.u.reference),
            RepeatabilityText(p.u),
            Num("%.4f", p.u.resolution),
            Num("%.4f", p.u.timing),
            (p.u.complete ? "" : "≥") + Num("%.3f", p.u.expanded),
            judged ? Num("%.3f", p.decision.acceptanceLimit) : "вне диапазона",
            verdict};
}
}

std::string CertificateNumber(std::time_t when, long process)
{
    std::tm tm{};
    localtime_r(&when, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return std::string("ВЯ7-") + buf + FormatC("-%04ld", process % 10000);
}

std::vector<std::string> FillCertificate(CDocxDocument& doc, const CertificateContent& c)
{
    std::vector<std::string> misses;
    Bookmark(doc, kCertificateNumberBookmark, c.number, misses);
    Bookmark(doc, kReferenceBookmark, ReferenceText(c.reference), misses);
    Bookmark(doc, kProfileBookmark, PerMeter(c.meters, ProfileText), misses);
    Bookmark(doc, kRuleBookmark, RuleText(c.meters), misses);
    Bookmark(doc, kConditionsBookmark, ConditionsText(c.meters), misses);
    Bookmark(doc, kVerdictBookmark, VerdictText(c), misses);

    // Each meter's points, those as found first when known, each row marked.
    struct Rows {
        const MeterJudgement* meter;
        const char* mark;
    };
    std::vector<Rows> blocks;
    for (const MeterJudgement& m : c.meters) {
        const MeterJudgement* found = FindMeter(c.asFound, m.number);
        if (found)
            blocks.push_back({found, " до"});
        blocks.push_back({&m, found ? " после" : ""});
    }
    int points = 0;
    for (const Rows& b : blocks)
        points += static_cast<int>(b.meter->points.size());
    if (doc.TableCount() < kPointsTable || doc.TableRowCount(kPointsTable) < 2) {
        if (points > 0)
            misses.push_back(FormatC("в шаблоне нет таблицы %d точек поверки (заголовок и пустая строка): %d точек "
                                     "не вошли",
                                     kPointsTable, points));
        return misses;
    }
    int row = 2;
    for (const Rows& b : blocks)
        for (const PointJudgement& p : b.meter->points) {
            std::vector<std::string> cells = PointCells(*b.meter, p);
            cells[0] += b.mark;
            for (size_t i = 0; i < cells.size(); ++i)
                doc.SetCellText(kPointsTable, static_cast<int>(i) + 1, row, cells[i]);
            doc.AddTableRow(kPointsTable);
            ++row;
        }
    return misses;
}

std::vector<std::string> WriteVerificationCertificate(const CMainTables& tables, const CertificateContent& content,
                                                      const std::string& templatePath, const std::string& outPath,
                                                      const std::string& dateTime)
{
    CDocxDocument doc(templatePath);
    const std::vector<std::string> certificate = FillCertificate(doc, content);
    std::vector<std::string> misses = FillProtocolDocx(doc, tables, PAGE_VERIFICATION, dateTime);
    misses.insert(misses.end(), certificate.begin(), certificate.end());
    doc.Save(outPath);
    return misses;
}
