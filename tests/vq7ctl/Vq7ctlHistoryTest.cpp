// The results store through vq7ctl: a series finds its way into history, its
// tables come back from the store as verify wrote them, and a series killed
// in the middle stays with its completed points, marked interrupted.
#include "CtlFixture.h"

#include "ChildProcess.h"
#include "common/NumberText.h"
#include "report/PdfExport.h"
#include "results/ResultStore.h"
#include "support/DocxReadBack.h"
#include "support/PgServer.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sstream>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

extern char** environ;

namespace {
class Vq7ctlHistory : public CtlFixture {
protected:
    void SetUp() override
    {
        StartRig(false);
        m_reference = TempDir() / "reference.txt";
        m_rig->SetReferenceFile(m_reference.string());
    }
    std::vector<std::string> Verify(const std::string& points)
    {
        return {"verify", "--meters", "11000002:65,11000004:40", "--points", points, "--ge-file",
                m_reference.string(), "--dir", TempDir().string()};
    }
    std::filesystem::path Store() { return TempDir() / "data" / "results.sqlite"; }
    nlohmann::json HistoryJson(const std::vector<std::string>& args, const std::string& database = "")
    {
        std::vector<std::string> a{"--json", "history"};
        if (!database.empty())
            a.insert(a.begin(), {"--database", database});
        a.insert(a.end(), args.begin(), args.end());
        const ProcessResult r = Ctl(a);
        EXPECT_EQ(0, r.exitCode) << r.err;
        return nlohmann::json::parse(r.out, nullptr, false);
    }
    std::filesystem::path m_reference;
};

// The lines without dates: the protocol's own time is when it was made (at the
// time: the moment verify wrote it; from the store: the series' end).
std::vector<std::string> LinesWithoutDate(const std::string& csv)
{
    std::vector<std::string> lines;
    std::stringstream ss(csv);
    for (std::string line; std::getline(ss, line);)
        if (line.find("Дата") == std::string::npos && line.find("дата") == std::string::npos &&
            line.find("Протокол;") == std::string::npos)
            lines.push_back(line);
    return lines;
}
}

TEST_F(Vq7ctlHistory, AVerificationIsKeptAndItsTablesComeBackFromTheStore)
{
    const std::string csv = (TempDir() / "at-the-time.csv").string();
    auto args = Verify("12,4");
    args.insert(args.end(), {"--csv", csv});
    const ProcessResult v = Ctl(args);
    ASSERT_EQ(0, v.exitCode) << v.err;
    EXPECT_THAT(v.out, HasSubstr("results: series 1 in " + Store().string()));

    const nlohmann::json list = HistoryJson({"11000004"});
    ASSERT_TRUE(list["series"].is_array()) << list.dump();
    ASSERT_EQ(list["series"].size(), 1u) << list.dump();
    const nlohmann::json& s = list["series"][0];
    EXPECT_EQ(s["id"], 1);
    EXPECT_EQ(s["kind"], "verification");
    EXPECT_EQ(s["points"], 2);
    EXPECT_EQ(s["state"], "завершена");
    EXPECT_FALSE(s["station"].get<std::string>().empty());
    EXPECT_FALSE(s["operator"].get<std::string>().empty());
    EXPECT_TRUE(s["verdict"] == "годен" || s["verdict"] == "не годен") << s.dump();
    EXPECT_EQ(HistoryJson({"11000001"})["series"].size(), 0u);
    EXPECT_EQ(HistoryJson({"--from", "2000-01-01", "--to", "2000-12-31"})["series"].size(), 0u);

    const std::string again = (TempDir() / "from-the-store.csv").string();
    const ProcessResult h = Ctl({"history", "--series", "1", "--csv", again});
    ASSERT_EQ(0, h.exitCode) << h.err;
    EXPECT_THAT(h.out, HasSubstr("meter 11000002"));
    EXPECT_THAT(ReadFileBytes(again), HasSubstr("11000004"));
    // The tables as verify wrote them, and the judgement by points made again from the store the same.
    const std::vector<std::string> tablesAtTheTime = LinesWithoutDate(ReadFileBytes(csv));
    ASSERT_NE(std::find(tablesAtTheTime.begin(), tablesAtTheTime.end(), "Поверка по точкам\r"), tablesAtTheTime.end());
    EXPECT_EQ(LinesWithoutDate(ReadFileBytes(again)), tablesAtTheTime);

    // Gv is kept beside the error.
    CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, Store().string(), "", Store().string()});
    const auto stored = store.LoadSeries(1);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->points.size(), 2u);
    EXPECT_TRUE(stored->points[0].readings[0].gv.has_value());
    EXPECT_EQ(stored->points[0].setFlow, 12.0);

    const ProcessResult missing = Ctl({"history", "--series", "99"});
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_THAT(missing.err, HasSubstr("no series 99"));
}

