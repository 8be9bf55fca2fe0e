#pragma once
// Reads a DOCX back with pugixml for the tests: tables, cells, bookmark text
// and title, whatever prefix the document gives its namespace.
#include "report/ZipPackage.h"

#include <pugixml.hpp>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class CDocxReadBack {
public:
    explicit CDocxReadBack(const std::string& path, const std::string& mainPart = "word/document.xml")
        : m_package(CZipPackage::Load(path))
    {
        Parse(m_doc, m_package.Get(mainPart));
        if (m_package.Has("docProps/core.xml"))
            Parse(m_core, m_package.Get("docProps/core.xml"));
    }

    const CZipPackage& Package() const { return m_package; }
    const pugi::xml_document& Doc() const { return m_doc; }

    std::vector<pugi::xml_node> Tables() const
    {
        // Tables of the body, also those in a content control; not nested ones.
        return Nodes(m_doc, "/*/*[local-name()='body']/*[local-name()='tbl'] | "
                            "/*/*[local-name()='body']/*[local-name()='sdt']/*[local-name()='sdtContent']/*[local-name()='tbl']");
    }
    std::vector<pugi::xml_node> Rows(int table) const { return Nodes(Table(table), "*[local-name()='tr']"); }
    int RowCount(int table) const { return static_cast<int>(Rows(table).size()); }
    std::vector<pugi::xml_node> Cells(int table, int row) const
    {
        return Nodes(Rows(table).at(static_cast<size_t>(row - 1)), "*[local-name()='tc']");
    }
    // Rows and columns from 1; the w:t texts of the cell.
    std::string Cell(int table, int row, int column) const
    {
        return Text(Cells(table, row).at(static_cast<size_t>(column - 1)));
    }
    std::vector<std::string> RowTexts(int table, int row) const
    {
        std::vector<std::string> texts;
        for (const pugi::xml_node& tc : Cells(table, row))
            texts.push_back(Text(tc));
        return texts;
    }
    // The texts between the bookmark's start and end, in document order.
    std::string BookmarkText(const std::string& name) const
    {
        std::string text, id;
        bool inside = false;
        for (const pugi::xml_node& n : Nodes(m_doc, "//*[local-name()='bookmarkStart' or "
                                                    "local-name()='bookmarkEnd' or local-name()='t']")) {
            const std::string local = LocalName(n);
            if (local == "bookmarkStart" && AttrLocal(n, "name") == name) {
                inside = true;
                id = AttrLocal(n, "id");
            } else if (local == "bookmarkEnd" && inside && AttrLocal(n, "id") == id) {
                return text;
            } else if (local == "t" && inside) {
                text += n.text().get();
            }
        }
        throw std::runtime_error("bookmark not closed: " + name);
    }
    std::string Title() const
    {
        auto found = Nodes(m_core, "//*[local-name()='title']");
        return found.empty() ? std::string() : found.front().text().get();
    }
    static std::string Text(const pugi::xml_node& node)
    {
        std::string text;
        for (const pugi::xml_node& t : Nodes(node, ".//*[local-name()='t']"))
            text += t.text().get();
        return text;
    }
    static std::vector<pugi::xml_node> Nodes(const pugi::xml_node& from, const char* xpath)
    {
        std::vector<pugi::xml_node> nodes;
        pugi::xpath_node_set set = from.select_nodes(xpath);
        set.sort();
        for (const pugi::xpath_node& x : set)
            nodes.push_back(x.node());
        return nodes;
    }
    static std::string LocalName(const pugi::xml_node& n)
    {
        const std::string name = n.name();
        const auto colon = name.find(':');
        return colon == std::string::npos ? name : name.substr(colon + 1);
    }

private:
    static void Parse(pugi::xml_document& doc, const std::string& bytes)
    {
        if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata_single))
            throw std::runtime_error("not XML");
    }
    static std::string AttrLocal(const pugi::xml_node& n, const char* local)
    {
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            const std::string name = a.name();
            const auto colon = name.find(':');
            if ((colon == std::string::npos ? name : name.substr(colon + 1)) == local)
                return a.value();
        }
        return "";
    }
    pugi::xml_node Table(int table) const { return Tables().at(static_cast<size_t>(table - 1)); }

    CZipPackage m_package;
    pugi::xml_document m_doc;
    pugi::xml_document m_core;
};
