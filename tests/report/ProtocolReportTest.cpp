// The protocol filled into the project's template and into an awkward one
// made in an office suite's way, read back with pugixml.
#include "ReportFixture.h"
#include "report/ProtocolReport.h"
#include "report/ReportError.h"
#include "support/DocxReadBack.h"
#include "workstation/WindowState.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {
const std::string kWhen = "09.12.2026 13:56:19";

class ProjectTemplate : public ReportDirTest {
protected:
    void SetUp() override
    {
        ReportDirTest::SetUp();
        FillSampleTables(m_tables);
    }
    CDocxReadBack Make(int page)
    {
        const std::string out = Path("report.docx");
        EXPECT_THAT(WriteProtocolReport(m_tables, page, VQ7_TEMPLATE_PATH, out, kWhen), IsEmpty());
        EXPECT_THAT(Files(), ElementsAre("report.docx"));
        return CDocxReadBack(out);
    }
    void ExpectSetPoints(const CDocxReadBack& doc)
    {
        EXPECT_EQ(doc.BookmarkText(kReportBookmark), kWhen);
        ASSERT_EQ(doc.RowCount(1), 11);
        EXPECT_THAT(doc.RowTexts(1, 1), ElementsAre("№", "Тип", "№ ИВБ", "№ ППР", "Ду", "Версия"));
        for (int r = 1; r <= 10; ++r)
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(doc.Cell(1, r + 1, c + 1), m_tables.StringGrid1.Cell(c, r)) << "row " << r << " col " << c;
    }
    CMainTables m_tables;
};

TEST_F(ProjectTemplate, VerificationTabFillsNumbersRowsAndAppendsOneRowPerGridRow)
{
    const CDocxReadBack doc = Make(PAGE_VERIFICATION);
    ExpectSetPoints(doc);
    EXPECT_EQ(doc.Title(), "Поверка " + kWhen);
    // Header kept, meter numbers in row 2 from column 2, grid rows 2..4 in rows 3..5.
    EXPECT_THAT(doc.Cell(2, 1, 1), HasSubstr("G этал."));
    EXPECT_EQ(doc.Cell(2, 2, 1), "№ ИВБ");
    const CTextGrid& g = m_tables.StringGrid3;
    for (int c = 1; c <= 10; ++c)
        EXPECT_EQ(doc.Cell(2, 2, c + 1), g.Cell(c, 1));
    ASSERT_EQ(doc.RowCount(2), 3 + (g.RowCount() - 2));
    for (int r = 2; r < g.RowCount(); ++r)
        for (int c = 0; c <= 10; ++c)
            EXPECT_EQ(doc.Cell(2, r + 1, c + 1), g.Cell(c, r)) << "row " << r << " col " << c;
    EXPECT_THAT(doc.RowTexts(2, doc.RowCount(2)), ::testing::Each(""));
    EXPECT_EQ(doc.Cell(2, 3, 4), "-0.609");
    EXPECT_EQ(doc.Cell(2, 4, 4), "1000.000");
}

TEST_F(ProjectTemplate, CalibrationTabPutsGiOverEveryMeterColumnAndPairsFromRowThree)
{
    const CDocxReadBack doc = Make(PAGE_CALIBRATION);
    ExpectSetPoints(doc);
    EXPECT_EQ(doc.Title(), "Градуировка " + kWhen);
    for (int c = 2; c <= 11; ++c)
        EXPECT_EQ(doc.Cell(2, 2, c), "Gi");
    const CTextGrid& g = m_tables.StringGrid4;
    ASSERT_EQ(doc.RowCount(2), 3 + (g.RowCount() - 1));
    for (int r = 1; r < g.RowCount(); ++r)
        for (int c = 0; c <= 10; ++c)
            EXPECT_EQ(doc.Cell(2, r + 2, c + 1), g.Cell(c, r)) << "row " << r << " col " << c;
    EXPECT_THAT(doc.RowTexts(2, 3), ElementsAre("20", "19.71", "20.33", "20.02", "", "", "", "", "", "", ""));
    EXPECT_THAT(doc.RowTexts(2, doc.RowCount(2)), ::testing::Each(""));
}

TEST_F(ProjectTemplate, SetPointsTabWritesDateAndTableOneOnly)
{
    const CDocxReadBack doc = Make(PAGE_SET_POINTS);
    ExpectSetPoints(doc);
    EXPECT_EQ(doc.Title(), "Протокол");   // the template's own
    ASSERT_EQ(doc.RowCount(2), 3);
    EXPECT_THAT(doc.RowTexts(2, 3), ::testing::Each(""));
}

