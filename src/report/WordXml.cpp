#include "WordXml.h"

#include "ReportError.h"

#include <cstring>
#include <sstream>

namespace {
const char* const kWordNamespaces[] = {
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
    "http://purl.oclc.org/ooxml/wordprocessingml/main",
};

void AppendTextPieces(const CWordNames& w, pugi::xml_node run, const std::string& text)
{
    std::string piece;
    auto flush = [&] {
        if (piece.empty())
            return;
        pugi::xml_node t = run.append_child(w("t").c_str());
        t.append_attribute("xml:space") = "preserve";
        t.text().set(piece.c_str());
        piece.clear();
    };
    for (char ch : text) {
        if (ch == '\t' || ch == '\n') {
            flush();
            run.append_child(w(ch == '\t' ? "tab" : "br").c_str());
        } else if (ch != '\r') {
            piece += ch;
        }
    }
    flush();
}

void CollectText(const CWordNames& w, const pugi::xml_node& node, std::string& out, int depth = 0)
{
    if (depth > 256)
        return;   // no text is nested this deep
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (w.Is(child, "t")) {
            out += child.text().get();
        } else if (w.Is(child, "tab")) {
            out += '\t';
        } else if (w.Is(child, "br") || w.Is(child, "cr")) {
            out += '\n';
        } else if (w.Is(child, "p")) {
            if (!out.empty())
                out += '\n';
            CollectText(w, child, out, depth + 1);
        } else if (!w.Is(child, "del") && !w.Is(child, "moveFrom") && !w.Is(child, "rPr") && !w.Is(child, "pPr")) {
            CollectText(w, child, out, depth + 1);
        }
    }
}
}

std::unique_ptr<pugi::xml_document> ParseXmlPart(const std::string& bytes, const std::string& partName)
{
    auto doc = std::make_unique<pugi::xml_document>();
    // Whitespace-only text is kept where it is an element's only content: a
    // run's text of one blank must survive.
    const pugi::xml_parse_result result = doc->load_buffer(
        bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single,
        pugi::encoding_auto);
    if (!result) {
        std::ostringstream text;
        text << "часть " << partName << " повреждена: " << result.description() << " (байт " << result.offset << ")";
        throw EReportError(text.str());
    }
    return doc;
}

std::string WriteXmlPart(const pugi::xml_document& doc)
{
    std::ostringstream out;
    if (doc.first_child().type() != pugi::node_declaration)
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.str();
}

CWordNames::CWordNames(const pugi::xml_node& root, const std::string& partName)
{
    for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
        for (const char* ns : kWordNamespaces) {
            if (std::strcmp(a.value(), ns) != 0)
                continue;
            const std::string name = a.name();
            if (name == "xmlns") {
                m_sPrefix.clear();
                return;
            }
            if (name.rfind("xmlns:", 0) == 0) {
                m_sPrefix = name.substr(6) + ":";
                return;
            }
        }
    }
    throw EReportError("часть " + partName + " не является текстом документа");
}

bool CWordNames::Is(const pugi::xml_node& node, const char* local) const
{
    const char* name = node.name();
    return std::strncmp(name, m_sPrefix.c_str(), m_sPrefix.size()) == 0 &&
           std::strcmp(name + m_sPrefix.size(), local) == 0;
}

pugi::xml_node FindRunProperties(const CWordNames& w, const pugi::xml_node& node)
{
    const std::string r = w("r"), rPr = w("rPr");
    pugi::xml_node run = node.find_node([&](const pugi::xml_node& n) { return r == n.name() && n.child(rPr.c_str()); });
    if (run)
        return run.child(rPr.c_str());
    pugi::xml_node paragraph = w.Is(node, "p") ? node : node.find_node([&](const pugi::xml_node& n) {
        return w.Is(n, "p");
    });
    return paragraph.child(w("pPr").c_str()).child(rPr.c_str());
}

pugi::xml_node AppendRun(const CWordNames& w, pugi::xml_node paragraph, const pugi::xml_node& rPr,
                         const std::string& text)
{
    pugi::xml_node run = paragraph.append_child(w("r").c_str());
    if (rPr) {
        pugi::xml_node copy = run.append_copy(rPr);
        // Revision marks of the paragraph mark do not belong to a run.
        for (const char* mark : {"ins", "del", "moveFrom", "moveTo", "rPrChange"})
            while (pugi::xml_node m = copy.child(w(mark).c_str()))
                copy.remove_child(m);
    }
    AppendTextPieces(w, run, text);
    return run;
}

void SetRunText(const CWordNames& w, pugi::xml_node run, const std::string& text)
{
    for (pugi::xml_node child = run.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (!w.Is(child, "rPr"))
            run.remove_child(child);
        child = next;
    }
    AppendTextPieces(w, run, text);
}

std::string NodeText(const CWordNames& w, const pugi::xml_node& node)
{
    std::string out;
    CollectText(w, node, out);
    return out;
}
