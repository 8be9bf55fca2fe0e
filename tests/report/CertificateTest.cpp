// The certificate from a judged verification on the project's template: the
// wording of a point of one cycle, as found beside as left, one certificate
// per meter, and the PDF through the real LibreOffice when it is installed.
#include "ReportFixture.h"
#include "report/Certificate.h"
#include "report/MeterCertificates.h"
#include "report/PdfExport.h"
#include "report/ReportError.h"
#include "support/DocxReadBack.h"
#include "workstation/PointVerdicts.h"
#include "workstation/ProfileFile.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdio>
#include <fstream>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
const std::string kWhen = "10.12.2026 11:45:12";

class CertificateTest : public ReportDirTest {
protected:
    void SetUp() override
    {
        ReportDirTest::SetUp();
        FillSampleTables(m_tables);
        m_tables.StringGrid3.SetCell(2, 2, "-1.043");   // 11000004 within ±2 %
        // 11000002 by EN 1434 class 2; the others by the station's ±2 %.
        std::ofstream(Path("profiles.ini")) << "[11000002]\nstandard=EN1434\nclass=2\nqp=10\nqi=0.4\nqs=30\n";
        std::string error;
        ASSERT_TRUE(m_profiles.Load(Path("profiles.ini"), 2.0, error)) << error;
        m_reference.name = "УПР-1";
        m_reference.u = 0.3;
        m_reference.uGiven = true;
    }
    std::vector<MeterJudgement> Judge(const CMainTables& t) const
    {
        return JudgeVerification(t.StringGrid3, m_profiles, m_reference);
    }
    CDocxReadBack Make(const CertificateContent& c, const CMainTables& t, const std::string& name = "c.docx")
    {
        EXPECT_THAT(WriteVerificationCertificate(t, c, VQ7_TEMPLATE_PATH, Path(name), kWhen), ::testing::IsEmpty());
        return CDocxReadBack(Path(name));
    }
    CMainTables m_tables;
    CProfileSet m_profiles;
    ReferenceInstrument m_reference;
};

// Table 3's repeatability column: 6th cell; U the 9th.
TEST_F(CertificateTest, APointOfOneCycleSaysItsRepeatabilityWasNotEvaluated)
{
    const std::vector<MeterJudgement> judged = Judge(m_tables);
    const CDocxReadBack doc = Make({"ВЯ7-1", judged, m_reference}, m_tables);
    const std::vector<std::string> row = doc.RowTexts(kPointsTable, 2);
    ASSERT_EQ(row.size(), 11u);
    EXPECT_EQ(row[0], "11000002");
    EXPECT_EQ(row[3], "1");
    EXPECT_EQ(row[5], "не оценена (1 цикл)");
    EXPECT_THAT(row[8], StartsWith("≥"));   // a lower bound
    EXPECT_THAT(doc.BookmarkText(kRuleBookmark), HasSubstr("повторяемость не оценена (один цикл"));

    // Two cycles at 25 m3/h: their repeatability is a number, the point at 3 m3/h still one cycle.
    CMainTables two = m_tables;
    two.StringGrid3.SetRowCount(6);
    two.StringGrid3.SetRowCells(4, two.StringGrid3.RowCells(3));
    two.StringGrid3.SetRowCells(3, {"25.1", "2.600", "-2.000", "-0.600"});
    const std::vector<MeterJudgement> twice = Judge(two);
    const CDocxReadBack doc2 = Make({"ВЯ7-2", twice, m_reference}, two, "two.docx");
    const std::vector<std::string> flows3 = doc2.RowTexts(kPointsTable, 2), flows25 = doc2.RowTexts(kPointsTable, 3);
    EXPECT_EQ(flows3[3], "1");
    EXPECT_EQ(flows3[5], "не оценена (1 цикл)");
    EXPECT_EQ(flows25[3], "2");
    EXPECT_EQ(flows25[5], "0.0320");   // s = 0.064 / √2 of 2.664 and 2.600, over √2
    EXPECT_THAT(flows25[8], Not(StartsWith("≥")));
}

TEST_F(CertificateTest, AsFoundStandsBesideAsLeft)
{
    CMainTables before = m_tables;
    before.StringGrid3.SetRowCells(2, {"25.0074", "4.100", "-2.043", "-0.609"});   // 11000004 outside ±2 % as found
    const std::vector<MeterJudgement> found = Judge(before), left = Judge(m_tables);
    CertificateContent c{"ВЯ7-3", left, m_reference};
    c.asFound = &found;
    c.asFoundSeries = 5;
    c.asLeftSeries = 7;
    const CDocxReadBack doc = Make(c, m_tables);
    EXPECT_THAT(doc.BookmarkText(kVerdictBookmark), HasSubstr("11000002: после градуировки (серия 7): не соответствует"));
    EXPECT_THAT(doc.BookmarkText(kVerdictBookmark), HasSubstr("; до градуировки (серия 5): не соответствует"));
    EXPECT_THAT(doc.BookmarkText(kVerdictBookmark),
                HasSubstr("11000004: после градуировки (серия 7): годен; до градуировки (серия 5): не годен"));
    // Each meter's points as found, then as left.
    std::vector<std::string> marks, errors;
    for (int r = 2; r < doc.RowCount(kPointsTable); ++r) {
        marks.push_back(doc.Cell(kPointsTable, r, 1));
        errors.push_back(doc.Cell(kPointsTable, r, 3));
    }
    EXPECT_THAT(marks, ElementsAre("11000002 до", "11000002 до", "11000002 после", "11000002 после", "11000004 до",
                                   "11000004 до", "11000004 после", "11000004 после", "11000007 до", "11000007 до",
                                   "11000007 после", "11000007 после"));
    EXPECT_EQ(errors[1], "4.100");   // 25 m3/h as found
    EXPECT_EQ(errors[3], "2.664");   // and as left
}