TEST_F(ProjectTemplate, AppendedRowsKeepTheTemplateRowFormatting)
{
    const CDocxReadBack doc = Make(PAGE_VERIFICATION);
    const auto rows = doc.Rows(2);
    const std::string widths = [&] {
        std::string w;
        for (const auto& n : CDocxReadBack::Nodes(rows[2], ".//*[local-name()='tcW']"))
            w += std::string(n.attribute("w:w").value()) + ",";
        return w;
    }();
    for (size_t r = 3; r < rows.size(); ++r) {
        std::string w;
        for (const auto& n : CDocxReadBack::Nodes(rows[r], ".//*[local-name()='tcW']"))
            w += std::string(n.attribute("w:w").value()) + ",";
        EXPECT_EQ(w, widths) << "row " << r + 1;
        EXPECT_TRUE(CDocxReadBack::Nodes(rows[r], ".//*[local-name()='tblHeader']").empty());
    }
}

// Made the way an office suite writes what an operator typed: another prefix
// for the namespace, the bookmark over three runs, merged header cells, a
// table in a content control that is narrower than the grid, no document
// properties, saved as a template.
const char* const kAwkward = R"(<?xml version="1.0" encoding="UTF-8"?>
<x:document xmlns:x="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><x:body>
<x:p><x:r><x:rPr><x:b/></x:rPr><x:t xml:space="preserve">Дата: </x:t></x:r><x:bookmarkStart x:id="7" x:name="Дата_Протокола"/><x:r><x:rPr><x:i/></x:rPr><x:t>дд.</x:t></x:r><x:r><x:t>мм.</x:t></x:r><x:proofErr x:type="spellStart"/><x:r><x:t>гггг</x:t></x:r><x:bookmarkEnd x:id="7"/><x:r><x:t xml:space="preserve"> (время стенда)</x:t></x:r></x:p>
<x:tbl><x:tr><x:tc><x:tcPr><x:gridSpan x:val="2"/></x:tcPr><x:p><x:r><x:t>№ и тип</x:t></x:r></x:p></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr>
<x:tr><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr>
<x:tr><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr>
<x:tr><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr></x:tbl>
<x:p/>
<x:sdt><x:sdtPr/><x:sdtContent><x:tbl>
<x:tr><x:tc><x:tcPr><x:vMerge x:val="restart"/></x:tcPr><x:p><x:r><x:t>G этал.</x:t></x:r></x:p></x:tc><x:tc><x:tcPr><x:gridSpan x:val="3"/></x:tcPr><x:p><x:r><x:t>Счетчики</x:t></x:r></x:p></x:tc></x:tr>
<x:tr><x:tc><x:tcPr><x:vMerge/></x:tcPr><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr>
<x:tr><x:tc><x:p><x:pPr><x:jc x:val="right"/></x:pPr><x:r><x:rPr><x:color x:val="FF0000"/></x:rPr><x:t>был текст</x:t></x:r></x:p><x:p><x:r><x:t>второй абзац</x:t></x:r></x:p></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc><x:tc><x:p/></x:tc></x:tr>
</x:tbl></x:sdtContent></x:sdt>
<x:p/></x:body></x:document>)";

class AwkwardTemplate : public ReportDirTest {};

