// Pairs, parameters, restart and faults of the simulated meters as the
// workstation's command set sees them.
#include "SimFixture.h"

#include "common/NumberText.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {
constexpr uint32_t kFj = 11000004;       // flow meter, pair count commands
constexpr uint32_t kOldVq = 11000003;    // older software: no pair count commands
constexpr uint32_t kDzw3 = 11000005;     // converter without pairs
constexpr uint32_t kDzw4 = 11000006;

std::string F7(float f) { return FormatC("%.7g", f); }

// One attempt of a short-answer command.
unsigned Once(connection& conn, uint32_t number, uint8_t cmd)
{
    uint8_t answer[VQ7_SHORT_ANSWER_SIZE];
    unsigned size = sizeof answer;
    return SendCmd(&conn, number, cmd, nullptr, 0, answer, &size, nullptr);
}
}  // namespace

TEST_F(SimBusTest, PairsWrittenAreReadBackUnchanged)
{
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"0.1", "0.0987"}, {"2.345678", "2.4"}, {"-17.5", "-17.25"}, {"60.00001", "59.7"}};
    ASSERT_EQ(BeginPairWrite(&conn, kFj), 0u);
    ASSERT_EQ(WritePairCount(&conn, kFj, std::to_string(pairs.size())), 0u);
    for (size_t i = 0; i < pairs.size(); ++i)
        ASSERT_EQ(WritePair(&conn, kFj, static_cast<uint8_t>(i), pairs[i].first, pairs[i].second), 0u);

    std::string count;
    ASSERT_EQ(ReadPairCount(&conn, kFj, count), 0u);
    EXPECT_EQ(count, "4");
    const auto held = M(kFj).Pairs();
    ASSERT_EQ(held.size(), pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        std::string gi, ge;
        ASSERT_EQ(ReadPair(&conn, kFj, static_cast<uint8_t>(i), gi, ge), 0u);
        EXPECT_EQ(gi, F7(std::stof(pairs[i].first)));
        EXPECT_EQ(ge, F7(std::stof(pairs[i].second)));
        EXPECT_EQ(held[i].gi, std::stof(pairs[i].first));
        EXPECT_EQ(held[i].ge, std::stof(pairs[i].second));
    }
}

TEST_F(SimBusTest, PairCountOfOldSoftwareAndOfAnEmptyConverter)
{
    std::string count;
    ASSERT_EQ(ReadPairCount(&conn, kOldVq, count), 0u);   // 240 counts as seven pairs
    EXPECT_EQ(count, "7");
    EXPECT_EQ(WritePairCount(&conn, kOldVq, "3"), 240u);
    std::string gi, ge;
    ASSERT_EQ(ReadPair(&conn, kOldVq, 6, gi, ge), 0u);
    EXPECT_EQ(gi, "60");
    EXPECT_EQ(ReadPair(&conn, kOldVq, 7, gi, ge), 239u);   // beyond its seven slots

    ASSERT_EQ(ReadPairCount(&conn, kDzw3, count), 0u);
    EXPECT_EQ(count, "255");
    ASSERT_EQ(ReadPair(&conn, kDzw3, 0, gi, ge), 0u);   // erased EEPROM: all ones, not a number
    EXPECT_EQ(gi, "1e+30");
    EXPECT_EQ(ge, "1e+30");
}

TEST_F(SimBusTest, ParametersAreStoredByKind)
{
    ASSERT_EQ(WriteParam(&conn, kFj, 70, 3, "100"), 0u);
    ASSERT_EQ(WriteParam(&conn, kFj, 79, "0.015"), 0u);
    ASSERT_EQ(WriteParam(&conn, kFj, 12, 1, "1A"), 0u);
    std::string v;
    ASSERT_EQ(ReadParam(&conn, kFj, 70, v), 0u);
    EXPECT_EQ(v, "100");
    ASSERT_EQ(ReadParam(&conn, kFj, 79, v), 0u);
    EXPECT_EQ(v, "0.015");
    ASSERT_EQ(ReadParam(&conn, kFj, 12, 1, v), 0u);
    EXPECT_EQ(v, "0000001A");
    EXPECT_FLOAT_EQ(M(kFj).ParamFloat(70), 100.0f);
    ASSERT_EQ(WriteParam(&conn, kFj, 0, "5"), 0u);
    ASSERT_EQ(ReadParam(&conn, kFj, 0, v), 0u);
    EXPECT_EQ(v, "5");
    EXPECT_EQ(ReadParam(&conn, kFj, 200, 3, v), 239u);
    EXPECT_EQ(M(kFj).CommandCount(VQ7_CMD_READ_PARAM), 4u + 5u);   // a refused read is retried
}

