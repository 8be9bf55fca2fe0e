// vq7ctl verify and calibrate end to end: the rig's flow follows --set-flow,
// and the errors of the meters fall once the pairs are written.
#include "CtlFixture.h"
#include "support/DocxReadBack.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <cstdio>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
class Vq7ctlSeries : public CtlFixture {
protected:
    void SetUp() override
    {
        StartRig(false);
        m_flowFile = TempDir() / "flow";
        m_reference = TempDir() / "reference.txt";
        m_rig->SetReferenceFile(m_reference.string());
        // The command writes the flow; this thread sets the rig to it.
        m_poller = std::thread([this] {
            std::string last;
            while (!m_stop) {
                std::ifstream in(m_flowFile);
                std::string flow;
                if (std::getline(in, flow) && !flow.empty() && flow != last) {
                    m_rig->SetFlow(std::stod(flow));
                    last = flow;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    void TearDown() override
    {
        m_stop = true;
        m_poller.join();
        CtlFixture::TearDown();
    }

    std::vector<std::string> Series(const std::string& command, const std::string& points)
    {
        const std::string setFlow = "w() { echo \"$1\" >" + m_flowFile.string() + "; sleep 0.2; }; w";
        return {command, "--meters", "11000002:65,11000004:40", "--points", points, "--ge-file",
                m_reference.string(), "--set-flow", setFlow, "--dir", TempDir().string()};
    }

    // Largest |error| in the verification table of the JSON output (first cell of a row: Ge).
    static double WorstError(const std::string& json)
    {
        const auto table = json.find("\"verification\":[");
        EXPECT_NE(table, std::string::npos) << json;
        double worst = 0;
        int cells = 0;
        for (auto row = json.find("[\"", table); row != std::string::npos; row = json.find("[\"", row + 1)) {
            std::istringstream in(json.substr(row + 2, json.find(']', row) - row - 3));
            std::string cell, ge;
            std::getline(in, ge, '"');
            if (ge.empty() || ge.find_first_not_of("0123456789.-") != std::string::npos)
                continue;   // header rows and the empty last row
            while (std::getline(in, cell, '"')) {
                if (cell == ",")
                    continue;
                char* end = nullptr;
                const double v = std::strtod(cell.c_str(), &end);
                if (!cell.empty() && end != cell.c_str() && *end == '\0') {
                    worst = std::max(worst, std::fabs(v));
                    ++cells;
                }
            }
        }
        EXPECT_GT(cells, 0) << json;
        return worst;
    }

    std::filesystem::path m_flowFile, m_reference;
    std::atomic<bool> m_stop{false};
    std::thread m_poller;
};
}

TEST_F(Vq7ctlSeries, CalibrationWithWritingMakesTheVerificationErrorsFall)
{
    auto args = Series("verify", "12,4");
    args.insert(args.begin(), "--json");
    ProcessResult before = Ctl(args);
    ASSERT_EQ(0, before.exitCode) << before.err;

    auto write = Series("calibrate", "20,12,6,2");
    write.push_back("--write");
    ProcessResult cal = Ctl(write);
    ASSERT_EQ(0, cal.exitCode) << cal.err;
    EXPECT_THAT(cal.out, HasSubstr("Градуировка: измерения"));
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "Log" / "11000004.dat"));
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "BACKUP"));
    EXPECT_EQ(4u, Meter(11000004).Pairs().size());
    // Every message names vq7ctl, the window's own box as much as the pair table's.
    EXPECT_THAT(cal.err, HasSubstr("vq7ctl: Градуировочные пары и настроечные параметры записаны"));
    std::istringstream lines(cal.err);
    for (std::string line; std::getline(lines, line);)
        for (const char* stranger : {"vq7station:", "Ошибка:", "Предупреждение:", "Информация:"})
            EXPECT_THAT(line, Not(StartsWith(stranger))) << cal.err;

    ProcessResult after = Ctl(args);
    ASSERT_EQ(0, after.exitCode) << after.err;
    const double worstBefore = WorstError(before.out), worstAfter = WorstError(after.out);
    EXPECT_GT(worstBefore, 0.5) << before.out;   // the hidden error curves are a few per cent
    EXPECT_LT(worstAfter, worstBefore / 2) << before.out << "\n" << after.out;
}

