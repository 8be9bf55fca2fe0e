#pragma once
// The protocol of the work: the date, the set points and, by the tab in
// front, the verification results or the formed pairs, filled into a
// document made from the template. The window and vq7ctl both use it.
#include <string>
#include <vector>

class CMainTables;

constexpr const char* kReportBookmark = "Дата_Протокола";

// What the filling needs of a document, as the office suite's automation offers it.
class IReportTarget {
public:
    virtual ~IReportTarget() = default;
    virtual void SetBookmarkText(const std::string& name, const std::string& text) = 0;
    virtual int TableRowCount(int table) const = 0;
    // Rows and columns count from 1.
    virtual void SetCellText(int table, int column, int row, const std::string& text) = 0;
    virtual void AddTableRow(int table) = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

// Fills the document: bookmark, table 1 from the set points grid, table 2 from
// the verification grid or the pairs grid for those tabs (page as MainPage).
// Throws EReportError when table 2 lacks its three starting rows.
void FillProtocol(IReportTarget& doc, const CMainTables& tables, int page, const std::string& dateTime);

// "Поверка ", "Градуировка " or "Уставки " (no title change) by the tab.
std::string ReportKindWord(int page);

class CDocxDocument;
// Fills an open document; returns the warnings: the template's entries left
// out, what did not fit. Throws EReportError.
std::vector<std::string> FillProtocolDocx(CDocxDocument& doc, const CMainTables& tables, int page,
                                          const std::string& dateTime);

// Makes the DOCX from the template; returns the warnings (entries of the
// template left out, what did not fit into its tables; nothing when all is
// well). Throws EReportError with a clear text; then no file is left at outPath.
std::vector<std::string> WriteProtocolReport(const CMainTables& tables, int page, const std::string& templatePath,
                                             const std::string& outPath, const std::string& dateTime);
