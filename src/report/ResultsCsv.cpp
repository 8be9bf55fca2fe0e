#include "ResultsCsv.h"

#include "AtomicFile.h"
#include "Verdicts.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "workstation/MainTables.h"
#include "workstation/PointVerdicts.h"

#include <vector>

namespace {
constexpr const char* kEol = "\r\n";

std::string Line(const std::vector<std::string>& cells)
{
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i)
        line += (i ? ";" : "") + CsvField(cells[i]);
    return line + kEol;
}

void Section(std::string& out, const char* title, const CTextGrid& grid)
{
    out += kEol;
    out += Line({title});
    for (int r = 0; r < grid.RowCount(); ++r) {
        const std::vector<std::string>& cells = grid.RowCells(r);
        // A row with nothing beside its first cell (an empty slot, the
        // table's blank last row) is left out.
        bool any = false;
        for (size_t c = 1; c < cells.size(); ++c)
            any = any || !cells[c].empty();
        if (any)
            out += Line(cells);
    }
}
}

std::string CsvField(const std::string& text)
{
    const bool quote = text.find_first_of(";\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string out = "\"";
    for (char ch : text)
        out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return out + "\"";
}

namespace {
std::string Num3(double v) { return FixDecimalSeparator(FormatC("%.3f", v)); }

void PointsSection(std::string& out, const CsvJudgement& judged)
{
    out += kEol;
    out += Line({"Поверка по точкам"});
    out += Line({"Счетчик", "Профиль", "Правило", "Расход, м3/ч", "Погрешность, %", "U, %", "U полная", "Предел, %",
                 "Заключение"});
    for (const MeterJudgement& m : judged.meters) {
        const std::string profile = m.profileError.empty() ? StandardTitle(m.profile) : m.profileError;
        for (const PointJudgement& p : m.points) {
            const bool judgedPoint = p.decision.limit.judged;
            out += Line({std::to_string(m.number), profile, RuleKey(m.profile.rule),
                         FixDecimalSeparator(FormatC("%.6g", p.flow)), Num3(p.error), Num3(p.u.expanded),
                         p.u.complete ? "да" : "нет", judgedPoint ? Num3(p.decision.acceptanceLimit) : "",
                         m.profileError.empty() ? PointVerdictText(p.decision.verdict) : ""});
        }
        if (!m.missingFlows.empty()) {
            std::string names;
            for (const std::string& n : m.missingFlows)
                names += (names.empty() ? "" : ", ") + n;
            out += Line({std::to_string(m.number), "не измерены расходы: " + names});
        }
    }
    const ReferenceInstrument& r = judged.reference;
    out += Line({"Эталон", r.name, r.serial, r.certificate, r.uGiven ? Num3(r.u) : "U не указана"});
}
}

std::string ResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent,
                       const CsvJudgement* judged)
{
    std::string out = "\xEF\xBB\xBF";
    out += Line({"Протокол", dateTime});
    Section(out, "Счетчики", tables.StringGrid1);
    Section(out, "Градуировка: измерения", tables.StringGrid2);
    Section(out, "Градуировочные пары", tables.StringGrid4);
    Section(out, "Поверка: погрешность, %", tables.StringGrid3);
    const std::vector<EVerdict> verdicts = VerificationVerdicts(tables.StringGrid3, tolerancePercent);
    bool any = false;
    std::vector<std::string> cells{"Заключение"};
    for (size_t c = 1; c < verdicts.size(); ++c) {
        cells.push_back(VerdictText(verdicts[c]));
        any = any || verdicts[c] != EVerdict::None;
    }
    if (judged)
        for (const MeterJudgement& m : judged->meters)
            if (static_cast<size_t>(m.slot) + 1 < cells.size())
                cells[static_cast<size_t>(m.slot) + 1] = m.VerdictText();
    if (any) {
        out += Line(cells);
        out += Line({"Допуск, %", "±" + FixDecimalSeparator(FormatC("%g", tolerancePercent))});
    }
    if (judged && any)
        PointsSection(out, *judged);
    return out;
}

void WriteResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent,
                     const std::string& path, const CsvJudgement* judged)
{
    WriteFileAtomically(path, ResultsCsv(tables, dateTime, tolerancePercent, judged));
}
