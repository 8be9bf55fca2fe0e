#include "DocxDocument.h"

#include "PackageParts.h"
#include "ReportError.h"

#include <algorithm>
#include <string>

namespace {
constexpr const char* kDocumentType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
constexpr const char* kCoreType = "application/vnd.openxmlformats-package.core-properties+xml";
constexpr const char* kDublinCore = "http://purl.org/dc/elements/1.1/";

std::string Range(int first, int last)
{
    return first == last ? std::to_string(first) : std::to_string(first) + "–" + std::to_string(last);
}

// Empties a cell down to its properties and its first paragraph's; returns that
// paragraph. rPr gets (in keep) the formatting of the cell's first run.
pugi::xml_node ResetCell(const CWordNames& w, pugi::xml_node tc, pugi::xml_document& keep, pugi::xml_node& rPr)
{
    pugi::xml_node rPrSource = FindRunProperties(w, tc);
    rPr = rPrSource ? keep.append_copy(rPrSource) : pugi::xml_node();
    pugi::xml_node paragraph;
    for (pugi::xml_node child = tc.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (w.Is(child, "p") && !paragraph)
            paragraph = child;
        else if (!w.Is(child, "tcPr"))
            tc.remove_child(child);
        child = next;
    }
    if (!paragraph)
        paragraph = tc.append_child(w("p").c_str());
    for (pugi::xml_node child = paragraph.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (!w.Is(child, "pPr"))
            paragraph.remove_child(child);
        child = next;
    }
    return paragraph;
}
}

CDocxDocument::CDocxDocument(const std::string& templatePath) : m_sLabel(templatePath)
{
    try {
        m_package = CZipPackage::Load(templatePath);
        Open();
    } catch (const EReportError& e) {
        throw EReportError("Шаблон отчета " + templatePath + ": " + e.what());
    }
}

CDocxDocument::CDocxDocument(CZipPackage package, const std::string& label)
    : m_package(std::move(package)), m_sLabel(label)
{
    try {
        Open();
    } catch (const EReportError& e) {
        throw EReportError("Шаблон отчета " + label + ": " + e.what());
    }
}

void CDocxDocument::Open()
{
    m_sMainPart = PackageRelationshipTarget(m_package, kRelOfficeDocument);
    if (m_sMainPart.empty())
        m_sMainPart = "word/document.xml";
    if (!m_package.Has(m_sMainPart))
        throw EReportError("в нем нет текста документа (" + m_sMainPart + ")");
    m_doc = ParseXmlPart(m_package.Get(m_sMainPart), m_sMainPart);
    m_w = std::make_unique<CWordNames>(m_doc->document_element(), m_sMainPart);
    pugi::xml_node body = m_doc->document_element().child((*m_w)("body").c_str());
    if (!body)
        throw EReportError("в нем нет текста документа (" + m_sMainPart + ")");
    ForEachChild(*m_w, body, "tbl", [this](pugi::xml_node t) { m_tables.push_back(t); });
}