TEST_F(Vq7ctlHistory, ASeriesKilledMidwayKeepsItsPointsAndIsInterrupted)
{
    const auto data = TempDir() / "data";
    std::filesystem::create_directories(data);
    ::setenv("VQ7_DATA_DIR", data.c_str(), 1);
    std::vector<std::string> argv{VQ7CTL_PATH};
    argv.insert(argv.end(), m_connection.begin(), m_connection.end());
    for (const std::string& a : Verify("12,10,8,6,4,3,2,1,0.5,0.25,12,10,8,6,4"))
        argv.push_back(a);
    std::vector<char*> raw;
    for (std::string& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(0, posix_spawn(&pid, raw[0], &fa, nullptr, raw.data(), environ));
    posix_spawn_file_actions_destroy(&fa);

    // Killed once some points are in, with others still to come.
    long long points = 0;
    for (int i = 0; i < 600 && points < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!std::filesystem::exists(Store()))
            continue;
        try {
            CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, Store().string(), "", Store().string()});
            const auto ids = store.SeriesIds();
            points = ids.empty() ? 0 : store.PointCount(ids[0]);
        } catch (const std::exception&) {
        }
    }
    ASSERT_EQ(0, ::kill(pid, SIGKILL));
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_GE(points, 2);

    const nlohmann::json list = HistoryJson({});
    ASSERT_EQ(list["series"].size(), 1u) << list.dump();
    EXPECT_EQ(list["series"][0]["state"], "прервана");
    CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, Store().string(), "", Store().string()});
    const long long stored = store.PointCount(list["series"][0]["id"]);
    EXPECT_EQ(list["series"][0]["points"], stored);
    EXPECT_GE(stored, points);
    EXPECT_LT(stored, 15);
    std::string detail;
    EXPECT_TRUE(store.IntegrityOk(detail)) << detail;
}

TEST_F(Vq7ctlHistory, TwoSeriesAtOnceIntoOnePostgreSQLStayApart)
{
    static PgServer pg;
    if (!pg.Available())
        GTEST_SKIP() << "SKIP: PostgreSQL: " << pg.Reason();
    const std::string db = pg.NewDatabase("two" + std::to_string(getpid()));
    auto rig = CRig::DefaultRig();
    rig->SetIntegrationMs(150);
    rig->SetFlow(10.0);
    const auto secondReference = TempDir() / "reference2.txt";
    rig->SetReferenceFile(secondReference.string());
    SimRig second(SimRig::Tcp, std::move(rig));

    const auto data = TempDir() / "data";
    std::filesystem::create_directories(data);
    ::setenv("VQ7_DATA_DIR", data.c_str(), 1);
    auto run = [&](const std::vector<std::string>& connection, const std::string& meter, const std::string& ref,
                   const std::string& dir) {
        std::vector<std::string> argv{VQ7CTL_PATH, "--database", db};
        argv.insert(argv.end(), connection.begin(), connection.end());
        argv.insert(argv.end(), {"verify", "--meters", meter, "--points", "12,8,4", "--ge-file", ref, "--dir", dir});
        return RunProcess(argv, "", 60000);
    };
    ProcessResult a, b;
    std::thread first([&] { a = run(m_connection, "11000002", m_reference.string(), (TempDir() / "a").string()); });
    b = run({"--ip", "127.0.0.1", "--tcp-port", second.Conn().m_sTcpIpPort}, "11000005", secondReference.string(),
            (TempDir() / "b").string());
    first.join();
    ASSERT_EQ(0, a.exitCode) << a.err;
    ASSERT_EQ(0, b.exitCode) << b.err;

    const nlohmann::json list = HistoryJson({}, db);
    ASSERT_EQ(list["series"].size(), 2u) << list.dump();
    const nlohmann::json &s1 = list["series"][0], &s2 = list["series"][1];
    EXPECT_NE(s1["id"], s2["id"]);
    EXPECT_EQ(s1["points"], 3);
    EXPECT_EQ(s2["points"], 3);
    EXPECT_EQ(s1["state"], "завершена");
    EXPECT_EQ(s2["state"], "завершена");
    std::set<uint32_t> meters;
    for (const auto& s : {s1, s2}) {
        ASSERT_EQ(s["meters"].size(), 1u) << s.dump();
        meters.insert(s["meters"][0].get<uint32_t>());
    }
    EXPECT_EQ(meters, (std::set<uint32_t>{11000002, 11000005}));
    EXPECT_EQ(HistoryJson({"11000005"}, db)["series"].size(), 1u);
}