TEST_F(SimBusTest, WriteSwitchOffRefusesEveryWrite)
{
    M(kFj).SetWriteSwitch(false);
    EXPECT_EQ(BeginPairWrite(&conn, kFj), 240u);
    EXPECT_EQ(WritePairCount(&conn, kFj, "2"), 240u);
    EXPECT_EQ(WritePair(&conn, kFj, 0, "1", "1"), 240u);
    EXPECT_EQ(WriteParam(&conn, kFj, 70, "2.5"), 240u);
    std::string v;
    EXPECT_EQ(ReadParam(&conn, kFj, 70, v), 0u);   // reading still works
    EXPECT_EQ(M(kFj).Pairs().size(), 5u);
}

struct FaultCase {
    const char* rule;
    unsigned result;
    unsigned requests;   // that reached the meter
};

TEST_F(SimBusTest, EachFaultGivesTheExpectedResult)
{
    // Over the serial port: its time-outs are not stretched for a gateway.
    std::string error;
    auto pty = CSimServer::StartPty(*rig, "", &error);
    ASSERT_TRUE(pty) << error;
    connection serial;
    ASSERT_EQ(serial.OpenComPort(pty->SlavePath(), 115200, 0), RC_OK);
    // ReadVersion runs with 5 attempts; busy raises them to 10.
    const FaultCase cases[] = {
        {"silence", RC_TIMEOUT, 5},
        {"garbage:arg=1", 0, 1},                  // the shifted answer is read whole
        {"badcheck", RC_BAD_CHECKSUM, 5},
        {"wrongaddr", RC_WRONG_ADDRESS, 1},
        {"truncate", RC_TIMEOUT, 5},
        {"busy", 241, 10},
        {"refuse", 240, 5},
        {"badcheck:n=2", 0, 3},
        {"busy:n=6", 0, 7},
        {"silence:cmd=14", 0, 1},                 // another command's fault
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        auto rule = ParseFaultRule(c.rule);
        ASSERT_TRUE(rule);
        CVirtualMeter& m = M(kFj);
        m.ClearFaults();
        m.AddFault(*rule);
        const unsigned before = m.CommandCount(VQ7_CMD_READ_VERSION);
        std::string version = "unchanged";
        EXPECT_EQ(ReadVersion(&serial, kFj, version), c.result);
        EXPECT_EQ(m.CommandCount(VQ7_CMD_READ_VERSION) - before, c.requests);
        EXPECT_EQ(version, c.result == 0 ? "3.20 " : "unchanged");
        m.ClearFaults();
    }
    std::string version;
    EXPECT_EQ(ReadVersion(&serial, kFj, version), 0u);   // the line is clean again
    EXPECT_EQ(ReadVersion(&conn, kFj, version), 0u);     // and the gateway serves the same rig
    serial.Close();
}

TEST_F(SimBusTest, ProbabilityFaultsHitSomeRequestsOnly)
{
    auto rule = ParseFaultRule("refuse:cmd=9:p=0.3");
    ASSERT_TRUE(rule);
    M(kFj).AddFault(*rule);
    int refused = 0;
    for (int i = 0; i < 60; ++i)
        refused += Once(conn, kFj, VQ7_CMD_READ_VERSION) == 240 ? 1 : 0;
    EXPECT_GT(refused, 5);
    EXPECT_LT(refused, 35);
}

