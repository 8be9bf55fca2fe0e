// Cycles whose poll passes never see a meter's integration running.
#include "support/SimRig.h"
#include "TestHelpers.h"

#include "links/ResultCodes.h"
#include "measurement/CSystem.h"
#include "protocol/vq7prot/Vq7comm.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
constexpr long kCycleWaitMs = 15000;

class ShortIdleSystem : public CSystem {
public:
    using CSystem::CSystem;
    using CSystem::SetIdleLimitMs;
};

std::atomic<int> g_prompts{0};
std::optional<double> CountedPrompt()
{
    ++g_prompts;
    return 5.0;
}
}

TEST(CSystemSlowPass, AnIntegrationEndedBeforeTheFirstStatusStillEndsTheCycle)
{
    CRecordingOperator op;
    // Every answer comes 40 ms late: the status read of a pass follows the start
    // by at least 120 ms, long after the 30 ms integration ended.
    SimMeterConfig slow = FlowMeter(1001);
    slow.responseDelayMs = 40;
    SimRig bus({slow}, 30);
    CSystem sys(&bus.Conn());
    g_prompts = 0;
    sys.SetReferenceFlowPrompt(CountedPrompt);
    ASSERT_EQ(0, sys.SetMeter(2, 1001));

    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs)) << "the cycle never saw the integration end";
    EXPECT_EQ(0, sys.GetLastCycleResult());
    EXPECT_EQ("", sys.GetLastCycleMessage());
    EXPECT_FALSE(sys.GetMeterStatus(2).IsStarted());
    EXPECT_EQ(1, g_prompts.load());
    EXPECT_EQ(1, sys.GetCycleResult(2));
    EXPECT_TRUE(sys.HasCycleResult(2));
}

TEST(CSystemSlowPass, MetersThatNeverShowTheMeasurementEndTheCycleAfterTheIdleLimit)
{
    CRecordingOperator op;
    // Meter 1001 takes the start but its status never shows the measurement.
    auto idleStatus = [](const std::vector<uint8_t>& request, std::vector<uint8_t>& answer) {
        if (request[4] != VQ7_CMD_READ_STATUS || answer.size() != VQ7_SHORT_ANSWER_SIZE ||
            LeU32(request.data()) != NumberToBcd(1001))
            return;
        answer[5 + 4] = answer[5 + 6] = 0;
        FixAnswerChecks(answer);
    };
    SimRig bus({FlowMeter(1001), FlowMeter(1002)}, 1000, SimRig::TcpGateway);
    bus.Gateway().SetAnswerHook(idleStatus);
    ShortIdleSystem sys(&bus.Conn());
    sys.SetIdleLimitMs(200);
    g_prompts = 0;
    sys.SetReferenceFlowPrompt(CountedPrompt);
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(0, sys.SetMeter(1, 1002));

    // One meter seen measuring: the limit does not cut its integration short.
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(0, sys.GetLastCycleResult());
    EXPECT_EQ(1, sys.GetCycleResult(0));
    EXPECT_EQ(1, g_prompts.load());

    // Only the idle meter: the cycle ends, naming it, and counts nothing.
    ASSERT_EQ(0, sys.SetMeter(1, 0));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(sys.WaitIdle(kCycleWaitMs));
    EXPECT_EQ(RC_TIMEOUT, sys.GetLastCycleResult());
    EXPECT_EQ("Измерение не началось (счетчик № 1001): цикл измерения прерван", sys.GetLastCycleMessage());
    EXPECT_EQ(1, sys.GetCycleResult(0));
    EXPECT_EQ(1, g_prompts.load());
    EXPECT_EQ(1u, bus.Meter(1001).CommandCount(VQ7_CMD_READ_GRAD_INTEGRALS));
}