TEST_F(Vq7ctlSeries, InterruptionEndsTheSeriesAndRestoresTheModels)
{
    m_rig->SetIntegrationMs(3000);
    // The flow command has the tool interrupted half a second into the first cycle.
    const std::string interrupt = "(sleep 0.5; kill -INT $PPID) >/dev/null 2>&1 & true";
    ProcessResult r = Ctl({"calibrate", "--meters", "11000002,11000003", "--points", "10,5", "--ge-file",
                           m_reference.string(), "--set-flow", interrupt, "--dir", TempDir().string()});
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("interrupted"));
    EXPECT_THAT(r.out, HasSubstr("Градуировка: измерения")) << "the rows recorded so far are shown";
    EXPECT_EQ(70, Meter(11000002).ParamByte(0));
    EXPECT_EQ(3, Meter(11000003).ParamByte(0));
}

TEST_F(Vq7ctlSeries, LogFilesThatCannotBeWrittenFailTheCommandBeforeAnyWrite)
{
    WriteFileBytes(TempDir() / "Log", "a file where the folder should be");
    const auto held = Meter(11000004).Pairs();
    auto args = Series("calibrate", "10,5");
    args.push_back("--write");
    ProcessResult r = Ctl(args);
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Не удалось записать файл"));
    EXPECT_THAT(r.err, HasSubstr("0 of 2 Log files written"));
    EXPECT_THAT(r.err, HasSubstr("nothing written into the meters"));
    EXPECT_EQ(held.size(), Meter(11000004).Pairs().size());
    EXPECT_THAT(r.out, HasSubstr("Градуировочные пары")) << "the pairs are still shown";
    EXPECT_EQ(70, Meter(11000002).ParamByte(0)) << "the series is ended";
}

TEST_F(Vq7ctlSeries, OnePairIsNeverReportedAsWritten)
{
    auto args = Series("calibrate", "10");
    args.insert(args.end(), {"--cycles", "2", "--write"});
    ProcessResult r = Ctl(args);
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("1 pair formed, a characteristic needs at least 2"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("written into the meters")));
    EXPECT_EQ(5u, Meter(11000004).Pairs().size());
}

TEST_F(Vq7ctlSeries, AMeterLeftOnTheBaseModelIsNamedAndItsKeptModelRestored)
{
    // A series that never ended: its meter is on model 0, its own model kept.
    std::filesystem::create_directories(TempDir() / "BACKUP");
    WriteFileBytes(TempDir() / "BACKUP" / "11000002.model", "70\n");
    ASSERT_EQ(0, Ctl({"param", "set", "11000002", "0", "0"}).exitCode);
    ProcessResult r = Ctl(Series("verify", "10"));
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("meter 11000002 holds the base model 0, its own model kept in"));
    EXPECT_EQ(0, Meter(11000002).ParamByte(0));

    auto args = Series("verify", "10");
    args.push_back("--restore-models");
    r = Ctl(args);
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(70, Meter(11000002).ParamByte(0));
}