TEST_F(SimBusTest, RestartAnswersAsConfigured)
{
    struct Case {
        RestartMode mode;
        unsigned result;
        unsigned restarts;
    } cases[] = {
        {RestartMode::Answer0, 0, 1},
        {RestartMode::Unanswered, RC_TIMEOUT, 1},
        {RestartMode::Answer239, 239, 0},
        {RestartMode::Answer255, 255, 0},
    };
    M(kDzw4).SetPairs({{1, 1.1f}, {10, 10.5f}});
    for (const auto& c : cases) {
        SCOPED_TRACE(RestartModeName(c.mode));
        CVirtualMeter& m = M(kDzw4);
        m.SetRestartMode(c.mode, 1500);
        const unsigned before = m.RestartCount();
        const unsigned sent = m.CommandCount(VQ7_CMD_RESTART);
        EXPECT_EQ(Restart(&conn, kDzw4), c.result);
        EXPECT_EQ(m.CommandCount(VQ7_CMD_RESTART) - sent, 1u);   // one attempt only
        EXPECT_EQ(m.RestartCount() - before, c.restarts);
        EXPECT_EQ(m.Silent(), c.restarts != 0);
        if (c.mode == RestartMode::Answer0) {
            EXPECT_EQ(Once(conn, kDzw4, VQ7_CMD_READ_VERSION), unsigned(RC_TIMEOUT));   // silent while restarting
        }
        ASSERT_TRUE(WaitUntil([&] { return !m.Silent(); }, 2000));
        std::string version;
        EXPECT_EQ(ReadVersion(&conn, kDzw4, version), 0u);
    }
    EXPECT_EQ(M(kDzw4).FlashPairs().size(), 2u);
    EXPECT_EQ(Restart(&conn, kFj), 240u);   // only converters restart
}

TEST_F(SimBusTest, GatewayDropIsReconnectedByTheNextAttempt)
{
    server->SetDropFault(1.0, 1);
    std::string version;
    EXPECT_EQ(ReadVersion(&conn, kFj, version), 0u);
    EXPECT_EQ(server->Drops(), 1u);
    EXPECT_EQ(ReadVersion(&conn, kFj, version), 0u);
    EXPECT_EQ(server->ClientsAccepted(), 2u);
}

TEST_F(SimBusTest, SecondGatewayClientIsTurnedAway)
{
    connection other;
    other.m_sPort = "TCP/IP";
    other.m_sIp = "127.0.0.1";
    other.m_sTcpIpPort = std::to_string(server->Port());
    std::string version;
    ASSERT_EQ(ReadVersion(&conn, kFj, version), 0u);
    ASSERT_EQ(other.Open(), RC_OK);   // the connect itself succeeds; the gateway closes it
    EXPECT_NE(ReadVersion(&other, kFj, version), 0u);
    other.Close();
    EXPECT_EQ(ReadVersion(&conn, kFj, version), 0u);
}

TEST(SimPty, MetersAnswerOnAPseudoTerminalThroughItsLink)
{
    SetDecimalSeparator('.');
    auto rig = CRig::DefaultRig();
    const std::string link = FormatC("/tmp/vq7sim-test-%d", static_cast<int>(::getpid()));
    std::string error;
    auto server = CSimServer::StartPty(*rig, link, &error);
    ASSERT_TRUE(server) << error;
    EXPECT_EQ(server->Address(), link);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server->SlavePath());
    for (int round = 0; round < 2; ++round) {   // the port can be opened again after a close
        connection conn;
        ASSERT_EQ(conn.OpenComPort(link, 115200, 0), RC_OK);
        VQ7_INFO info;
        EXPECT_EQ(GetDeviceInfo(&conn, 11000008, info), 0u);
        EXPECT_EQ(info.m_sModel, "ЗЮ-А-3 (мод. 1)");
        conn.Close();
    }
    server->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(SimBusTest, WireTimingAndResponseDelayShowOnTheLine)
{
    using namespace std::chrono;
    std::string version;
    rig->SetBaud(9600);   // 16 + 32 bytes: 50 ms
    auto t0 = steady_clock::now();
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(ReadVersion(&conn, kFj, version), 0u);
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 4 * 45);
    rig->SetBaud(0);
    M(kFj).SetResponseDelay(60);
    t0 = steady_clock::now();
    ASSERT_EQ(ReadVersion(&conn, kFj, version), 0u);
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - t0).count(), 55);
}
