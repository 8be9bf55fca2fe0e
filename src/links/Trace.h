#pragma once
// The exchange trace: bytes passing a link become lines such as
// ">> [L= 32, dly=15]  78 56 34 12 ..." in a trace target.
#include "links/FileTraceTarget.h"
#include "links/TraceTypes.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A low-priority thread that waits for queued messages, groups them into lines
// and hands the lines to the target. The queue holds at most `capacity`
// messages: a target that stalls (a trace file on a hung disk, a full pipe)
// never makes the bus wait nor the memory grow; what does not fit is dropped,
// counted, and the count written into the trace where the gap is.
class CTraceThread {
public:
    // About eight seconds of a 921600-baud poll loop; a few megabytes at most.
    static constexpr size_t kDefaultCapacity = 65536;

    explicit CTraceThread(ITraceTarget* target, std::function<uint32_t()> clock = TickCount,
                          size_t capacity = kDefaultCapacity);
    ~CTraceThread();   // emits what is queued and pending, then joins
    CTraceThread(const CTraceThread&) = delete;
    CTraceThread& operator=(const CTraceThread&) = delete;

    // Never waits for the target; false (and one more drop) when the queue is full.
    bool Queue(CMessage message);

    size_t Queued() const;
    uint64_t Dropped() const;   // since the start
    size_t Capacity() const { return m_nCapacity; }

private:
    void Run();

    ITraceTarget* m_pTarget;
    std::function<uint32_t()> m_clock;
    uint32_t m_dwStartTick;
    const size_t m_nCapacity;
    mutable std::mutex m_lock;
    std::condition_variable m_cond;
    std::deque<CMessage> m_queue;
    uint64_t m_nDropped = 0;
    uint64_t m_nDroppedUnreported = 0;   // not yet written into the trace
    bool m_bTerminated = false;
    std::thread m_thread;
};
