// Tear-down of CSystem while a cycle polls or while its prompt waits for a busy GUI thread.
#include "support/SimRig.h"
#include "TestHelpers.h"

#include "measurement/CSystem.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
// Lives to the end of the process: a released hand-over may still return through it.
CQueuedGuiOperator& QueuedOperator()
{
    static CQueuedGuiOperator* op = new CQueuedGuiOperator;
    return *op;
}

class QueuedOperatorScope {
public:
    QueuedOperatorScope() { SetOperator(&QueuedOperator()); }
    ~QueuedOperatorScope()
    {
        QueuedOperator().Pump();
        SetOperator(nullptr);
    }
};
}

TEST(CSystemShutdown, DestroyingWhilePollingStopsTheCycle)
{
    CRecordingOperator op;
    SimRig bus({FlowMeter(1001)}, 60000);
    auto sys = std::make_unique<CSystem>(&bus.Conn());
    ASSERT_EQ(0, sys->SetMeter(0, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys->StartCycle(100));
    ASSERT_TRUE(WaitUntil([&] { return sys->GetMeterStatus(0).IsStarted(); }, 5000));

    const auto start = std::chrono::steady_clock::now();
    sys.reset();
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_EQ(0, bus.Conn().OpenCount());
    EXPECT_FALSE(bus.Conn().HasLink());
}

TEST(CSystemShutdown, DestroyingWhileThePromptWaitsForTheGuiThreadDoesNotDeadlock)
{
    QueuedOperatorScope scope;
    SimRig bus({FlowMeter(1001)}, 100);
    auto sys = std::make_unique<CSystem>(&bus.Conn());
    std::atomic<int> prompts{0};
    sys->SetReferenceFlowPrompt([&]() -> std::optional<double> {
        ++prompts;
        return 1.0;
    });
    ASSERT_EQ(0, sys->SetMeter(0, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys->StartCycle(100));
    // This thread plays the GUI thread: it does not pump while it tears down.
    ASSERT_TRUE(WaitUntil([&] { return QueuedOperator().Pending() == 1; }, 5000));

    const auto start = std::chrono::steady_clock::now();
    sys.reset();
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_EQ(0, bus.Conn().OpenCount());

    // The GUI thread gets to the queued call later: the prompt no longer runs.
    QueuedOperator().Pump();
    EXPECT_EQ(0, prompts.load());
    EXPECT_EQ(0u, bus.Meter(1001).CommandCount(VQ7_CMD_READ_GRAD_INTEGRALS));
}

TEST(CSystemShutdown, StopWhileThePromptIsDueGivesUpAfterItsWaitAndTheCycleCompletes)
{
    QueuedOperatorScope scope;
    SimRig bus({FlowMeter(1001)}, 100);
    CSystem sys(&bus.Conn());
    std::atomic<int> prompts{0};
    sys.SetReferenceFlowPrompt([&]() -> std::optional<double> {
        ++prompts;
        return 3.5;
    });
    ASSERT_EQ(0, sys.SetMeter(0, 1001));
    ASSERT_EQ(CSYSTEM_WAIT_OK, sys.StartCycle(100));
    ASSERT_TRUE(WaitUntil([&] { return QueuedOperator().Pending() == 1; }, 5000));

    const auto start = std::chrono::steady_clock::now();
    sys.StopCycle();   // the worker waits for this thread: the stop wait runs out
    EXPECT_GE(MsSince(start), 2500);
    EXPECT_FALSE(sys.WaitIdle(0));

    QueuedOperator().Pump();
    ASSERT_TRUE(sys.WaitIdle(10000));
    EXPECT_EQ(1, prompts.load());
    EXPECT_EQ(1, sys.GetCycleResult(0));
    EXPECT_EQ(3.5, sys.GetCycleGe());
}