TEST_F(CertificateTest, OneCertificatePerMeterHoldsThatMeterAlone)
{
    const std::vector<MeterJudgement> judged = Judge(m_tables);
    const CertificateContent c{"ВЯ7-4", judged, m_reference};
    const std::vector<MeterCertificateFile> files =
        WriteMeterCertificates(m_tables, c, VQ7_TEMPLATE_PATH, Path("Поверка.docx"), kWhen);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].path, Path("Поверка-11000004.docx"));
    EXPECT_EQ(files[1].certificate, "ВЯ7-4-11000004");
    EXPECT_THAT(Files(), ::testing::UnorderedElementsAre("profiles.ini", "Поверка-11000002.docx",
                                                         "Поверка-11000004.docx", "Поверка-11000007.docx"));
    const CDocxReadBack doc(files[1].path);
    EXPECT_EQ(doc.BookmarkText(kCertificateNumberBookmark), "ВЯ7-4-11000004");
    EXPECT_EQ(doc.Cell(1, 2, 3), "11000004");   // the set points: this meter in the first row
    EXPECT_EQ(doc.Cell(1, 3, 3), "");
    EXPECT_EQ(doc.Cell(2, 2, 2), "11000004");   // the errors: its column first, no other
    EXPECT_EQ(doc.Cell(2, 3, 2), "-1.043");
    EXPECT_EQ(doc.Cell(2, 2, 3), "");
    EXPECT_EQ(doc.BookmarkText(kVerdictBookmark), "11000004: годен");
    for (int r = 2; r < doc.RowCount(kPointsTable); ++r)
        EXPECT_EQ(doc.Cell(kPointsTable, r, 1), "11000004");
    EXPECT_EQ(doc.RowCount(kPointsTable), 2 + 2);

    // A template that cannot be read leaves none of them.
    for (const MeterCertificateFile& f : files)
        std::filesystem::remove(f.path);
    EXPECT_THROW(WriteMeterCertificates(m_tables, c, Path("нет.docx"), Path("x.docx"), kWhen), EReportError);
    EXPECT_THAT(Files(), ElementsAre("profiles.ini"));
}

std::string PdfText(const std::string& pdf)
{
    std::string text;
    if (std::FILE* p = ::popen(("pdftotext '" + pdf + "' - 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            text.append(buf, n);
        ::pclose(p);
    }
    return text;
}

TEST_F(CertificateTest, PdfOfTheCertificateThroughLibreOffice)
{
    if (FindOffice().empty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const std::vector<MeterJudgement> judged = Judge(m_tables);
    const std::vector<MeterCertificateFile> files = WriteMeterCertificates(
        m_tables, {"ВЯ7-5", judged, m_reference}, VQ7_TEMPLATE_PATH, Path("Поверка 10.12.docx"), kWhen);
    const std::string pdf = PdfPathOf(files[0].path);
    ConvertDocxToPdf(files[0].path, pdf);
    ASSERT_TRUE(std::filesystem::exists(pdf));
    const std::string text = PdfText(pdf);
    EXPECT_THAT(text, HasSubstr("11000002"));
    EXPECT_THAT(text, HasSubstr("не соответствует"));
    EXPECT_THAT(text, HasSubstr("ВЯ7-5-11000002"));
    EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));
}

TEST_F(CertificateTest, PdfRefusedClearlyWithoutTheOfficeProgramOrWhenItHangs)
{
    const std::string docx = Path("c.docx");
    const std::vector<MeterJudgement> judged = Judge(m_tables);
    Make({"ВЯ7-6", judged, m_reference}, m_tables);
    try {
        ConvertDocxToPdf(docx, Path("c.pdf"), 10, Path("нет-soffice"));
        FAIL() << "converted without an office program";
    } catch (const EReportError& e) {
        EXPECT_THAT(e.what(), HasSubstr("LibreOffice (soffice) не найден"));
    }
    // An office program that never ends is stopped at the time limit.
    const std::string hang = Path("hang.sh");
    std::ofstream(hang) << "#!/bin/sh\nsleep 30\n";
    std::filesystem::permissions(hang, std::filesystem::perms::owner_all);
    const auto start = std::chrono::steady_clock::now();
    try {
        ConvertDocxToPdf(docx, Path("c.pdf"), 1, hang);
        FAIL() << "a hanging office program gave a PDF";
    } catch (const EReportError& e) {
        EXPECT_THAT(e.what(), HasSubstr("не закончил за 1 с"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // One that ends without a PDF.
    const std::string idle = Path("idle.sh");
    std::ofstream(idle) << "#!/bin/sh\necho no document >&2\nexit 0\n";
    std::filesystem::permissions(idle, std::filesystem::perms::owner_all);
    try {
        ConvertDocxToPdf(docx, Path("c.pdf"), 10, idle);
        FAIL() << "no PDF reported as made";
    } catch (const EReportError& e) {
        EXPECT_THAT(e.what(), HasSubstr("no document"));
    }
    EXPECT_FALSE(std::filesystem::exists(Path("c.pdf")));
}
}