void CDocxDocument::SetBookmarkText(const std::string& name, const std::string& text)
{
    const CWordNames& w = *m_w;
    const std::string startName = w("bookmarkStart"), endName = w("bookmarkEnd"), nameAttr = w("name"),
                      idAttr = w("id");
    pugi::xml_node start = m_doc->find_node([&](const pugi::xml_node& n) {
        return startName == n.name() && name == n.attribute(nameAttr.c_str()).value();
    });
    if (!start)
        throw EReportError("В шаблоне отчета нет закладки «" + name + "»");
    const std::string id = start.attribute(idAttr.c_str()).value();

    // The runs between the start and the end of the bookmark, in document order.
    std::vector<pugi::xml_node> runs;
    const bool hasEnd = m_doc->find_node([&](const pugi::xml_node& n) {
        return endName == n.name() && id == n.attribute(idAttr.c_str()).value();
    });
    pugi::xml_node node = start;
    while (hasEnd) {
        pugi::xml_node next = node.first_child();
        if (!next || w.Is(node, "r") || w.Is(node, "del") || w.Is(node, "moveFrom"))
            next = pugi::xml_node();
        if (!next) {
            for (pugi::xml_node up = node; up && !next; up = up.parent())
                next = up.next_sibling();
        }
        node = next;
        if (!node || (endName == node.name() && id == node.attribute(idAttr.c_str()).value()))
            break;
        if (w.Is(node, "r"))
            runs.push_back(node);
    }

    if (!runs.empty()) {
        SetRunText(w, runs.front(), text);
        for (size_t i = 1; i < runs.size(); ++i)
            runs[i].parent().remove_child(runs[i]);
        return;
    }
    // An empty bookmark: a new run right after its start (inside a paragraph,
    // also within a hyperlink or the like), formatted like the text before it.
    pugi::xml_node paragraph = start.parent();
    while (paragraph && !w.Is(paragraph, "p"))
        paragraph = paragraph.parent();
    if (paragraph) {
        pugi::xml_node rPr;
        for (pugi::xml_node prev = start.previous_sibling(); prev && !rPr; prev = prev.previous_sibling())
            if (w.Is(prev, "r"))
                rPr = prev.child(w("rPr").c_str());
        if (!rPr)
            rPr = FindRunProperties(w, paragraph);
        pugi::xml_node container = start.parent();
        container.insert_move_after(AppendRun(w, container, rPr, text), start);
        return;
    }
    // A start between paragraphs: the text opens the next paragraph.
    for (pugi::xml_node n = start.next_sibling(); n && !paragraph; n = n.next_sibling())
        paragraph = w.Is(n, "p") ? n : n.find_node([&](const pugi::xml_node& d) { return w.Is(d, "p"); });
    if (!paragraph)
        throw EReportError("Закладка «" + name + "» шаблона отчета стоит вне текста");
    pugi::xml_node run = AppendRun(w, paragraph, FindRunProperties(w, paragraph), text);
    if (pugi::xml_node pPr = paragraph.child(w("pPr").c_str()))
        paragraph.insert_move_after(run, pPr);
    else
        paragraph.prepend_move(run);
}

pugi::xml_node CDocxDocument::Table(int table) const
{
    if (table < 1 || table > TableCount())
        throw EReportError("В шаблоне отчета нет таблицы " + std::to_string(table) + " (таблиц в нем: " +
                           std::to_string(TableCount()) + ")");
    return m_tables[table - 1];
}

std::vector<pugi::xml_node> CDocxDocument::Rows(int table) const
{
    std::vector<pugi::xml_node> rows;
    ForEachChild(*m_w, Table(table), "tr", [&](pugi::xml_node tr) { rows.push_back(tr); });
    return rows;
}

int CDocxDocument::TableRowCount(int table) const { return static_cast<int>(Rows(table).size()); }

bool CDocxDocument::SetCellText(int table, int column, int row, const std::string& text)
{
    const CWordNames& w = *m_w;
    const std::vector<pugi::xml_node> rows = Rows(table);
    pugi::xml_node tc;
    if (row >= 1 && row <= static_cast<int>(rows.size())) {
        std::vector<pugi::xml_node> cells;
        ForEachChild(w, rows[row - 1], "tc", [&](pugi::xml_node c) { cells.push_back(c); });
        if (column >= 1 && column <= static_cast<int>(cells.size()))
            tc = cells[column - 1];
    }
    if (tc) {
        pugi::xml_node vMerge = tc.child(w("tcPr").c_str()).child(w("vMerge").c_str());
        const std::string merge = vMerge.attribute(w("val").c_str()).value();
        if (vMerge && merge != "restart")
            tc = pugi::xml_node();   // covered by the cell above
    }
    if (!tc) {
        if (text.empty())
            return true;   // nothing to lose
        Miss& m = m_misses[table];
        if (m.count++ == 0) {
            m.firstRow = m.lastRow = row;
            m.firstCol = m.lastCol = column;
        }
        m.firstRow = std::min(m.firstRow, row);
        m.lastRow = std::max(m.lastRow, row);
        m.firstCol = std::min(m.firstCol, column);
        m.lastCol = std::max(m.lastCol, column);
        return false;
    }

    // The cell keeps its properties and its first paragraph's; the text takes
    // the formatting of its first run.
    pugi::xml_document keep;
    pugi::xml_node rPr;
    pugi::xml_node paragraph = ResetCell(w, tc, keep, rPr);
    AppendRun(w, paragraph, rPr, text);
    return true;
}

