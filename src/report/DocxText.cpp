#include "DocxText.h"

#include "PackageParts.h"
#include "WordXml.h"

#include <algorithm>
#include <cstring>

namespace {
void ReadBody(const CWordNames& w, const pugi::xml_node& body, std::vector<SDocxBlock>& blocks, int depth = 0)
{
    if (depth > kMaxWrapperDepth)
        return;
    for (pugi::xml_node node = body.first_child(); node; node = node.next_sibling()) {
        if (w.Is(node, "p")) {
            SDocxBlock block;
            block.text = NodeText(w, node);
            block.style = node.child(w("pPr").c_str()).child(w("pStyle").c_str()).attribute(w("val").c_str()).value();
            blocks.push_back(std::move(block));
        } else if (w.Is(node, "tbl")) {
            SDocxBlock block;
            block.isTable = true;
            ForEachChild(w, node, "tr", [&](pugi::xml_node tr) {
                std::vector<SDocxCell> row;
                ForEachChild(w, tr, "tc", [&](pugi::xml_node tc) {
                    SDocxCell cell;
                    const pugi::xml_node tcPr = tc.child(w("tcPr").c_str());
                    cell.span = std::max(1, tcPr.child(w("gridSpan").c_str()).attribute(w("val").c_str()).as_int(1));
                    const pugi::xml_node vMerge = tcPr.child(w("vMerge").c_str());
                    cell.merged = vMerge && std::strcmp(vMerge.attribute(w("val").c_str()).value(), "restart") != 0;
                    cell.text = NodeText(w, tc);
                    row.push_back(std::move(cell));
                });
                block.rows.push_back(std::move(row));
            });
            blocks.push_back(std::move(block));
        } else if (w.Is(node, "sdt")) {
            ReadBody(w, node.child(w("sdtContent").c_str()), blocks, depth + 1);
        } else if (w.Is(node, "customXml")) {
            ReadBody(w, node, blocks, depth + 1);
        }
    }
}
}

SDocxContent ReadDocxContent(const std::string& path)
{
    const CZipPackage package = CZipPackage::Load(path);
    std::string main = PackageRelationshipTarget(package, kRelOfficeDocument);
    if (main.empty())
        main = "word/document.xml";
    auto doc = ParseXmlPart(package.Get(main), main);
    CWordNames w(doc->document_element(), main);
    SDocxContent content;
    ReadBody(w, doc->document_element().child(w("body").c_str()), content.blocks);
    const std::string core = PackageRelationshipTarget(package, kRelCoreProperties);
    if (!core.empty() && package.Has(core)) {
        auto props = ParseXmlPart(package.Get(core), core);
        for (pugi::xml_node n : props->document_element().children()) {
            const char* colon = std::strchr(n.name(), ':');
            if (std::strcmp(colon ? colon + 1 : n.name(), "title") == 0)
                content.title = n.text().get();
        }
    }
    return content;
}