namespace {
// A verification (as found), a calibration and a verification (as left) of
// the same two meters on one day, as the recorder puts them into the store.
long long PutVerification(CResultStore& store, const std::string& uid, const std::string& started,
                          const std::vector<std::pair<double, std::vector<double>>>& points, const std::string& kind)
{
    SeriesRecord s;
    s.station = "rig-7";
    s.uid = uid;
    s.kind = kind;
    s.started = started;
    s.ended = started.substr(0, 11) + "23:00:00";
    s.operatorName = "Иванов";
    s.reference = "УПР-1";
    s.state = SeriesState::Complete;
    store.PutMeters(s, {MeterRecord{0, 11000002, "ВЯ-7П", "04.02", "65"}, MeterRecord{1, 11000004, "ВЯ-7П", "04.02", "40"}});
    int no = 0;
    for (const auto& [ge, gvs] : points) {
        PointRecord p;
        p.pointNo = ++no;
        p.ge = ge;
        p.time = started;
        for (size_t i = 0; i < gvs.size(); ++i) {
            ReadingRecord r;
            r.slot = static_cast<int>(i);
            r.number = i == 0 ? 11000002 : 11000004;
            r.gv = gvs[i];
            r.error = (gvs[i] - ge) / gvs[i] * 100;
            p.readings.push_back(r);
        }
        store.PutPoint(s, p);
    }
    return store.PutSeries(s);
}
}

