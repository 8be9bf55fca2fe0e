// Verdicts against the tolerance, the CSV a spreadsheet opens, the date text.
#include "ReportFixture.h"
#include "common/DecimalSeparator.h"
#include "report/ReportDate.h"
#include "report/ResultsCsv.h"
#include "report/Verdicts.h"
#include "workstation/VerificationVerdict.h"

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <regex>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
class SeparatorGuard {
public:
    explicit SeparatorGuard(char sep) : m_old(DecimalSeparator()) { SetDecimalSeparator(sep); }
    ~SeparatorGuard() { SetDecimalSeparator(m_old); }

private:
    char m_old;
};

TEST(Verdicts, EveryErrorOfAColumnCountsAndTheBoundaryPasses)
{
    SeparatorGuard sep(',');
    CTextGrid g(6, 5, 0, 2);
    // column: 1 within, 2 one error beyond, 3 exactly at the limit, 4 no meter,
    // 5 a meter without flow (1000)
    g.SetRowCells(2, {"10", "1,500", "-0,100", "-2,000", "", "1000,000"});
    g.SetRowCells(3, {"3", "-1,999", "-2,001", "2,000", "", "0,000"});
    EXPECT_THAT(VerificationVerdicts(g, 2.0), ElementsAre(EVerdict::None, EVerdict::Pass, EVerdict::Fail,
                                                          EVerdict::Pass, EVerdict::None, EVerdict::Fail));
    EXPECT_THAT(VerificationVerdicts(g, 1.0), ElementsAre(EVerdict::None, EVerdict::Fail, EVerdict::Fail,
                                                          EVerdict::Fail, EVerdict::None, EVerdict::Fail));
    g.SetCell(1, 2, "abc");
    EXPECT_EQ(VerificationVerdicts(g, 2.0)[1], EVerdict::Fail);
}

// The screen colours a cell and the report gives its verdict by one rule: what the
// cell shows, at most the tolerance; exactly at the tolerance passes.
TEST(Verdicts, TheScreenAndTheReportDecideAlikeAtTheBoundary)
{
    SeparatorGuard sep(',');
    struct Case {
        const char* cell;
        double tolerance;
        bool pass;
    };
    const Case cases[] = {
        {"2,000", 2.0, true},   {"-2,000", 2.0, true},  {"2,001", 2.0, false}, {"-2,001", 2.0, false},
        {"2,0004", 2.0, true},  {"0,100", 0.1, true},   {"0,101", 0.1, false}, {"0,300", 0.3, true},
        {"1,5", 1.5, true},     {"0,000", 0.001, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cell) + " at " + std::to_string(c.tolerance));
        const Verdict expected = c.pass ? Verdict::Pass : Verdict::Fail;
        EXPECT_EQ(expected, ErrorCellVerdict(c.cell, c.tolerance));
        CTextGrid g(2, 3, 0, 2);
        g.SetRowCells(2, {"10", c.cell});
        EXPECT_EQ(c.pass ? EVerdict::Pass : EVerdict::Fail, VerificationVerdicts(g, c.tolerance)[1]);
    }
    EXPECT_FALSE(ErrorWithinTolerance(std::numeric_limits<double>::quiet_NaN(), 2.0));
    EXPECT_FALSE(ErrorWithinTolerance(std::numeric_limits<double>::infinity(), 2.0));
}

TEST(ResultsCsv, TheToleranceIsWrittenWithTheOperatorsSeparator)
{
    CMainTables t;
    FillSampleTables(t);
    for (const auto& [sep, text] : {std::pair{',', "Допуск, %;±2,5\r\n"}, std::pair{'.', "Допуск, %;±2.5\r\n"}}) {
        SeparatorGuard guard(sep);
        EXPECT_THAT(ResultsCsv(t, "x", 2.5), HasSubstr(text)) << sep;
    }
}

TEST(ResultsCsv, OpensInASpreadsheetWithCyrillicAndVerdicts)
{
    SeparatorGuard sep('.');
    CMainTables t;
    FillSampleTables(t);
    t.StringGrid1.SetCell(SP_PPR, 1, "A;\"B\"");
    const std::string csv = ResultsCsv(t, "09.12.2026 13:56:19", 3.0);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1);
    EXPECT_THAT(csv, HasSubstr("Протокол;09.12.2026 13:56:19\r\n"));
    EXPECT_THAT(csv, HasSubstr("1;ВЯ-7П;11000002;\"A;\"\"B\"\"\";40;04.02.00\r\n"));
    EXPECT_THAT(csv, ::testing::Not(HasSubstr("\r\n4;;;;;\r\n")));   // empty slots left out
    EXPECT_THAT(csv, HasSubstr("Градуировочные пары\r\nG этал.;1;2;3;4;5;6;7;8;9;10\r\n20;19.71;20.33;20.02;;"));
    EXPECT_THAT(csv, HasSubstr("25.0074;2.664;-2.043;-0.609;;;;;;;\r\n"));
    EXPECT_THAT(csv, HasSubstr("Заключение;годен;годен;не годен;;;;;;;\r\nДопуск, %;±3\r\n"));

    CMainTables empty;
    EXPECT_THAT(ResultsCsv(empty, "x", 2.0), ::testing::Not(HasSubstr("Заключение")));
}

TEST(ReportDate, LocaleFormatsAndTheProgramsOwnForC)
{
    const std::time_t when = 1796823379;   // a fixed moment
    const std::regex dotted(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)");
    EXPECT_TRUE(std::regex_match(ReportDateTimeText(when, "C"), dotted)) << ReportDateTimeText(when, "C");
    EXPECT_TRUE(std::regex_match(ReportDateTimeText(when, "xx_NOWHERE.UTF-8"), dotted));
    EXPECT_TRUE(std::regex_match(ReportFileStamp(when), std::regex(R"(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d)")));
}
}
