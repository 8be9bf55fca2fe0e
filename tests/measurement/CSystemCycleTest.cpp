// Measurement cycles of CSystem against virtual meters.
#include "support/SimRig.h"
#include "TestHelpers.h"

#include "common/DecimalSeparator.h"
#include "links/ResultCodes.h"
#include "measurement/CSystem.h"
#include "protocol/vq7prot/Vq7comm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <ctime>
#include <map>

namespace {
constexpr long kCycleWaitMs = 10000;

// The integrals answers the gateway passed on, by the meter's address bytes.
struct IntegralsLog {
    std::mutex lock;
    std::map<uint32_t, std::vector<uint8_t>> data;   // 65 data bytes

    CRigGateway::AnswerHook Hook(bool zeroCount)
    {
        return [this, zeroCount](const std::vector<uint8_t>& request, std::vector<uint8_t>& answer) {
            if (request[4] != VQ7_CMD_READ_GRAD_INTEGRALS || answer.size() != VQ7_LONG_ANSWER_SIZE ||
                answer[4] != VQ7_CMD_READ_GRAD_INTEGRALS)
                return;
            if (zeroCount) {
                answer[5 + 63] = answer[5 + 64] = 0;
                FixAnswerChecks(answer);
            }
            std::lock_guard<std::mutex> l(lock);
            data[LeU32(request.data())] = std::vector<uint8_t>(answer.begin() + 5, answer.begin() + 70);
        };
    }
    std::vector<uint8_t> Of(uint32_t number)
    {
        std::lock_guard<std::mutex> l(lock);
        return data[NumberToBcd(number)];
    }
};

// Counts the prompts and answers each with a fixed Ge.
struct Prompt {
    std::atomic<int> calls{0};
    std::optional<double> ge = 12.5;
    ReferenceFlowPrompt Fn()
    {
        return [this]() -> std::optional<double> {
            ++calls;
            return ge;
        };
    }
};

FaultRule Fault(FaultKind kind, int command)
{
    FaultRule r;
    r.kind = kind;
    r.command = command;
    return r;
}

double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

class WrappingSystem : public CSystem {
public:
    using CSystem::CSystem;
    using CSystem::SetCycleCount;
};
}

TEST(CSystemCycle, AFullCycleGivesIntegralPerCountMeans)
{
    CRecordingOperator op;
    IntegralsLog log;
    SimRig bus({FlowMeter(1001), FlowMeter(1002), FlowMeter(1003)}, 150, SimRig::TcpGateway);
    bus.Gateway().SetAnswerHook(log.Hook(false));
    CSystem sys(&bus.Conn());
    Prompt prompt;
    sys.SetReferenceFlowPrompt(prompt.Fn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(3, 1002));
    ASSERT_EQ(0, sys.SetMeter(9, 1003));
    ASSERT_EQ(0, sys.GetCycleResult(0));

    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));

    EXPECT_EQ(0, sys.GetLastCycleResult());
    EXPECT_EQ(1, prompt.calls.load());
    EXPECT_GE(op.GuiCalls(), 1);
    EXPECT_EQ(12.5, sys.GetCycleGe());
    EXPECT_EQ(0, bus.Conn().OpenCount());
    bool anyFinished = false;
    for (auto [slot, number] : {std::pair{0, 1001u}, {3, 1002u}, {9, 1003u}}) {
        float gi = -1, gv = -1;
        EXPECT_EQ(1, sys.GetCycleResult(slot, &gi, &gv));
        const std::vector<uint8_t> d = log.Of(number);
        ASSERT_EQ(65u, d.size()) << number;
        const uint16_t count = LeU16(d.data() + 63);
        ASSERT_GT(count, 0u);
        EXPECT_EQ(LeFloat(d.data()) / count, gi) << number;
        EXPECT_EQ(LeFloat(d.data() + 8) / count, gv) << number;
        EXPECT_NEAR(10.0, gi, 2.0) << number;   // the rig's flow, within the meter's error
        EXPECT_NEAR(10.0, sys.GetCurrentGi(slot), 2.0) << number;
        anyFinished = anyFinished || sys.GetMeterStatus(slot).IsFinished();
    }
    EXPECT_TRUE(anyFinished);
    // A bad slot reads the status of slot 0.
    const MeterStatus s0 = sys.GetMeterStatus(0), bad = sys.GetMeterStatus(10);
    EXPECT_EQ(0, std::memcmp(s0.m_abData, bad.m_abData, 8));
    EXPECT_TRUE(s0.IsMeasuring());

    // The second cycle counts on.
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(2, sys.GetCycleResult(0));
    EXPECT_EQ(2, prompt.calls.load());
}

