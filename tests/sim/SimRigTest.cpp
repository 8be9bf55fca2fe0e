// The rig as a pure bus of frames, its files, its state and its console.
#include "SimRequest.h"
#include "sim/Console.h"
#include "sim/FrameAssembler.h"
#include "sim/Rig.h"
#include "sim/SimFrames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {
std::string TempDir(const char* what)
{
    const auto dir = std::filesystem::temp_directory_path() /
                     (std::string("vq7sim-") + what + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    return dir.string();
}
}  // namespace

TEST(SimRig, OnlyTheAddressedMeterAnswersAWholeFrame)
{
    auto rig = CRig::DefaultRig();
    auto a = rig->Answer(Request(11000004, VQ7_CMD_READ_VERSION));
    ASSERT_EQ(a.size(), 32u);
    EXPECT_TRUE(AnswerChecksOk(a.data(), 32));
    EXPECT_EQ(LeU32(a.data()), NumberToBcd(11000004));
    EXPECT_EQ(std::string(a.begin() + 11, a.begin() + 15), "FJ  ");

    EXPECT_TRUE(rig->Answer(Request(12345678, VQ7_CMD_READ_VERSION)).empty());   // nobody has that number
    auto bad = Request(11000004, VQ7_CMD_READ_VERSION);
    bad[15] ^= 1;
    EXPECT_TRUE(rig->Answer(bad).empty());                                       // wrong check bytes: ignored
    bad = Request(11000004, VQ7_CMD_READ_VERSION);
    bad.pop_back();
    EXPECT_TRUE(rig->Answer(bad).empty());
    EXPECT_EQ(rig->Meter(11000004)->RequestCount(), 1u);
}

TEST(SimRig, ErrorAnswersHaveTheLengthOfTheCommandsAnswer)
{
    auto rig = CRig::DefaultRig();
    const struct {
        uint8_t cmd;
        std::initializer_list<uint8_t> data;
        uint8_t code;
        size_t length;
    } cases[] = {
        {VQ7_CMD_READ_IDENT, {2}, VQ7_ERR_BAD_PARAM, 72},   // long answer
        {0x55, {}, VQ7_ERR_BAD_COMMAND, 72},
        {0x21, {}, VQ7_ERR_BAD_COMMAND, 32},
        {0x90, {}, VQ7_ERR_BAD_COMMAND, 256},               // superlong: length byte 248
        {VQ7_CMD_READ_CURRENT, {10}, VQ7_ERR_BAD_PARAM, 32},
        {VQ7_CMD_START_MEASUREMENT, {0, 0, 0, 0}, VQ7_ERR_BAD_PARAM, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.cmd));
        const auto a = rig->Answer(Request(11000004, c.cmd, c.data));
        ASSERT_EQ(a.size(), c.length);
        EXPECT_EQ(a[4], c.code);
        EXPECT_TRUE(AnswerChecksOk(a.data(), static_cast<unsigned>(a.size())));
        if (c.length == 256) {
            EXPECT_EQ(a[5] + 8u, 256u);
        }
    }
    const auto eight = rig->Answer(Request(11000004, VQ7_CMD_EIGHT_BYTE));
    EXPECT_EQ(eight.size(), 8u);
    // The clock is refused by converters that have none.
    EXPECT_EQ(rig->Answer(Request(11000005, VQ7_CMD_READ_CURRENT, {0}))[4], VQ7_ERR_BAD_PARAM);
}

TEST(SimRig, BroadcastReachesEveryMeterAndOnlyALoneOneAnswers)
{
    auto rig = CRig::DefaultRig();
    rig->SetIntegrationMs(5000);
    const auto start = Request(VQ7_BROADCAST_NUMBER, VQ7_CMD_START_MEASUREMENT, {0, 0, 0x80, 0x3F});
    EXPECT_TRUE(rig->Answer(start).empty());
    for (uint32_t n : rig->Numbers())
        EXPECT_TRUE(rig->Meter(n)->Integrating()) << n;
    EXPECT_TRUE(rig->Answer(Request(VQ7_BROADCAST_NUMBER, VQ7_CMD_BROADCAST_NO_ANSWER)).empty());

    CRig single;
    SimMeterConfig c;
    c.number = 777;
    single.AddMeter(c);
    const auto a = single.Answer(Request(VQ7_BROADCAST_NUMBER, VQ7_CMD_READ_VERSION));
    ASSERT_EQ(a.size(), 32u);
    EXPECT_EQ(LeU32(a.data()), NumberToBcd(777));   // how an unknown number is found
    EXPECT_TRUE(single.Answer(Request(VQ7_BROADCAST_NUMBER, VQ7_CMD_BROADCAST_NO_ANSWER)).empty());
}

