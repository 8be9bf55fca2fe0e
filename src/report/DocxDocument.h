#pragma once
// A word-processing document made from a template and filled the way the
// office suite's automation would: a bookmark's text, table cells by row and
// column (1-based, merged cells counting once), rows appended at a table's end,
// the document's title. Nothing is written until Save.
#include "WordXml.h"
#include "ZipPackage.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class CDocxDocument {
public:
    // Reads the template; throws EReportError when it is missing, damaged or
    // holds no document text.
    explicit CDocxDocument(const std::string& templatePath);
    // The same from a package in memory; label names it in messages.
    CDocxDocument(CZipPackage package, const std::string& label);
    CDocxDocument(const CDocxDocument&) = delete;
    CDocxDocument& operator=(const CDocxDocument&) = delete;

    // Replaces the bookmark's text, keeping the formatting of its first run;
    // throws EReportError when the document has no such bookmark.
    void SetBookmarkText(const std::string& name, const std::string& text);

    // Tables of the body, nested tables not counted.
    int TableCount() const { return static_cast<int>(m_tables.size()); }
    // Throws EReportError when the table does not exist.
    int TableRowCount(int table) const;
    // The cell's text; false when the row has no such cell or the cell is
    // covered by a vertical merge (text then lost, see Misses()). Throws
    // EReportError when the table does not exist.
    bool SetCellText(int table, int column, int row, const std::string& text);
    // Appends an empty row formatted like the last one.
    void AddTableRow(int table);

    void SetTitle(const std::string& title);

    // Texts that found no cell, per table: what did not fit, in words.
    std::vector<std::string> Misses() const;
    // For the operator: the template's entries left out of the report, then Misses().
    std::vector<std::string> Warnings() const;

    // The document text as it would be saved.
    std::string MainPartXml() const { return WriteXmlPart(*m_doc); }

    // Throws EReportError; on failure nothing is left at path.
    void Save(const std::string& path);

private:
    struct Miss {
        int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0, count = 0;
    };

    void Open();
    pugi::xml_node Table(int table) const;
    std::vector<pugi::xml_node> Rows(int table) const;
    void LoadCoreProperties();
    void FixMainContentType();

    CZipPackage m_package;
    std::string m_sLabel;
    std::string m_sMainPart;
    std::string m_sCorePart;
    std::unique_ptr<pugi::xml_document> m_doc;
    std::unique_ptr<pugi::xml_document> m_core;   // null until a title is set without core part
    std::unique_ptr<CWordNames> m_w;
    std::vector<pugi::xml_node> m_tables;
    std::map<int, Miss> m_misses;
};
