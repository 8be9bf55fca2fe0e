#pragma once
// A trace target for a live view of the bus: each trace line is stamped with the
// wall-clock time and put into a bounded queue that a window drains. The trace
// thread never waits for the window; lines that do not fit are dropped and counted.
#include "common/BoundedQueue.h"
#include "links/TraceTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CMonitorLine {
    int64_t m_nTimeMs = 0;   // ms since the epoch
    std::string m_sLine;
};

class CMonitorTraceTarget : public ITraceTarget {
public:
    explicit CMonitorTraceTarget(size_t capacity = 100000);

    void RegisterThread(CTraceThread*, bool) override {}
    void AddLine(const std::string& line) override;

    size_t Drain(std::vector<CMonitorLine>& out) { return m_queue.DrainTo(out); }
    uint64_t Dropped() const { return m_queue.Dropped(); }
    void ResetDropped() { m_queue.ResetDropped(); }
    size_t Capacity() const { return m_queue.Capacity(); }

    // Tests and benchmarks may fix the clock.
    void SetClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }

private:
    CBoundedQueue<CMonitorLine> m_queue;
    std::function<int64_t()> m_clock;
};