TEST(CSystemCycle, ASampleCountOfZeroKeepsTheRawIntegrals)
{
    CRecordingOperator op;
    IntegralsLog log;
    SimRig bus({FlowMeter(1001)}, 100, SimRig::TcpGateway);
    bus.Gateway().SetAnswerHook(log.Hook(true));
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(4, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));

    float gi = 0, gv = 0;
    EXPECT_EQ(1, sys.GetCycleResult(4, &gi, &gv));
    const std::vector<uint8_t> d = log.Of(1001);
    ASSERT_EQ(65u, d.size());
    EXPECT_EQ(0, LeU16(d.data() + 63));
    EXPECT_EQ(LeFloat(d.data()), gi);
    EXPECT_EQ(LeFloat(d.data() + 8), gv);
    EXPECT_GT(gi, 20.0f);   // a sum of samples, not a mean
}

TEST(CSystemCycle, StopWhilePollingEndsTheCycleWithoutCounting)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001)}, 60000);
    CSystem sys(&bus.Conn());
    Prompt prompt;
    sys.SetReferenceFlowPrompt(prompt.Fn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(WaitUntil([&] { return sys.GetMeterStatus(0).IsStarted(); }, 5000));
    // A second start finds the worker busy.
    EXPECT_EQ(CSYSTEM_WAIT_TIMEOUT, sys.StartCycle(100));

    const auto start = std::chrono::steady_clock::now();
    sys.StopCycle();
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_TRUE(sys.WaitIdle(0));
    EXPECT_EQ(0, sys.GetCycleResult(0));
    EXPECT_EQ(0, sys.GetLastCycleResult());
    EXPECT_EQ(0, prompt.calls.load());
    EXPECT_EQ(0u, bus.Meter(1001).CommandCount(VQ7_CMD_READ_GRAD_INTEGRALS));
    EXPECT_EQ(0, bus.Conn().OpenCount());
}

TEST(CSystemCycle, WithoutMetersACycleRunsUntilStoppedWithoutSpinning)
{
    CRecordingOperator op;
    SimRig bus({});
    ASSERT_EQ(0, bus.Conn().Open());   // held open: a pass costs no more than its own work
    CSystem sys(&bus.Conn());
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    const double cpu0 = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpu = ProcessCpuMs() - cpu0;
    EXPECT_FALSE(sys.WaitIdle(0));
    EXPECT_LT(cpu, 50.0) << "an empty poll loop must not spin";
    sys.StopCycle();
    EXPECT_TRUE(sys.WaitIdle(0));
    EXPECT_EQ(0, sys.GetCycleResult(0));
    // Stopping an idle engine returns at once.
    const auto start = std::chrono::steady_clock::now();
    sys.StopCycle();
    EXPECT_LT(MsSince(start), 1000);
    bus.Conn().Close();
}

