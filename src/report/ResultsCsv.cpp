#include "ResultsCsv.h"

#include "AtomicFile.h"
#include "Verdicts.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "workstation/MainTables.h"

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

std::string ResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent)
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
    if (any) {
        out += Line(cells);
        out += Line({"Допуск, %", "±" + FixDecimalSeparator(FormatC("%g", tolerancePercent))});
    }
    return out;
}

void WriteResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent,
                     const std::string& path)
{
    WriteFileAtomically(path, ResultsCsv(tables, dateTime, tolerancePercent));
}
