// vq7ctl end to end over a loopback gateway: identification, parameters,
// pairs, backups, single commands, raw frames and failures.
#include "CtlFixture.h"
#include "support/HostilePairFiles.h"
#include "support/RefusingPort.h"

#include "common/NumberText.h"
#include "sim/Faults.h"

#include "common/Cp1251.h"
#include "protocol/vq7prot/Vq7comm.h"

#include <gmock/gmock.h>

#include <regex>
#include <sstream>

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
class Vq7ctlTcp : public CtlFixture {
protected:
    void SetUp() override { StartRig(false); }
};

std::vector<SimPair> Pairs(std::initializer_list<std::pair<float, float>> list)
{
    std::vector<SimPair> v;
    for (auto [gi, ge] : list)
        v.push_back({gi, ge});
    return v;
}

void ExpectPairs(const std::vector<SimPair>& expected, const std::vector<SimPair>& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].gi, actual[i].gi) << i;
        EXPECT_EQ(expected[i].ge, actual[i].ge) << i;
    }
}
}

TEST_F(Vq7ctlTcp, IdentifyPrintsEveryFieldAsTextAndJson)
{
    ProcessResult r = Ctl({"identify", "11000004", "11000005"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Счетчик № 11000004: result 0 (успешно)"));
    EXPECT_THAT(r.out, HasSubstr("m_sModel        \"ФЖ-7\""));
    EXPECT_THAT(r.out, HasSubstr("m_sFullVersion  \"03.07.02\""));
    EXPECT_THAT(r.out, HasSubstr("m_sType         \"DZW3\""));

    r = Ctl({"--json", "identify", "11000001"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(1, std::count(r.out.begin(), r.out.end(), '\n')) << "one document";
    EXPECT_THAT(r.out, StartsWith("{\"command\":\"identify\",\"meters\":[{\"number\":11000001,\"result\":0,"));
    for (const char* field : {"m_nParam0", "m_sModel", "m_sVersion", "m_sFullVersion", "m_sDateTime", "m_sType",
                              "m_sIdText", "m_fVersion", "m_fFullVersion", "m_dwDevWordA", "m_dwFeatures",
                              "m_dwDevWordB", "m_bIdFlag"})
        EXPECT_THAT(r.out, HasSubstr(std::string("\"") + field + "\":")) << field;
    EXPECT_THAT(r.out, HasSubstr("\"m_sModel\":\"ВЯ-7П\""));
    EXPECT_THAT(r.out, HasSubstr("\"m_sType\":\"VQ7I\""));
    EXPECT_THAT(r.out, HasSubstr("\"m_fFullVersion\":4.0201"));
    EXPECT_THAT(r.out, HasSubstr("\"m_dwDevWordA\":285212673"));   // 0x11000001
}

TEST_F(Vq7ctlTcp, ParametersOfEveryKind)
{
    ProcessResult r = Ctl({"param", "set", "11000004", "70", "1,5"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(1.5f, Meter(11000004).ParamFloat(70));
    r = Ctl({"param", "get", "11000004", "70"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("1.5\n", r.out);

    ASSERT_EQ(0, Ctl({"param", "set", "11000004", "40", "1A", "1"}).exitCode);
    EXPECT_EQ((std::array<uint8_t, 4>{0x1A, 0, 0, 0}), Meter(11000004).ParamBytes(40));
    r = Ctl({"--json", "param", "get", "11000004", "40", "1"});
    EXPECT_THAT(r.out, HasSubstr("\"kind\":1,\"result\":0,\"value\":\"0000001A\""));

    ASSERT_EQ(0, Ctl({"param", "set", "11000004", "0", "9"}).exitCode);
    EXPECT_EQ(9, Meter(11000004).ParamByte(0));
    EXPECT_EQ("9\n", Ctl({"param", "get", "11000004", "0"}).out);

    r = Ctl({"param", "set", "11000004", "70", "abc"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("'abc'"));
    EXPECT_EQ(1.5f, Meter(11000004).ParamFloat(70));
    EXPECT_EQ(2, Ctl({"param", "get", "11000004", "70", "4"}).exitCode);
}

TEST_F(Vq7ctlTcp, PairsWrittenFromAnyLayoutAndReadBackInTheTableLayout)
{
    const auto dir = TempDir();
    // The export layout: tab separated, upper-case exponents.
    WriteFileBytes(dir / "in.dat", "   \t   Gi    \t   Ge    \r\n  0\t 5.000000E-01\t 5.200000E-01\r\n"
                                   "  1\t 1.000000E+01\t 1.010000E+01");
    ProcessResult r = Ctl({"pairs", "write", "11000004", (dir / "in.dat").string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    ExpectPairs(Pairs({{0.5f, 0.52f}, {10.0f, 10.1f}}), Meter(11000004).Pairs());

    r = Ctl({"pairs", "read", "11000004", "--out", (dir / "out.dat").string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::string table = "градуировочные пары прошитые в прибор\n N       Gi            Ge\n"
                              "  0   5.000000e-01   5.200000e-01\n  1   1.000000e+01   1.010000e+01";
    EXPECT_EQ(table + "\n", r.out);
    std::string crlf;
    for (char c : table)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Utf8ToCp1251(crlf), ReadFileBytes(dir / "out.dat"));

    r = Ctl({"--json", "pairs", "read", "11000004"});
    EXPECT_THAT(r.out, HasSubstr("\"pairs\":[{\"Gi\":0.5,\"Ge\":0.52},{\"Gi\":10,\"Ge\":10.1}]"));

    // A file whose Gi decrease never reaches the meter.
    WriteFileBytes(dir / "bad.dat", " 0 1 1\n 1 3 3\n 2 2 2\n");
    r = Ctl({"pairs", "write", "11000004", (dir / "bad.dat").string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("немонотонность Gi"));
    ExpectPairs(Pairs({{0.5f, 0.52f}, {10.0f, 10.1f}}), Meter(11000004).Pairs());
}

TEST_F(Vq7ctlTcp, BackupAndRestore)
{
    const auto dir = TempDir() / "BACKUP";
    const std::vector<SimPair> original = Meter(11000004).Pairs();
    ASSERT_GE(original.size(), 2u);
    ProcessResult r = Ctl({"backup", "11000004", "11000002", "--dir", dir.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "11000004.dat"));
    EXPECT_TRUE(std::filesystem::exists(dir / "11000002.dat"));

    Meter(11000004).SetPairs(Pairs({{1, 2}, {3, 4}, {5, 6}}));
    r = Ctl({"restore", "11000004", "--dir", dir.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    ExpectPairs(original, Meter(11000004).Pairs());

    // A heat meter of type VQ7I holds no pairs: nothing to back up.
    r = Ctl({"--json", "backup", "11000001", "--dir", dir.string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("nothing to back up"));
    EXPECT_THAT(r.out, HasSubstr("\"result\":-1,\"pairs\":0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "11000001.dat"));
    // No backup file: nothing is written.
    r = Ctl({"restore", "11000010", "--dir", dir.string()});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("Нет файла с заданием параметров"));
}

TEST_F(Vq7ctlTcp, ACutWriteAndTheTableItLeavesHaveAnExitOfTheirOwn)
{
    const auto dir = TempDir() / "BACKUP";
    ASSERT_EQ(0, Ctl({"backup", "11000004", "--dir", dir.string()}).exitCode);
    const std::string good = ReadFileBytes(dir / "11000004.dat");

    // The switch goes off after the count: the meter holds the new count over unwritten slots.
    Meter(11000004).SetPairs(Pairs({{1e30f, 1e30f}, {1e30f, 1e30f}, {1e30f, 1e30f}}));
    Meter(11000004).AddFault(*ParseFaultRule("refuse:cmd=42"));
    WriteFileBytes(TempDir() / "new.dat", "1 1 1\n2 2 2\n3 3 3\n");
    ProcessResult r = Ctl({"pairs", "write", "11000004", (TempDir() / "new.dat").string()});
    EXPECT_EQ(3, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("meter 11000004 now holds an incomplete characteristic (0 of 3 pairs written)"));
    EXPECT_THAT(r.err, HasSubstr("vq7ctl restore 11000004"));
    Meter(11000004).ClearFaults();

    r = Ctl({"pairs", "read", "11000004"});
    EXPECT_EQ(3, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("incomplete characteristic"));
    r = Ctl({"backup", "11000004", "--dir", dir.string()});
    EXPECT_EQ(3, r.exitCode);
    EXPECT_EQ(good, ReadFileBytes(dir / "11000004.dat")) << "the good backup stays";
    ASSERT_TRUE(std::filesystem::is_directory(dir / "history"));
    EXPECT_FALSE(std::filesystem::is_empty(dir / "history"));
    ASSERT_EQ(0, Ctl({"restore", "11000004", "--dir", dir.string()}).exitCode);
    EXPECT_EQ(0, Ctl({"pairs", "read", "11000004"}).exitCode);
}

TEST_F(Vq7ctlTcp, PairFilesThatLoseLinesAreRefusedUnlessForced)
{
    std::string text;
    for (int i = 0; i < 254; ++i)
        text += FormatC("%d %d %d\r", i, i + 1, i + 1);   // CR-only line ends
    WriteFileBytes(TempDir() / "many.dat", text + "junk line\r");
    const std::vector<SimPair> before = Meter(11000004).Pairs();
    ProcessResult r = Ctl({"pairs", "write", "11000004", (TempDir() / "many.dat").string()});
    EXPECT_EQ(1, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("204 пар сверх них не прочитаны"));
    EXPECT_THAT(r.err, HasSubstr("не являющиеся парами: 255 (полей 2 вместо 3)"));
    EXPECT_THAT(r.err, HasSubstr("Градуировочные пары из файла не записаны"));
    ExpectPairs(before, Meter(11000004).Pairs());

    r = Ctl({"--json", "pairs", "write", "11000004", (TempDir() / "many.dat").string(), "--force"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Записываются прочитанные пары (50), не записаны: 205."));
    EXPECT_THAT(r.out, HasSubstr("\"dropped\":204"));
    EXPECT_THAT(r.out, HasSubstr("\"skipped\":1"));
    EXPECT_EQ(50u, Meter(11000004).Pairs().size());
}

// Every file that breaks a rule of a pair file or of a characteristic: exit 1,
// the rule named, and the meter holds what it held.
TEST_F(Vq7ctlTcp, HostilePairFilesLeaveTheMeterAsItWas)
{
    const std::vector<SimPair> before = Pairs({{0.5f, 0.52f}, {10, 10.1f}});
    Meter(11000004).SetPairs(before);
    const auto dir = TempDir() / "BACKUP";
    std::filesystem::create_directories(dir);
    for (const HostilePairFile& f : HostilePairFiles()) {
        SCOPED_TRACE(f.name);
        WriteFileBytes(TempDir() / "hostile.dat", f.bytes);
        ProcessResult r = Ctl({"pairs", "write", "11000004", (TempDir() / "hostile.dat").string()});
        EXPECT_EQ(1, r.exitCode) << r.err;
        EXPECT_THAT(r.err, HasSubstr(f.refusal));
        EXPECT_THAT(r.out, Not(HasSubstr("pairs written")));
        ExpectPairs(before, Meter(11000004).Pairs());

        // A backup holding them: put back as it is when a meter can hold it.
        WriteFileBytes(dir / "11000004.dat", f.bytes);
        r = Ctl({"restore", "11000004", "--dir", dir.string()});
        EXPECT_THAT(r.err, HasSubstr(f.refusal));
        if (!f.held) {
            EXPECT_EQ(1, r.exitCode) << r.err;
            ExpectPairs(before, Meter(11000004).Pairs());
            continue;
        }
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_THAT(r.err, HasSubstr("как они были"));
        EXPECT_EQ(static_cast<size_t>(f.pairsLoaded), Meter(11000004).Pairs().size());
        Meter(11000004).SetPairs(before);
    }
}

TEST_F(Vq7ctlTcp, TheFileReadIsTheFileNamed)
{
    const std::vector<SimPair> before = Meter(11000004).Pairs();
    WriteFileBytes(TempDir() / "kept.dar", " 0 1 1\r\n 1 2 2");
    WriteFileBytes(TempDir() / "keptr", " 0 1 1\r\n 1 2 2");
    for (const char* name : {"kept", "kept.txt", "missing.dat"}) {
        const std::string typed = (TempDir() / name).string();
        ProcessResult r = Ctl({"pairs", "write", "11000004", typed});
        EXPECT_EQ(1, r.exitCode) << name;
        EXPECT_THAT(r.err, HasSubstr("Нет файла с заданием параметров: " + typed + " ")) << name;
        ExpectPairs(before, Meter(11000004).Pairs());
    }
    // The editor's copy stands in for a missing .dat, and it is said.
    const std::string typed = (TempDir() / "kept.dat").string();
    ProcessResult r = Ctl({"--json", "pairs", "write", "11000004", typed});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr(typed + " does not exist; read " + (TempDir() / "kept.dar").string()));
    EXPECT_THAT(r.out, HasSubstr("kept.dar\""));
    ExpectPairs(Pairs({{1, 1}, {2, 2}}), Meter(11000004).Pairs());
}

TEST_F(Vq7ctlTcp, StatusCurrentClockAndRestart)
{
    ProcessResult r = Ctl({"--json", "status", "11000004"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"measuring\":false,\"integrating\":false"));

    // Value 8 of a DZW3 up to 03.07.02 arrives byte-swapped; the tool corrects it.
    r = Ctl({"current", "11000005", "8"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_NEAR(10.0, std::stod(r.out), 2.0);
    EXPECT_EQ(2, Ctl({"current", "11000005", "10"}).exitCode);

    r = Ctl({"clock", "11000004"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\n)"))) << r.out;

    r = Ctl({"restart", "11000006"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(1u, Meter(11000006).RestartCount());
}

TEST_F(Vq7ctlTcp, RawPrintsTheAnswerFrame)
{
    ProcessResult r = Ctl({"raw", "11000004", "9"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    // Address 11000004 in packed BCD, command 9, short version "3.20 ".
    EXPECT_THAT(r.out, StartsWith("04 00 00 11 09 33 2E 32 30 20 "));
    EXPECT_EQ(32u * 3, r.out.size());

    r = Ctl({"raw", "11000004", "0x2c", "08"});   // current value 8
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, StartsWith("04 00 00 11 2C "));

    r = Ctl({"raw", "54535251", "0x26"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("(no answer expected)\n", r.out);

    EXPECT_EQ(2, Ctl({"raw", "11000004", "9", "00112233445566778899"}).exitCode);
    EXPECT_EQ(2, Ctl({"raw", "11000004", "9", "0G"}).exitCode);
}

TEST_F(Vq7ctlTcp, FailuresPrintTheResultCodeAndItsMeaning)
{
    ProcessResult r = Ctl({"raw", "11000004", "0x55"});   // a command the meter does not know
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("result 240 (<<<Ошибочная команда IBM PC>>>)"));

    // Texts that are no number never reach the meter.
    r = Ctl({"param", "set", "11000002", "0", "7O"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("result 1001"));
    EXPECT_EQ(70, Meter(11000002).ParamByte(0));
    EXPECT_EQ(1, Ctl({"param", "set", "11000004", "70", "1e39"}).exitCode);
    EXPECT_EQ(2, Ctl({"measure", "11000004", "--ge", "1e400"}).exitCode);

    // Nothing listens on the port: the message names the gateway.
    const RefusingPort refusing;
    const std::string port = refusing.PortText();
    m_connection = {"--ip", "127.0.0.1", "--tcp-port", port};
    r = Ctl({"status", "11000004"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("result 1003 (не удалось подключиться к шлюзу: 127.0.0.1:" + port + ")"));

    // A port name that points at an ordinary file: refused, and the file is never written.
    const auto file = TempDir() / "passwd";
    WriteFileBytes(file, "root:x:0:0\n");
    m_connection = {"--port", file.string()};
    r = Ctl({"status", "11000004"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("result 1003 (не последовательный порт: " + file.string() + ")"));
    EXPECT_EQ("root:x:0:0\n", ReadFileBytes(file));

    EXPECT_EQ(2, Ctl({"frobnicate"}).exitCode);
    EXPECT_EQ(2, Ctl({"identify", "12x"}).exitCode);
    EXPECT_EQ(2, Ctl({"pairs"}).exitCode);
}

TEST_F(Vq7ctlTcp, EightDigitNumbersReachTheirOwnMeter)
{
    // 85012345 beside 05126265, the meter its low 24 bits would address.
    auto rig = std::make_unique<CRig>();
    auto meters = CRig::DefaultMeters();
    meters[3].number = 85012345;
    meters[4].number = 5126265;
    ASSERT_NE(nullptr, rig->AddMeter(meters[3]));
    ASSERT_NE(nullptr, rig->AddMeter(meters[4]));
    StartRig(std::move(rig));

    ProcessResult r = Ctl({"--json", "identify", "85012345"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"number\":85012345,\"result\":0,"));
    EXPECT_GE(Meter(85012345).CommandCount(VQ7_CMD_READ_VERSION), 1u);
    EXPECT_EQ(0u, Meter(5126265).CommandCount(VQ7_CMD_READ_VERSION));

    r = Ctl({"identify", "100000000"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("1..99999999"));
}

TEST_F(Vq7ctlTcp, ConnectionFromASettingsFile)
{
    const auto ini = TempDir() / "config.ini";
    WriteFileBytes(ini, "[CONNECTION]\r\nport=TCP/IP\r\nIP=127.0.0.1\r\nTCPIPport=" +
                            std::to_string(m_server->Port()) + "\r\n");
    ProcessResult r = RunProcess({VQ7CTL_PATH, "--config", ini.string(), "param", "get", "11000004", "0"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    // An option overrides the file.
    const RefusingPort refusing;
    r = RunProcess({VQ7CTL_PATH, "--config", ini.string(), "--tcp-port", refusing.PortText(), "status",
                    "11000004"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_EQ(2, RunProcess({VQ7CTL_PATH, "--config", (TempDir() / "none.ini").string(), "status", "1"}).exitCode);
}

TEST_F(Vq7ctlTcp, TraceFileAndHelp)
{
    const auto trace = TempDir() / "trace.txt";
    ASSERT_EQ(0, Ctl({"--trace", trace.string(), "status", "11000004"}).exitCode);
    const std::string lines = ReadFileBytes(trace);
    EXPECT_THAT(lines, HasSubstr("<< [L= 16, dly="));
    EXPECT_THAT(lines, HasSubstr(">> [L= 32, dly="));

    ProcessResult r = RunProcess({VQ7CTL_PATH, "--help"});
    EXPECT_EQ(0, r.exitCode);
    for (const char* word : {"identify", "param get", "param set", "pairs read", "pairs write", "backup", "restore",
                             "status", "current", "clock", "restart", "measure", "raw", "--config", "--port",
                             "--speed", "--ip", "--tcp-port", "--aux-timeout", "--trace", "--json", "--ge-file"})
        EXPECT_THAT(r.out, HasSubstr(word));
}

TEST_F(Vq7ctlTcp, WritesAreJournalledAndTheJournalIsPrintedByMeter)
{
    const auto dir = TempDir();
    EXPECT_EQ(1, Ctl({"journal"}).exitCode) << "no journal yet";
    const std::string model = std::to_string(Meter(11000002).ParamByte(0));
    const std::string before70 = FormatC("%.7g", static_cast<double>(Meter(11000004).ParamFloat(70)));
    ASSERT_EQ(0, Ctl({"param", "set", "11000004", "70", "1.5"}).exitCode);
    WriteFileBytes(dir / "in.dat", " 0 1 1.5\n 1 2 2.5\n");
    ASSERT_EQ(0, Ctl({"pairs", "write", "11000002", (dir / "in.dat").string()}).exitCode);
    Meter(11000002).AddFault(*ParseFaultRule("storeother:cmd=10:n=1"));
    ProcessResult r = Ctl({"param", "set", "11000002", "0", "4"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("result 1060 (прочитано не то, что записано)"));

    r = Ctl({"journal", "11000002"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d;11000002;[^;]*;([^;]*);([^;]*);([^;]*);([^;]*);(-?\d+))");
    std::istringstream out(r.out);
    std::string header, first, second, extra;
    std::getline(out, header);
    std::getline(out, first);
    std::getline(out, second);
    EXPECT_FALSE(std::getline(out, extra)) << extra;
    EXPECT_EQ("время;номер;модель;операция;было;стало;проверка;результат", header);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first, m, line)) << first;
    EXPECT_EQ("запись пар", m[1].str());
    EXPECT_EQ("1/1.5 2/2.5", m[3].str());
    EXPECT_EQ("совпадает", m[4].str());
    ASSERT_TRUE(std::regex_match(second, m, line)) << second;
    EXPECT_EQ("параметр 0;" + model + ";4;не совпадает: прочитано 5;1060", m[1].str() + ";" + m[2].str() + ";" + m[3].str() +
                                                                   ";" + m[4].str() + ";" + m[5].str());

    r = Ctl({"--json", "journal", "11000004"});
    EXPECT_THAT(r.out, HasSubstr("\"number\":11000004,\"model\":\"\",\"operation\":\"параметр 70\",\"before\":\"" + before70 +
                                 "\",\"after\":\"1.5\",\"readback\":\"совпадает\",\"result\":0}]"));
    EXPECT_THAT(r.out, Not(HasSubstr("11000002")));

    // Read-back switched off for a slow line: the write alone goes on the bus.
    WriteFileBytes(dir / "data" / "config.ini", "[JOURNAL]\nreadback=0\n");
    const unsigned reads = Meter(11000004).CommandCount(VQ7_CMD_READ_PARAM);
    ASSERT_EQ(0, Ctl({"param", "set", "11000004", "70", "2.5"}).exitCode);
    EXPECT_EQ(reads, Meter(11000004).CommandCount(VQ7_CMD_READ_PARAM));
    EXPECT_THAT(Ctl({"journal", "11000004"}).out, HasSubstr(";параметр 70;;2.5;отключена;0\n"));
    EXPECT_EQ(2, Ctl({"journal", "x"}).exitCode);
}
