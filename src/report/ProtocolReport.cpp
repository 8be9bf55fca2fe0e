#include "ProtocolReport.h"

#include "DocxDocument.h"
#include "ReportError.h"
#include "workstation/MainTables.h"
#include "workstation/WindowState.h"

namespace {
class CDocxTarget : public IReportTarget {
public:
    explicit CDocxTarget(CDocxDocument& doc) : m_doc(doc) {}
    void SetBookmarkText(const std::string& name, const std::string& text) override
    {
        m_doc.SetBookmarkText(name, text);
    }
    int TableRowCount(int table) const override { return m_doc.TableRowCount(table); }
    void SetCellText(int table, int column, int row, const std::string& text) override
    {
        m_doc.SetCellText(table, column, row, text);
    }
    void AddTableRow(int table) override { m_doc.AddTableRow(table); }
    void SetTitle(const std::string& title) override { m_doc.SetTitle(title); }

private:
    CDocxDocument& m_doc;
};

// Table 2 from a result grid: row 2 gets the header texts over the meter
// columns, grid rows from the first non-fixed one go from table row
// firstTableRow on, and a row is appended after each.
void FillResults(IReportTarget& doc, const CTextGrid& grid, int firstTableRow, const std::string& (*header)(const CTextGrid&, int))
{
    const int rows = doc.TableRowCount(2);
    if (rows < 3)
        throw EReportError("Таблица 2 шаблона отчета должна начинаться с трех строк (заголовок, строка 2 и пустая "
                           "строка), а в ней строк: " + std::to_string(rows));
    for (int c = 1; c < grid.ColCount(); ++c)
        doc.SetCellText(2, c + 1, 2, header(grid, c));
    for (int r = grid.FixedRows(); r < grid.RowCount(); ++r) {
        for (int c = grid.FixedCols(); c < grid.ColCount(); ++c)
            doc.SetCellText(2, c + 1, firstTableRow + r - grid.FixedRows(), grid.Cell(c, r));
        doc.AddTableRow(2);
    }
}

const std::string& MeterNumberHeader(const CTextGrid& grid, int col) { return grid.Cell(col, 1); }

const std::string& GiHeader(const CTextGrid&, int)
{
    static const std::string gi = "Gi";
    return gi;
}
}

std::string ReportKindWord(int page)
{
    switch (page) {
    case PAGE_VERIFICATION:
        return "Поверка";
    case PAGE_CALIBRATION:
        return "Градуировка";
    default:
        return "Уставки";
    }
}

void FillProtocol(IReportTarget& doc, const CMainTables& tables, int page, const std::string& dateTime)
{
    doc.SetBookmarkText(kReportBookmark, dateTime);
    const CTextGrid& points = tables.StringGrid1;
    for (int r = points.FixedRows(); r < points.RowCount(); ++r)
        for (int c = points.FixedCols(); c < points.ColCount(); ++c)
            doc.SetCellText(1, c + 1, r + 1, points.Cell(c, r));
    if (page == PAGE_VERIFICATION) {
        doc.SetTitle(ReportKindWord(page) + " " + dateTime);
        FillResults(doc, tables.StringGrid3, 3, MeterNumberHeader);
    } else if (page == PAGE_CALIBRATION) {
        doc.SetTitle(ReportKindWord(page) + " " + dateTime);
        FillResults(doc, tables.StringGrid4, 3, GiHeader);
    }
}

std::vector<std::string> FillProtocolDocx(CDocxDocument& doc, const CMainTables& tables, int page,
                                          const std::string& dateTime)
{
    CDocxTarget target(doc);
    FillProtocol(target, tables, page, dateTime);
    return doc.Warnings();
}

std::vector<std::string> WriteProtocolReport(const CMainTables& tables, int page, const std::string& templatePath,
                                             const std::string& outPath, const std::string& dateTime)
{
    CDocxDocument doc(templatePath);
    std::vector<std::string> misses = FillProtocolDocx(doc, tables, page, dateTime);
    doc.Save(outPath);
    return misses;
}