TEST(SimRig, AddressesMatchTheWorkstationsAndNumbersAreUnique)
{
    for (uint32_t n : {0u, 1u, 12345678u, 16777215u, 16777216u, 85012345u, 99999999u, VQ7_BROADCAST_NUMBER})
        EXPECT_EQ(SimAddressOf(n), NumberToBcd(n)) << n;
    CRig rig;
    SimMeterConfig c;
    c.number = 100000000;   // nine digits have no address
    EXPECT_EQ(rig.AddMeter(c), nullptr);
    c.number = 5;
    EXPECT_NE(rig.AddMeter(c), nullptr);
    EXPECT_EQ(rig.AddMeter(c), nullptr);
    c.number = VQ7_BROADCAST_NUMBER;
    EXPECT_EQ(rig.AddMeter(c), nullptr);
    for (uint32_t n = 10; n < 19; ++n) {
        c.number = n;
        EXPECT_NE(rig.AddMeter(c), nullptr);
    }
    c.number = 99;
    EXPECT_EQ(rig.AddMeter(c), nullptr);   // ten at most
}

TEST(SimRig, FrameAssemblerSkipsNoiseAndRestartsAfterAPause)
{
    CFrameAssembler fa(100);
    const auto r = Request(11000004, VQ7_CMD_READ_STATUS);
    const uint8_t noise[] = {0x00, 0x13, 0xFF};
    std::array<uint8_t, 16> frame;
    fa.Push(noise, sizeof noise, 0);
    fa.Push(r.data(), 10, 1);
    EXPECT_FALSE(fa.Next(frame));
    fa.Push(r.data() + 10, 6, 2);
    ASSERT_TRUE(fa.Next(frame));
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), r.begin()));
    // Half a frame, a long pause, then a whole one.
    fa.Push(r.data(), 8, 10);
    fa.Push(r.data(), 16, 500);
    ASSERT_TRUE(fa.Next(frame));
    EXPECT_FALSE(fa.Next(frame));
    EXPECT_EQ(fa.Pending(), 0u);
}

TEST(SimRig, PairsAndParametersSurviveARestartOfTheProgram)
{
    const std::string dir = TempDir("state");
    const uint32_t number = 11000004;
    {
        auto rig = CRig::DefaultRig();
        ASSERT_TRUE(rig->SetStateDir(dir));
        rig->Answer(Request(number, VQ7_CMD_WRITE_PAIR_COUNT, {2}));
        rig->Answer(Request(number, VQ7_CMD_WRITE_PAIR, {1, 0x00, 0x00, 0x20, 0x41, 0xCD, 0xCC, 0x1C, 0x41}));
        rig->Answer(Request(number, VQ7_CMD_WRITE_PARAM, {70, 4, 0x00, 0x00, 0xC8, 0x42}));
        rig->Meter(11000002)->SetWriteSwitch(false);
    }
    auto rig = CRig::DefaultRig();
    ASSERT_TRUE(rig->SetStateDir(dir));
    CVirtualMeter& m = *rig->Meter(number);
    ASSERT_EQ(m.Pairs().size(), 2u);
    EXPECT_FLOAT_EQ(m.Pairs()[1].gi, 10.0f);
    EXPECT_FLOAT_EQ(m.Pairs()[1].ge, 9.8f);
    EXPECT_FLOAT_EQ(m.Pairs()[0].gi, 0.2f);   // the slot it held before
    EXPECT_FLOAT_EQ(m.ParamFloat(70), 100.0f);
    EXPECT_FALSE(rig->Meter(11000002)->WriteSwitch());
    EXPECT_TRUE(rig->Meter(11000001)->WriteSwitch());

    // A damaged file is ignored whole; the meter keeps its own state.
    std::ofstream(dir + "/11000010.state") << "count 3\npair 0 zz 00\n";
    std::ofstream(dir + "/11000008.state") << "count 65\n";   // more than its 64 slots
    auto again = CRig::DefaultRig();
    ASSERT_TRUE(again->SetStateDir(dir));
    EXPECT_EQ(again->Meter(11000010)->Pairs().size(), 4u);
    EXPECT_EQ(again->Meter(11000008)->PairCountByte(), 3u);
    std::filesystem::remove_all(dir);
}