TEST_F(AwkwardTemplate, WritesWhatFitsAndSaysWhatDidNot)
{
    CMainTables tables;
    FillSampleTables(tables);
    tables.StringGrid3.SetCell(4, 1, "11000009");   // a fourth meter: table 2 has no column for it
    tables.StringGrid3.SetCell(4, 2, "0.100");
    const std::string tpl =
        MakeTemplate("awkward.dotx", kAwkward, false,
                     "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml");
    const std::string out = Path("out.docx");
    const std::vector<std::string> misses = WriteProtocolReport(tables, PAGE_VERIFICATION, tpl, out, kWhen);
    ASSERT_EQ(misses.size(), 2u);
    EXPECT_THAT(misses[0], HasSubstr("Таблица 1"));
    EXPECT_THAT(misses[0], HasSubstr("строки 5–11"));
    EXPECT_THAT(misses[1], HasSubstr("Таблица 2"));
    EXPECT_THAT(misses[1], HasSubstr("строки 2–3, столбцы 5"));
    EXPECT_THAT(misses[1], HasSubstr("значений: 2"));

    const CDocxReadBack doc(out);
    // The bookmark's text replaces the three runs, in the first one's formatting;
    // the text around it stays.
    EXPECT_EQ(doc.BookmarkText(kReportBookmark), kWhen);
    const auto paragraph = doc.Doc().document_element().first_child().first_child();
    EXPECT_EQ(CDocxReadBack::Text(paragraph), "Дата: " + kWhen + " (время стенда)");
    const auto italic = CDocxReadBack::Nodes(paragraph, ".//*[local-name()='i']");
    ASSERT_EQ(italic.size(), 1u);
    EXPECT_EQ(CDocxReadBack::Text(italic[0].parent().parent()), kWhen);

    // Table 1: rows 2..4 filled, the merged header untouched.
    EXPECT_EQ(doc.Cell(1, 1, 1), "№ и тип");
    EXPECT_THAT(doc.RowTexts(1, 2), ElementsAre("1", "ВЯ-7П", "11000002", "П0", "40", "04.02.00"));
    EXPECT_THAT(doc.RowTexts(1, 4), ElementsAre("3", "ВЯ-7П", "11000007", "П2", "40", "04.02.02"));

    // Table 2 inside the content control: the covered cell of row 2 stays empty.
    EXPECT_THAT(doc.RowTexts(2, 1), ElementsAre("G этал.", "Счетчики"));
    EXPECT_THAT(doc.RowTexts(2, 2), ElementsAre("", "11000002", "11000004", "11000007"));
    EXPECT_THAT(doc.RowTexts(2, 3), ElementsAre("25.0074", "2.664", "-2.043", "-0.609"));
    EXPECT_THAT(doc.RowTexts(2, 4), ElementsAre("2.99764", "1.984", "-0.830", "1000.000"));
    ASSERT_EQ(doc.RowCount(2), 6);
    EXPECT_THAT(doc.RowTexts(2, 6), ElementsAre("", "", "", ""));
    // Row 3's old text and second paragraph are gone; its alignment and colour carry
    // over to the written text and to every appended row.
    for (int r = 3; r <= 6; ++r) {
        const auto first = doc.Cells(2, r).front();
        EXPECT_EQ(CDocxReadBack::Nodes(first, "*[local-name()='p']").size(), 1u) << r;
        EXPECT_EQ(CDocxReadBack::Nodes(first, ".//*[local-name()='jc']").size(), 1u) << r;
        EXPECT_EQ(CDocxReadBack::Nodes(first, ".//*[local-name()='color']").size(), 1u) << r;
    }

    // A template saved as a document, with properties that carry the title.
    EXPECT_THAT(doc.Package().Get("[Content_Types].xml"), HasSubstr("wordprocessingml.document.main+xml"));
    EXPECT_THAT(doc.Package().Get("[Content_Types].xml"), ::testing::Not(HasSubstr("template.main+xml")));
    EXPECT_THAT(doc.Package().Get("_rels/.rels"), HasSubstr("core-properties"));
    EXPECT_EQ(doc.Title(), "Поверка " + kWhen);
}

TEST_F(AwkwardTemplate, EmptyBookmarkGetsARunInTheFormattingBeforeIt)
{
    const std::string xml = std::string("<w:document xmlns:w=\"") + kWordNs +
                            "\"><w:body><w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Дата:</w:t></w:r>"
                            "<w:bookmarkStart w:id=\"1\" w:name=\"Дата_Протокола\"/><w:bookmarkEnd w:id=\"1\"/>"
                            "<w:r><w:t>.</w:t></w:r></w:p><w:tbl><w:tr><w:tc><w:p/></w:tc></w:tr></w:tbl>"
                            "</w:body></w:document>";
    CMainTables tables;
    const std::string out = Path("out.docx");
    WriteProtocolReport(tables, PAGE_SET_POINTS, MakeTemplate("point.docx", xml, true), out, kWhen);
    const CDocxReadBack doc(out);
    const auto paragraph = doc.Doc().document_element().first_child().first_child();
    EXPECT_EQ(CDocxReadBack::Text(paragraph), "Дата:" + kWhen + ".");
    EXPECT_EQ(CDocxReadBack::Nodes(paragraph, ".//*[local-name()='b']").size(), 2u);
    EXPECT_EQ(doc.Cell(1, 1, 1), "");   // table 1 of one row: nothing of the grid fits
}
}
