// Templates the report cannot use: a clear message naming what is wrong, and
// no file (nor a temporary one) left behind.
#include "ReportFixture.h"
#include "report/ProtocolReport.h"
#include "report/ReportError.h"
#include "support/DocxReadBack.h"
#include "workstation/WindowState.h"

#include <gmock/gmock.h>
#include <zip.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

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

// A template made in the wild may hold entries that, unpacked, would land
// outside the document's folder or be links; the report copies none of them
// and names each in a warning. The rest of the template is used as before.
TEST_F(TemplateErrors, EntriesPointingOutsideThePackageAreLeftOutWithAWarning)
{
    struct Entry {
        const char* name;
        bool link;
        const char* why;   // nullptr: kept
    };
    const Entry entries[] = {
        {"../escape.txt", false, "имя с \"..\""},
        {"word/../../up.xml", false, "имя с \"..\""},
        {"word\\..\\win.xml", false, "имя с \"..\""},
        {"word/media/..", false, "имя с \"..\""},
        {"/etc/absolute.xml", false, "абсолютный путь"},
        {"\\share\\absolute.xml", false, "абсолютный путь"},
        {"C:/absolute.xml", false, "абсолютный путь"},
        {"word/media/link.png", true, "символическая ссылка"},
        {"word/media/two..dots.png", false, nullptr},
        {"word/media/...", false, nullptr},
        {"word/media/real.png", false, nullptr},
    };
    const std::string tpl = Path("wild.docx");
    std::filesystem::copy_file(VQ7_TEMPLATE_PATH, tpl);
    std::vector<std::string> contents;   // libzip reads them when the archive closes
    for (const Entry& e : entries)
        contents.push_back(e.link ? "../../../../etc/passwd" : std::string("bytes of ") + e.name);
    int code = 0;
    zip_t* za = zip_open(tpl.c_str(), 0, &code);
    ASSERT_NE(za, nullptr) << code;
    for (size_t i = 0; i < std::size(entries); ++i) {
        zip_source_t* src = zip_source_buffer(za, contents[i].data(), contents[i].size(), 0);
        const zip_int64_t index = zip_file_add(za, entries[i].name, src, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << entries[i].name << ": " << zip_strerror(za);
        const zip_uint32_t mode = entries[i].link ? S_IFLNK | 0777 : S_IFREG | 0644;
        ASSERT_EQ(zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX, mode << 16),
                  0);
    }
    ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);

    CMainTables tables;
    FillSampleTables(tables);
    const std::string out = Path("out.docx");
    const std::vector<std::string> warnings = WriteProtocolReport(tables, PAGE_VERIFICATION, tpl, out, "02.03.2027 10:00:00");

    za = zip_open(out.c_str(), ZIP_RDONLY, &code);
    ASSERT_NE(za, nullptr) << code;
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
        names.push_back(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
    zip_discard(za);
    size_t leftOut = 0;
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.name);
        if (!e.why) {
            EXPECT_THAT(names, Contains(e.name));
            continue;
        }
        ++leftOut;
        EXPECT_THAT(names, Not(Contains(e.name)));
        EXPECT_THAT(warnings, Contains(std::string("Шаблон отчета ") + tpl + ": часть «" + e.name + "» (" + e.why +
                                       ") не перенесена в отчет"));
    }
    EXPECT_EQ(warnings.size(), leftOut);   // the tables fitted: nothing else to say
    EXPECT_EQ(CDocxReadBack(out).BookmarkText(kReportBookmark), "02.03.2027 10:00:00");
}
}