TEST_F(Vq7ctlSeries, BadArgumentsAreRefusedBeforeTheBus)
{
    ProcessResult r = Ctl({"verify", "--meters", "11000002", "--points", "abc"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("flow point is not a number: abc"));
    r = Ctl({"calibrate", "--meters", "11000002,11000002", "--points", "1"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_EQ(0u, Meter(11000002).CommandCount(0x09));
}

TEST_F(Vq7ctlSeries, VerifyReportHoldsTheTablesAsPrinted)
{
    const std::string docx = (TempDir() / "Поверка.docx").string(), csv = (TempDir() / "Поверка.csv").string();
    auto args = Series("verify", "12,4");
    args.insert(args.begin(), "--json");
    args.insert(args.end(), {"--report", docx, "--csv", csv});
    ProcessResult r = Ctl(args);
    ASSERT_EQ(0, r.exitCode) << r.err;

    // The rows of the printed table: the used columns of each grid row.
    std::vector<std::vector<std::string>> rows;
    const std::string json = r.out.substr(r.out.find("\"verification\":["));
    const std::regex rowRe(R"(\[((?:"[^"]*",?)+)\])"), cellRe(R"re("([^"]*)")re");
    for (std::sregex_iterator it(json.begin(), json.end(), rowRe), end; it != end; ++it) {
        const std::string inner = (*it)[1];
        rows.emplace_back();
        for (std::sregex_iterator c(inner.begin(), inner.end(), cellRe); c != end; ++c)
            rows.back().push_back((*c)[1]);
    }
    ASSERT_EQ(rows.size(), 5u) << r.out;   // slot numbers, meter numbers, two points, the blank row

    const CDocxReadBack doc(docx);
    const std::string when = doc.BookmarkText("Дата_Протокола");
    EXPECT_TRUE(std::regex_match(when, std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)"))) << when;
    EXPECT_EQ(doc.Title(), "Поверка " + when);
    EXPECT_THAT(doc.RowTexts(1, 2), ::testing::ElementsAre("1", ::testing::Not(""), "11000002", "", "65",
                                                           ::testing::Not("")));
    EXPECT_THAT(doc.RowTexts(1, 3)[2], "11000004");
    EXPECT_EQ(doc.Cell(2, 2, 2), "11000002");
    EXPECT_EQ(doc.Cell(2, 2, 3), "11000004");
    for (int row = 2; row <= 4; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(doc.Cell(2, row + 1, col + 1), rows[row][col]) << row << "," << col;
    EXPECT_EQ(doc.RowCount(2), 6);

    const std::string table = ReadFileBytes(csv);
    EXPECT_EQ(table.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_THAT(table, HasSubstr(rows[2][0] + ";" + rows[2][1] + ";" + rows[2][2] + ";"));
    EXPECT_THAT(table, HasSubstr("Заключение;"));
}

TEST_F(Vq7ctlSeries, ReportWithoutItsTemplateFailsBeforeTheSeries)
{
    auto args = Series("verify", "12");
    const std::string docx = (TempDir() / "r.docx").string();
    args.insert(args.end(), {"--report", docx, "--template", (TempDir() / "нет.docx").string()});
    ProcessResult r = Ctl(args);
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("не найден"));
    EXPECT_FALSE(std::filesystem::exists(docx));
    EXPECT_EQ(0u, Meter(11000002).CommandCount(0x09));
}

namespace {
// A meter judged by EN 1434 class 2 (qp 10, qi 0.4, qs 20, guarded), the
// other by the station's ±2 %; the reference's U 0.3 %.
void WriteJudgementFiles(const std::filesystem::path& data)
{
    std::filesystem::create_directories(data);
    WriteFileBytes(data / "profiles.ini",
                   "[11000002]\nstandard=EN1434\nclass=2\nqp=10\nqi=0.4\nqs=20\nrule=guarded\ntemperature=45\n");
    WriteFileBytes(data / "config.ini",
                   "[REFERENCE]\nname=УПР-1\nserial=0421\ncertificate=С-12/2026\nu=0.3\n");
}

std::string Fixed3(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}
}

TEST_F(Vq7ctlSeries, VerifyJudgesByProfileAndTheCertificateHoldsTheSameNumbers)
{
    WriteJudgementFiles(TempDir() / "data");
    const std::string docx = (TempDir() / "Свидетельство.docx").string(), csv = (TempDir() / "t.csv").string();
    auto args = Series("verify", "12,4");
    args.insert(args.begin(), "--json");
    args.insert(args.end(), {"--cycles", "2", "--report", docx, "--csv", csv});
    ProcessResult r = Ctl(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
    const nlohmann::json out = nlohmann::json::parse(r.out);
    const nlohmann::json& judged = out.at("judgement");
    ASSERT_EQ(judged.size(), 2u) << r.out;
    const nlohmann::json& en = judged[0];
    EXPECT_EQ(en.at("number"), 11000002);
    EXPECT_EQ(en.at("standard"), "EN1434");
    EXPECT_EQ(en.at("rule"), "guarded");
    ASSERT_EQ(en.at("points").size(), 2u);
    EXPECT_EQ(judged[1].at("standard"), "tolerance");

    const CDocxReadBack doc(docx);
    EXPECT_EQ(doc.BookmarkText("Номер_Протокола"), out.at("certificate"));
    EXPECT_EQ(doc.BookmarkText("Эталон"), "УПР-1, зав. № 0421, свидетельство С-12/2026, U = 0.300 % (k = 2)");
    EXPECT_THAT(doc.BookmarkText("Правило"), HasSubstr("11000002: приемка с защитной полосой w = U"));
    EXPECT_THAT(doc.BookmarkText("Профиль"), HasSubstr("11000002: EN 1434, датчик расхода, класс 2, qp 10, qi 0.4"));
    EXPECT_THAT(doc.BookmarkText("Условия"), HasSubstr("11000002: температура воды 45 °C"));
    const std::string verdict = en.at("verdict");
    EXPECT_THAT(doc.BookmarkText("Заключение"), HasSubstr("11000002: " + verdict));
    EXPECT_THAT(verdict, ::testing::AnyOf("соответствует", "не соответствует", "условно"));

    const std::string table = ReadFileBytes(csv);
    EXPECT_THAT(table, HasSubstr("Поверка по точкам"));
    // Table 3 and the CSV: every point as printed, flows ascending (4 then 12).
    for (size_t i = 0; i < 2; ++i) {
        const nlohmann::json& p = en.at("points")[i];
        const double flow = p.at("flow");
        // Class 2 at q: 2 + 0.02 · qp / q; U_ref 0.3 lies under 1/5 of it, so no reduction.
        EXPECT_NEAR(p.at("limit").get<double>(), 2.0 + 0.02 * 10 / flow, 1e-12);
        EXPECT_EQ(p.at("acceptanceLimit").get<double>(), p.at("limit").get<double>());
        const std::vector<std::string> row = doc.RowTexts(3, static_cast<int>(i) + 2);
        ASSERT_EQ(row.size(), 11u);
        EXPECT_EQ(row[0], "11000002");
        EXPECT_EQ(row[2], Fixed3(p.at("error")));
        EXPECT_EQ(row[3], "2");
        EXPECT_EQ(row[4], "0.1500");   // U_ref / 2
        EXPECT_EQ(row[8], Fixed3(p.at("u")));
        EXPECT_EQ(row[9], Fixed3(p.at("limit")));
        EXPECT_EQ(row[10], p.at("verdict"));
        EXPECT_THAT(table, HasSubstr("11000002;EN 1434, датчик расхода, класс 2;guarded;"));
        EXPECT_THAT(table, HasSubstr(";" + Fixed3(p.at("error")) + ";" + Fixed3(p.at("u")) + ";да;" +
                                     Fixed3(p.at("limit")) + ";" + p.at("verdict").get<std::string>()));
    }
    EXPECT_EQ(doc.RowTexts(3, 4)[0], "11000004");   // then the station's meter
}

TEST_F(Vq7ctlSeries, ARefusedProfileStopsTheSeriesBeforeTheBus)
{
    WriteJudgementFiles(TempDir() / "data");
    WriteFileBytes(TempDir() / "data" / "profiles.ini", "[11000002]\nstandard=EN1434\nclass=2\nqp=10\nqi=10\nqs=20\n");
    ProcessResult r = Ctl(Series("verify", "12"));
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("profiles.ini [11000002] qi: qi 10 is not below qp 10"));
    EXPECT_EQ(0u, Meter(11000002).CommandCount(0x09));

    r = Ctl({"profile", "check"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("[11000002] qi"));
    EXPECT_EQ(0, Ctl({"profile", "set", "11000002", "qi", "0.1"}).exitCode);
    r = Ctl({"profile", "show", "11000002"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("flow qi: 0.1..0.11 m3/h, limit ±3.818..±4.000 %"));
}

// One certificate per meter from a real series: each file holds its meter's
// row, column and verdict, with the meter's error as the rig table had it.
TEST_F(Vq7ctlSeries, VerifyPerMeterWritesOneCertificatePerMeter)
{
    WriteJudgementFiles(TempDir() / "data");
    const std::string docx = (TempDir() / "Поверка.docx").string();
    auto args = Series("verify", "12,4");
    args.insert(args.begin(), "--json");
    args.insert(args.end(), {"--report", docx, "--per-meter"});
    const ProcessResult r = Ctl(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
    const nlohmann::json out = nlohmann::json::parse(r.out);
    ASSERT_EQ(out.at("certificates").size(), 2u) << r.out;
    EXPECT_FALSE(std::filesystem::exists(docx));   // no protocol for the rig
    const nlohmann::json& grid = out.at("verification");
    for (size_t i = 0; i < 2; ++i) {
        const nlohmann::json& c = out.at("certificates")[i];
        const std::string number = std::to_string(c.at("number").get<unsigned>());
        EXPECT_EQ(c.at("file"), (TempDir() / ("Поверка-" + number + ".docx")).string());
        const CDocxReadBack doc(c.at("file").get<std::string>());
        EXPECT_EQ(doc.BookmarkText("Номер_Протокола"), c.at("certificate"));
        EXPECT_THAT(c.at("certificate").get<std::string>(), ::testing::EndsWith("-" + number));
        EXPECT_EQ(doc.Cell(1, 2, 3), number);
        EXPECT_EQ(doc.Cell(1, 3, 3), "");
        EXPECT_EQ(doc.Cell(2, 2, 2), number);
        EXPECT_EQ(doc.Cell(2, 2, 3), "");
        EXPECT_EQ(doc.Cell(2, 3, 2), grid[2][i + 1]);   // its error at the first point
        EXPECT_THAT(doc.BookmarkText("Заключение"), StartsWith(number + ": "));
        EXPECT_EQ(doc.Cell(3, 2, 1), number);
    }
}

// A standard changed with its flows in one go; the half-changed section is refused and nothing written.
TEST_F(Vq7ctlSeries, ProfileSetTakesKeyValuePairsTogether)
{
    WriteJudgementFiles(TempDir() / "data");
    const std::filesystem::path file = TempDir() / "data" / "profiles.ini";
    const std::string before = ReadFileBytes(file);
    ProcessResult r = Ctl({"profile", "set", "11000002", "standard=R49", "class=1"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("[11000002] "));
    EXPECT_THAT(r.err, HasSubstr("(nothing written)"));
    EXPECT_EQ(ReadFileBytes(file), before);

    r = Ctl({"profile", "set", "11000002", "standard=R49", "class=1", "q1=0.1", "q3=2.5", "qp=", "qi=", "qs="});
    ASSERT_EQ(0, r.exitCode) << r.err;
    r = Ctl({"--json", "profile", "show", "11000002"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("R49"));
    EXPECT_THAT(ReadFileBytes(file), Not(HasSubstr("qp")));
    EXPECT_THAT(ReadFileBytes(file), HasSubstr("temperature"));   // a key not given stays

    EXPECT_EQ(2, Ctl({"profile", "set", "11000002", "=1"}).exitCode);
    EXPECT_EQ(2, Ctl({"profile", "set", "11000002", "q1=0.1", "q1=0.2"}).exitCode);
    EXPECT_EQ(2, Ctl({"profile", "set", "11000002", "q1"}).exitCode);
}

TEST_F(Vq7ctlSeries, ATemplateWithoutTheCertificateStillGivesTheProtocol)
{
    WriteJudgementFiles(TempDir() / "data");
    // The template as it was before the certificate: no new bookmarks, no table 3.
    const std::string shipped = std::filesystem::path(VQ7CTL_PATH).parent_path() / "Matrix" / "шаблон.docx";
    CZipPackage package = CZipPackage::Load(shipped);
    std::string xml = package.Get("word/document.xml");
    const size_t from = xml.rfind("<w:p>", xml.find("3. Результаты поверки по точкам"));
    const size_t to = xml.find("</w:p>", xml.find("w:name=\"Заключение\"")) + 6;
    ASSERT_NE(from, std::string::npos);
    xml.erase(from, to - from);
    package.Set("word/document.xml", xml);
    const std::string old = (TempDir() / "old.docx").string(), docx = (TempDir() / "r.docx").string();
    package.Save(old);

    auto args = Series("verify", "12");
    args.insert(args.end(), {"--report", docx, "--template", old});
    ProcessResult r = Ctl(args);
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("в шаблоне нет закладки \"Номер_Протокола\""));
    EXPECT_THAT(r.err, HasSubstr("в шаблоне нет таблицы 3 точек поверки (заголовок и пустая строка): 2 точек не вошли"));
    const CDocxReadBack doc(docx);
    EXPECT_EQ(doc.Tables().size(), 2u);
    EXPECT_EQ(doc.Cell(2, 2, 2), "11000002");
    EXPECT_FALSE(doc.Cell(2, 3, 2).empty());
}
