// The monitor's trace target: lines from a real trace thread arrive stamped and in
// order; when nobody drains, the producer goes on and the overflow is counted.
#include "links/MonitorTraceTarget.h"
#include "links/Trace.h"

#include <gtest/gtest.h>

TEST(MonitorTraceTarget, LinesOfATraceThreadArriveStampedInOrder)
{
    CMonitorTraceTarget target;
    target.SetClock([] { return int64_t{1700000000123}; });
    {
        CTraceThread trace(&target);
        CMessage sent;
        sent.m_abBytes = {0x78, 0x56, 0x34, 0x12, 0x08};
        sent.m_nLength = 5;
        trace.Queue(sent);
        CMessage received = sent;
        received.m_bReceived = 1;
        trace.Queue(received);
        trace.Queue(CMessage());   // end of frame
    }                              // joins after emitting everything
    std::vector<CMonitorLine> lines;
    ASSERT_EQ(target.Drain(lines), 2u);
    EXPECT_EQ(lines[0].m_sLine.substr(0, 3), "<< ");
    EXPECT_NE(lines[0].m_sLine.find("78 56 34 12 08"), std::string::npos);
    EXPECT_EQ(lines[1].m_sLine.substr(0, 3), ">> ");
    EXPECT_EQ(lines[1].m_nTimeMs, 1700000000123);
}

TEST(MonitorTraceTarget, FullQueueDropsAndCountsInsteadOfWaiting)
{
    CMonitorTraceTarget target(4);
    for (int i = 0; i < 10; ++i)
        target.AddLine("<< [L=  1, dly=0]  0" + std::to_string(i));
    EXPECT_EQ(target.Dropped(), 6u);
    std::vector<CMonitorLine> lines;
    target.Drain(lines);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back().m_sLine, "<< [L=  1, dly=0]  03");   // the oldest are kept
}
