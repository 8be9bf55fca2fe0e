#pragma once
// Helpers for the XML parts of a word-processing package: parsing and writing
// parts, the prefix of the main namespace, runs and their text.
#include <pugixml.hpp>

#include <memory>
#include <string>

// Parses a part; throws EReportError naming the part when it is not XML.
std::unique_ptr<pugi::xml_document> ParseXmlPart(const std::string& bytes, const std::string& partName);
// The part as bytes, with an XML declaration.
std::string WriteXmlPart(const pugi::xml_document& doc);

// Qualified names in the word-processing namespace with the prefix the part
// uses ("w:" nearly always, "" when it is the default namespace).
class CWordNames {
public:
    // Throws EReportError when the root element does not declare the namespace.
    explicit CWordNames(const pugi::xml_node& root, const std::string& partName);
    std::string operator()(const char* local) const { return m_sPrefix + local; }
    bool Is(const pugi::xml_node& node, const char* local) const;

private:
    std::string m_sPrefix;
};

// The children named `local` of node, looking through content controls and
// custom XML wrappers (w:sdt/w:sdtContent, w:customXml), as the office suites do.
// Wrappers nested deeper than this are not looked into.
constexpr int kMaxWrapperDepth = 32;

template <typename Fn>
void ForEachChild(const CWordNames& w, const pugi::xml_node& node, const char* local, Fn&& fn, int depth = 0)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (w.Is(child, local))
            fn(child);
        else if (depth < kMaxWrapperDepth && w.Is(child, "sdt"))
            ForEachChild(w, child.child(w("sdtContent").c_str()), local, fn, depth + 1);
        else if (depth < kMaxWrapperDepth && w.Is(child, "customXml"))
            ForEachChild(w, child, local, fn, depth + 1);
    }
}

// Run properties to give new text: a copy of the first run's properties
// inside node, else the paragraph mark's properties of its first paragraph.
// Empty node when there are none.
pugi::xml_node FindRunProperties(const CWordNames& w, const pugi::xml_node& node);
// Appends a run with a copy of rPr (may be empty) and the text; tabs and line
// breaks become their elements.
pugi::xml_node AppendRun(const CWordNames& w, pugi::xml_node paragraph, const pugi::xml_node& rPr,
                         const std::string& text);
// Puts the text into a run, keeping only its properties.
void SetRunText(const CWordNames& w, pugi::xml_node run, const std::string& text);
// Text of paragraphs and runs below node: tabs, breaks; paragraphs joined by '\n'.
std::string NodeText(const CWordNames& w, const pugi::xml_node& node);
