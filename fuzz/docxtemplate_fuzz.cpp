// The report filled into a template whose document text is arbitrary bytes:
// a clear error or a document that is still well-formed XML, never a crash.
#include "report/DocxDocument.h"
#include "report/ProtocolReport.h"
#include "report/ReportError.h"
#include "workstation/MainTables.h"

#include <pugixml.hpp>

#include <cstdlib>
#include <string>

namespace {
const CMainTables& Tables()
{
    static const CMainTables tables = [] {
        CMainTables t;
        t.StringGrid1.SetRowCells(1, {"1", "ВЯ-7П", "11000002", "", "40", "04.02.01"});
        t.StringGrid3.SetCell(1, 1, "11000002");
        t.StringGrid3.SetRowCount(4);
        t.StringGrid3.SetRowCells(2, {"25.0074", "2.664"});
        t.StringGrid4.SetRowCount(3);
        t.StringGrid4.SetRowCells(1, {"20", "19.71"});
        return t;
    }();
    return tables;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CZipPackage package;
    package.Set("word/document.xml", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    try {
        CDocxDocument doc(std::move(package), "fuzz");
        FillProtocolDocx(doc, Tables(), data[0] % 3, "09.12.2026 13:56:19");
        const std::string xml = doc.MainPartXml();
        pugi::xml_document check;
        if (!check.load_buffer(xml.data(), xml.size()))
            std::abort();
    } catch (const EReportError&) {
    }
    return 0;
}