// The certificate made again from the store: per meter, with the verification
// before the calibration beside it, and as PDF when LibreOffice is there.
TEST_F(Vq7ctlHistory, TheCertificateOfAnAsLeftVerificationShowsItsAsFound)
{
    const auto data = TempDir() / "data";
    std::filesystem::create_directories(data);
    WriteFileBytes(data / "profiles.ini", "[11000002]\nstandard=EN1434\nclass=2\nqp=10\nqi=0.4\nqs=20\n");
    WriteFileBytes(data / "config.ini", "[REFERENCE]\nname=УПР-1\nserial=0421\nu=0.3\n");
    long long found = 0, left = 0;
    {
        CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, Store().string(), "", Store().string()});
        // As found: 11000002 +3.5 % at 12 m3/h (outside ±2.02 %), 11000004 +2.5 % (outside ±2 %).
        found = PutVerification(store, "a", "2026-12-10 09:00:00", {{12, {12.42, 12.3}}, {4, {4.02, 4.0}}},
                                "verification");
        PutVerification(store, "b", "2026-12-10 09:30:00", {{12, {12.42, 12.3}}}, "calibration");
        left = PutVerification(store, "c", "2026-12-10 10:00:00", {{12, {12.06, 12.01}}, {4, {4.01, 4.0}}},
                               "verification");
        ASSERT_EQ(store.LoadSeries(left)->series.asFoundId, found);
    }
    const std::string docx = (TempDir() / "Свидетельство.docx").string();
    std::vector<std::string> args{"--json", "history", "--series", std::to_string(left), "--report", docx,
                                  "--per-meter"};
    const bool office = !FindOffice().empty();
    if (office)
        args.push_back("--pdf");
    const ProcessResult r = Ctl(args);
    ASSERT_EQ(0, r.exitCode) << r.err << r.out;
    const nlohmann::json out = nlohmann::json::parse(r.out);
    EXPECT_EQ(out.at("as_found"), found);
    ASSERT_EQ(out.at("certificates").size(), 2u) << r.out;
    const std::string first = (TempDir() / "Свидетельство-11000002.docx").string();
    EXPECT_EQ(out.at("certificates")[0].at("file"), first);
    const CDocxReadBack doc(first);
    const std::string verdict = doc.BookmarkText("Заключение");
    EXPECT_THAT(verdict, HasSubstr(FormatC("11000002: после градуировки (серия %lld): соответствует", left)));
    EXPECT_THAT(verdict, HasSubstr(FormatC("до градуировки (серия %lld): не соответствует", found)));
    EXPECT_THAT(verdict, Not(HasSubstr("11000004")));
    // The standard's error (Gv - Ge) / Ge of the store's Gv: 3.500 as found at 12 m3/h, 0.500 as left.
    std::vector<std::string> marks, errors;
    for (int row = 2; row < doc.RowCount(3); ++row) {
        marks.push_back(doc.Cell(3, row, 1));
        errors.push_back(doc.Cell(3, row, 3));
    }
    EXPECT_THAT(marks, ElementsAre("11000002 до", "11000002 до", "11000002 после", "11000002 после"));
    EXPECT_THAT(errors, ElementsAre("0.500", "3.500", "0.250", "0.500"));
    const CDocxReadBack second((TempDir() / "Свидетельство-11000004.docx").string());
    EXPECT_THAT(second.BookmarkText("Заключение"), HasSubstr("11000004: после градуировки"));
    EXPECT_THAT(second.BookmarkText("Заключение"), HasSubstr(": годен; до градуировки"));
    EXPECT_THAT(second.BookmarkText("Заключение"), HasSubstr(": не годен"));

    if (!office)
        GTEST_SKIP() << "LibreOffice (soffice) is not installed: the PDF is not checked";
    ASSERT_EQ(out.at("pdf").size(), 2u);
    const std::string pdf = out.at("pdf")[0];
    EXPECT_EQ(pdf, (TempDir() / "Свидетельство-11000002.pdf").string());
    const ProcessResult text = RunProcess({"/usr/bin/env", "pdftotext", pdf, "-"});
    if (text.exitCode != 0)
        GTEST_SKIP() << "pdftotext is not installed";
    EXPECT_THAT(text.out, HasSubstr("11000002"));
    EXPECT_THAT(text.out, HasSubstr("не соответствует"));
}

TEST_F(Vq7ctlHistory, PerMeterAndPdfNeedAReport)
{
    const ProcessResult r = Ctl({"history", "--series", "1", "--pdf"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("--per-meter and --pdf go with --report FILE.docx"));
}

// Without the office program the DOCX stays, the exit is 1 and the reason is given.
TEST_F(Vq7ctlHistory, PdfWithoutLibreOfficeKeepsTheDocxAndSaysWhy)
{
    const auto data = TempDir() / "data";
    std::filesystem::create_directories(data);
    long long left = 0;
    {
        CResultStore store(StoreLocation{StoreLocation::Engine::SQLite, Store().string(), "", Store().string()});
        left = PutVerification(store, "a", "2026-12-10 09:00:00", {{12, {12.06, 12.01}}}, "verification");
    }
    const std::string docx = (TempDir() / "p.docx").string();
    ::setenv("VQ7_SOFFICE", (TempDir() / "no-soffice").c_str(), 1);
    const ProcessResult r =
        Ctl({"--json", "history", "--series", std::to_string(left), "--report", docx, "--per-meter", "--pdf"});
    ::unsetenv("VQ7_SOFFICE");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("LibreOffice (soffice) не найден"));
    const nlohmann::json out = nlohmann::json::parse(r.out);
    ASSERT_EQ(out.at("certificates").size(), 2u) << r.out;
    EXPECT_EQ(out.at("pdf").size(), 0u);
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "p-11000002.docx"));
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "p-11000004.docx"));
    EXPECT_FALSE(std::filesystem::exists(TempDir() / "p-11000002.pdf"));
}
