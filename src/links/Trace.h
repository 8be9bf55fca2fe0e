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
// and hands the lines to the target.
class CTraceThread {
public:
    explicit CTraceThread(ITraceTarget* target, std::function<uint32_t()> clock = TickCount);
    ~CTraceThread();   // emits what is queued and pending, then joins
    CTraceThread(const CTraceThread&) = delete;
    CTraceThread& operator=(const CTraceThread&) = delete;

    void Queue(CMessage message);

private:
    void Run();

    ITraceTarget* m_pTarget;
    std::function<uint32_t()> m_clock;
    uint32_t m_dwStartTick;
    std::mutex m_lock;
    std::condition_variable m_cond;
    std::deque<CMessage> m_queue;
    bool m_bTerminated = false;
    std::thread m_thread;
};