void CDocxDocument::AddTableRow(int table)
{
    const CWordNames& w = *m_w;
    const std::vector<pugi::xml_node> rows = Rows(table);
    if (rows.empty())
        throw EReportError("В таблице " + std::to_string(table) + " шаблона отчета нет строк");
    pugi::xml_node last = rows.back();
    pugi::xml_node copy = last.parent().insert_copy_after(last, last);
    // Repeated header and revision marks are not the new row's.
    if (pugi::xml_node trPr = copy.child(w("trPr").c_str()))
        for (const char* mark : {"tblHeader", "ins", "del"})
            while (pugi::xml_node m = trPr.child(w(mark).c_str()))
                trPr.remove_child(m);
    ForEachChild(w, copy, "tc", [&](pugi::xml_node tc) {
        if (pugi::xml_node vMerge = tc.child(w("tcPr").c_str()).child(w("vMerge").c_str()))
            vMerge.parent().remove_child(vMerge);
        pugi::xml_document keep;
        pugi::xml_node rPr;
        pugi::xml_node paragraph = ResetCell(w, tc, keep, rPr);
        // An empty run keeps the formatting for the text written later.
        if (rPr)
            AppendRun(w, paragraph, rPr, "");
    });
}

void CDocxDocument::LoadCoreProperties()
{
    if (m_core)
        return;
    m_sCorePart = PackageRelationshipTarget(m_package, kRelCoreProperties);
    if (!m_sCorePart.empty() && m_package.Has(m_sCorePart)) {
        m_core = ParseXmlPart(m_package.Get(m_sCorePart), m_sCorePart);
        return;
    }
    m_sCorePart = "docProps/core.xml";
    if (m_package.Has(m_sCorePart))
        m_sCorePart = "docProps/core-vq7.xml";
    m_core = std::make_unique<pugi::xml_document>();
    pugi::xml_node root = m_core->append_child("cp:coreProperties");
    root.append_attribute("xmlns:cp") = "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
    root.append_attribute("xmlns:dc") = kDublinCore;
    AddPackagePart(m_package, m_sCorePart, kRelCoreProperties, kCoreType);
}

void CDocxDocument::SetTitle(const std::string& title)
{
    LoadCoreProperties();
    pugi::xml_node root = m_core->document_element();
    std::string prefix;
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
        const std::string name = a.name();
        if (std::string(a.value()) == kDublinCore && name.rfind("xmlns:", 0) == 0)
            prefix = name.substr(6);
    }
    if (prefix.empty()) {
        prefix = "dc";
        while (root.attribute(("xmlns:" + prefix).c_str()))
            prefix += "x";
        root.append_attribute(("xmlns:" + prefix).c_str()) = kDublinCore;
    }
    const std::string titleName = prefix + ":title";
    pugi::xml_node node = root.child(titleName.c_str());
    if (!node)
        node = root.prepend_child(titleName.c_str());
    node.text().set(title.c_str());
}

std::vector<std::string> CDocxDocument::Misses() const
{
    std::vector<std::string> texts;
    for (const auto& [table, m] : m_misses)
        texts.push_back("Таблица " + std::to_string(table) + " шаблона мала, не записано значений: " +
                        std::to_string(m.count) + " (строки " + Range(m.firstRow, m.lastRow) + ", столбцы " +
                        Range(m.firstCol, m.lastCol) + ")");
    return texts;
}

std::vector<std::string> CDocxDocument::Warnings() const
{
    std::vector<std::string> texts;
    for (const std::string& entry : m_package.LeftOut())
        texts.push_back("Шаблон отчета " + m_sLabel + ": часть " + entry + " не перенесена в отчет");
    for (std::string& miss : Misses())
        texts.push_back(std::move(miss));
    return texts;
}

void CDocxDocument::FixMainContentType()
{
    // A template (.dotx, .dotm) saved as a document must say it is one, or the
    // office suite refuses the file.
    const std::string type = PartContentType(m_package, m_sMainPart);
    if (type != kDocumentType)
        SetPartContentType(m_package, m_sMainPart, kDocumentType);
}

void CDocxDocument::Save(const std::string& path)
{
    m_package.Set(m_sMainPart, WriteXmlPart(*m_doc));
    if (m_core)
        m_package.Set(m_sCorePart, WriteXmlPart(*m_core));
    FixMainContentType();
    m_package.Save(path);
}