TEST(SimRig, RigFilesListMetersAndNameTheBadLine)
{
    std::vector<SimMeterConfig> meters;
    std::string error;
    ASSERT_TRUE(CRig::ParseRigText("# test rig\n"
                                   "101 VQ 3.10 03.10.05 70 id=ВЯ_7 pairs=1/1.02;10/10.1\n"
                                   "102 DZW3 3.07 03.07.02 130 restart=silent restart-ms=200 fault=busy:cmd=8:n=3\n"
                                   "103 ZUT 4.00 04.00.00 0 oldpairs switch=off delay=5 worda=0x10 wordb=7\n",
                                   meters, &error))
        << error;
    ASSERT_EQ(meters.size(), 3u);
    EXPECT_EQ(meters[0].idText, "ВЯ 7");
    EXPECT_EQ(meters[0].pairs.size(), 2u);
    EXPECT_EQ(meters[1].restartMode, RestartMode::Unanswered);
    ASSERT_EQ(meters[1].faults.size(), 1u);
    EXPECT_EQ(meters[1].faults[0].kind, FaultKind::Busy);
    EXPECT_EQ(meters[1].faults[0].command, 8);
    EXPECT_EQ(meters[1].faults[0].count, 3);
    EXPECT_FALSE(meters[2].pairCountCommands);
    EXPECT_FALSE(meters[2].writeSwitch);
    EXPECT_EQ(CVirtualMeter(meters[2]).Type(), "ZUT ");

    const char* bad[] = {
        "101 VQ 3.10 03.10.05\n",
        "101 VQ 3.10 3.10.5 70\n",
        "101 VQ 3.10 03.10.05 70\n101 FJ 3.10 03.10.05 0\n",
        "101 VQ 3.10 03.10.05 70 fault=melt\n",
        "101 VQ 3.10 03.10.05 70 pairs=1;2\n",
        "100000000 VQ 3.10 03.10.05 70\n",
        "",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(CRig::ParseRigText(text, meters, &error));
        EXPECT_FALSE(error.empty());
    }
    CRig::ParseRigText("\n101 VQ 3.10 03.10.05 70 colour=red\n", meters, &error);
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
}

TEST(SimRig, ConsoleSetsFlowAndInjectsFaults)
{
    auto rig = CRig::DefaultRig();
    CSimConsole con(*rig, nullptr);
    EXPECT_EQ(con.Execute("flow -12.5"), "true flow -12.5 m3/h");
    EXPECT_DOUBLE_EQ(rig->Flow(), -12.5);
    EXPECT_NE(con.Execute("flow x").find("not a number"), std::string::npos);
    EXPECT_DOUBLE_EQ(rig->Flow(), -12.5);
    EXPECT_NE(con.Execute("list").find("11000010"), std::string::npos);
    con.Execute("fault 11000004 refuse:cmd=9:n=1");
    EXPECT_EQ(rig->Answer(Request(11000004, VQ7_CMD_READ_VERSION))[4], VQ7_ERR_BAD_COMMAND);
    EXPECT_EQ(rig->Answer(Request(11000004, VQ7_CMD_READ_VERSION))[4], VQ7_CMD_READ_VERSION);
    con.Execute("switch all off");
    EXPECT_FALSE(rig->Meter(11000001)->WriteSwitch());
    con.Execute("restart 11000006 answer255");
    EXPECT_EQ(rig->Meter(11000006)->GetRestartMode(), RestartMode::Answer255);
    EXPECT_NE(con.Execute("fault 42 busy").find("no meter"), std::string::npos);
    EXPECT_NE(con.Execute("drop").find("no gateway"), std::string::npos);
    EXPECT_NE(con.Execute("frobnicate").find("unknown"), std::string::npos);
    con.Execute("quit");
    EXPECT_TRUE(con.QuitRequested());
}

TEST(SimRig, WireTimingFollowsTheBaudRate)
{
    CRig rig;
    EXPECT_EQ(rig.WireMicros(32), 0u);
    rig.SetBaud(9600);
    EXPECT_EQ(rig.WireMicros(32), 33333u);   // 10 bits a byte
}
