// Templates the report cannot use: a clear message naming what is wrong, and
// no file (nor a temporary one) left behind.
#include "ReportFixture.h"
#include "report/ProtocolReport.h"
#include "report/ReportError.h"
#include "workstation/WindowState.h"

#include <gmock/gmock.h>

#include <fstream>
#include <functional>
#include <iterator>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
class TemplateErrors : public ReportDirTest {
protected:
    std::string Body(const std::string& inner)
    {
        return std::string("<w:document xmlns:w=\"") + kWordNs + "\"><w:body>" + inner + "</w:body></w:document>";
    }
    std::string Raw(const std::string& name, const std::string& bytes)
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
};

const std::string kBookmark =
    "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"Дата_Протокола\"/><w:bookmarkEnd w:id=\"0\"/></w:p>";
const std::string kRow = "<w:tr><w:tc><w:p/></w:tc><w:tc><w:p/></w:tc></w:tr>";
const std::string kTable = "<w:tbl>" + kRow + kRow + kRow + "</w:tbl>";

TEST_F(TemplateErrors, NameWhatIsMissingAndLeaveNoFile)
{
    std::ifstream in(VQ7_TEMPLATE_PATH, std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(good.size(), 1000u);

    struct Case {
        const char* name;
        std::function<std::string()> make;
        int page;
        const char* message;
    };
    const Case cases[] = {
        {"missing", [&] { return Path("nowhere.docx"); }, PAGE_VERIFICATION, "не найден"},
        {"not a zip", [&] { return Raw("text.docx", "это не документ"); }, PAGE_VERIFICATION, "поврежден"},
        {"cut short", [&] { return Raw("cut.docx", good.substr(0, good.size() / 2)); }, PAGE_VERIFICATION,
         "поврежден"},
        {"no document part",
         [&] {
             CZipPackage p;
             p.Set("readme.txt", "x");
             p.Save(Path("empty.docx"));
             return Path("empty.docx");
         },
         PAGE_SET_POINTS, "нет текста документа"},
        {"document not XML", [&] { return MakeTemplate("bad.docx", "<w:document><w:body>"); }, PAGE_SET_POINTS,
         "word/document.xml повреждена"},
        {"no bookmark", [&] { return MakeTemplate("nobm.docx", Body(kTable + kTable)); }, PAGE_VERIFICATION,
         "нет закладки «Дата_Протокола»"},
        {"no table 1", [&] { return MakeTemplate("notab.docx", Body(kBookmark)); }, PAGE_SET_POINTS,
         "нет таблицы 1"},
        {"no table 2", [&] { return MakeTemplate("onetab.docx", Body(kBookmark + kTable)); }, PAGE_CALIBRATION,
         "нет таблицы 2"},
        {"short table 2",
         [&] { return MakeTemplate("short.docx", Body(kBookmark + kTable + "<w:tbl>" + kRow + kRow + "</w:tbl>")); },
         PAGE_VERIFICATION, "трех строк"},
    };
    CMainTables tables;
    FillSampleTables(tables);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tpl = c.make();
        const auto before = Files();
        const std::string out = Path("out.docx");
        try {
            WriteProtocolReport(tables, c.page, tpl, out, "01.01.2027 00:00:00");
            ADD_FAILURE() << "no error";
        } catch (const EReportError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.message));
        }
        EXPECT_EQ(Files(), before);
    }
}

TEST_F(TemplateErrors, UnwritableFolderGivesAMessageAndKeepsTheOldReport)
{
    CMainTables tables;
    EXPECT_THROW(WriteProtocolReport(tables, PAGE_SET_POINTS, VQ7_TEMPLATE_PATH, Path("no/such/folder/r.docx"), "x"),
                 EReportError);
    // A report that exists is replaced whole or not at all.
    const std::string out = Path("r.docx");
    std::ofstream(out) << "old";
    WriteProtocolReport(tables, PAGE_SET_POINTS, VQ7_TEMPLATE_PATH, out, "x");
    EXPECT_THAT(Files(), ElementsAre("r.docx"));
    EXPECT_NO_THROW(CZipPackage::Load(out));
}
}