TEST(CSystemCycle, AFailingStartOnSlot5LeavesTheLowerSlotsUnstarted)
{
    CRecordingOperator op;
    std::vector<SimMeterConfig> meters;
    for (uint32_t i = 0; i < 10; ++i)
        meters.push_back(FlowMeter(2000 + i));
    SimRig bus(meters, 150);
    CSystem sys(&bus.Conn());
    Prompt prompt;
    sys.SetReferenceFlowPrompt(prompt.Fn());
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(0, sys.SetMeter(i, 2000 + i));
    bus.Meter(2005).AddFault(Fault(FaultKind::Refuse, VQ7_CMD_START_MEASUREMENT));

    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(VQ7_ERR_BAD_COMMAND, sys.GetLastCycleResult());
    for (uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(i >= 6, bus.Meter(2000 + i).Measuring()) << "slot " << i;
        EXPECT_EQ(0u, bus.Meter(2000 + i).CommandCount(VQ7_CMD_READ_STATUS)) << "slot " << i;
    }
    EXPECT_EQ(0, sys.GetCycleResult(0));
    EXPECT_EQ(0, prompt.calls.load());
    EXPECT_EQ(0, bus.Conn().OpenCount());
}

TEST(CSystemCycle, TheCountAfter2147483647IsZero)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001)}, 100);
    WrappingSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    sys.SetCycleCount(INT_MAX);
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(0, sys.GetCycleResult(0));
}

TEST(CSystemCycle, ACancelledPromptReadsNoIntegralsAndCountsNothing)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001)}, 100);
    CSystem sys(&bus.Conn());
    Prompt prompt;
    prompt.ge.reset();
    sys.SetReferenceFlowPrompt(prompt.Fn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(1, prompt.calls.load());
    EXPECT_EQ(0, sys.GetCycleResult(0));
    EXPECT_EQ(0u, bus.Meter(1001).CommandCount(VQ7_CMD_READ_GRAD_INTEGRALS));
}

TEST(CSystemCycle, AFailedIntegralsReadLeavesOnlyThatSlotWithoutAResult)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001), FlowMeter(1002), FlowMeter(1003)}, 100);
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(5, 1002));
    ASSERT_EQ(0, sys.SetMeter(9, 1003));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_TRUE(sys.HasCycleResult(5));
    EXPECT_FALSE(sys.HasCycleResult(1));   // empty slot

    // The slot that fails keeps no value of this cycle; the slots after it are still read.
    bus.Rig().SetFlow(20.0);
    bus.Meter(1002).AddFault(Fault(FaultKind::Refuse, VQ7_CMD_READ_GRAD_INTEGRALS));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(VQ7_ERR_BAD_COMMAND, sys.GetLastCycleResult());
    float gi0 = 0, gi9 = 0;
    EXPECT_EQ(2, sys.GetCycleResult(0, &gi0));
    sys.GetCycleResult(9, &gi9);
    EXPECT_NEAR(20.0, gi9, 4.0);
    EXPECT_NEAR(20.0, gi0, 4.0);
    EXPECT_TRUE(sys.HasCycleResult(0));
    EXPECT_FALSE(sys.HasCycleResult(5));
    EXPECT_TRUE(sys.HasCycleResult(9));
    EXPECT_NE(std::string::npos, sys.GetLastCycleMessage().find("1002"));

    // When no meter can be read the cycle is not counted.
    for (uint32_t n : {1001u, 1003u})
        bus.Meter(n).AddFault(Fault(FaultKind::Refuse, VQ7_CMD_READ_GRAD_INTEGRALS));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(2, sys.GetCycleResult(0));
    EXPECT_FALSE(sys.HasCycleResult(0));
}

TEST(CSystemCycle, AMeterThatStopsAnsweringIsMarkedAndTheOthersEndTheCycle)
{
    CRecordingOperator op;
    // A serial line: a silent transaction costs only its five short time-outs.
    SimRig bus({FlowMeter(1001), FlowMeter(1002), FlowMeter(1003)}, 4000, SimRig::Pty);
    g_nRetryPauseMs = 10;
    CSystem sys(&bus.Conn());
    Prompt prompt;
    sys.SetReferenceFlowPrompt(prompt.Fn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(5, 1002));
    ASSERT_EQ(0, sys.SetMeter(9, 1003));   // polled first
    for (int cmd : {VQ7_CMD_READ_STATUS, VQ7_CMD_READ_CURRENT, VQ7_CMD_READ_GRAD_INTEGRALS})
        bus.Meter(1003).AddFault(Fault(FaultKind::Silence, cmd));

    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(30000));
    EXPECT_EQ(RC_TIMEOUT, sys.GetLastCycleResult());   // the silent meter's
    EXPECT_EQ(1, prompt.calls.load());
    EXPECT_EQ(1, sys.GetCycleResult(0));
    EXPECT_FALSE(sys.IsNoAnswer(0));
    EXPECT_FALSE(sys.HasCycleResult(9));
    for (int slot : {0, 5}) {
        float gi = 0;
        sys.GetCycleResult(slot, &gi);
        EXPECT_TRUE(sys.HasCycleResult(slot));
        EXPECT_NEAR(10.0, gi, 2.0) << slot;
    }
    EXPECT_NE(std::string::npos, sys.GetLastCycleMessage().find("1003"));

    // Nobody answering ends the cycle with the failure instead of polling for ever.
    sys.SetMeter(0, 0);
    sys.SetMeter(5, 0);
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(30000));
    EXPECT_EQ(RC_TIMEOUT, sys.GetLastCycleResult());
    EXPECT_TRUE(sys.IsNoAnswer(9));
    EXPECT_EQ(1, sys.GetCycleResult(0));
    EXPECT_EQ(1, prompt.calls.load());
    EXPECT_NE(std::string::npos, sys.GetLastCycleMessage().find("Ни один счетчик не отвечает"));
    g_nRetryPauseMs = 200;
}

// A gateway that is gone ends the cycle at once, naming the link, with no
// prompt and nothing counted; the meters' long integration is not waited for.
TEST(CSystemCycle, AGatewayThatIsGoneEndsTheCycleAtOnce)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001), FlowMeter(1002)}, 600000);
    CSystem sys(&bus.Conn());
    Prompt prompt;
    sys.SetReferenceFlowPrompt(prompt.Fn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(1, 1002));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(WaitUntil([&] { return sys.GetCurrentGi(0) != 0; }, kCycleWaitMs)) << "first poll pass";
    bus.Stop();
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs)) << "still polling a gone gateway";
    const int result = sys.GetLastCycleResult();
    EXPECT_TRUE(result == RC_NOT_OPEN || result == RC_SHORT_WRITE) << result;
    EXPECT_NE(std::string::npos, sys.GetLastCycleMessage().find("Нет связи (TCP/IP 127.0.0.1:" +
                                                                bus.Conn().m_sTcpIpPort + ")"))
        << sys.GetLastCycleMessage();
    EXPECT_EQ(0, prompt.calls.load());
    EXPECT_EQ(0, sys.GetCycleResult(0));
}

TEST(CSystemCycle, CurrentValuesFollowTheOperatorsSeparatorAndKeepValuesOnFailure)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001), FlowMeter(1002)}, 100);
    CSystem sys(&bus.Conn());
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(1, 1002));
    SetDecimalSeparator(',');
    const int result = sys.RefreshCurrentValues();
    SetDecimalSeparator('.');
    ASSERT_EQ(0, result);
    EXPECT_NEAR(10.0, sys.GetCurrentGi(0), 2.0);
    EXPECT_NEAR(10.0, sys.GetCurrentGv(1), 2.0);

    const float gi0 = sys.GetCurrentGi(0);
    bus.Rig().SetFlow(30.0);
    bus.Meter(1001).AddFault(Fault(FaultKind::Refuse, VQ7_CMD_READ_CURRENT));
    // Slot 0 fails and keeps its value; slot 1 is read all the same.
    EXPECT_EQ(VQ7_ERR_BAD_COMMAND, sys.RefreshCurrentValues());
    EXPECT_NEAR(30.0, sys.GetCurrentGi(1), 6.0);
    EXPECT_EQ(gi0, sys.GetCurrentGi(0));
}
