#include "links/Trace.h"

#include "links/TraceLines.h"

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

CTraceThread::CTraceThread(ITraceTarget* target, std::function<uint32_t()> clock, size_t capacity)
    : m_pTarget(target), m_clock(std::move(clock)), m_dwStartTick(m_clock()), m_nCapacity(capacity)
{
    m_thread = std::thread([this] { Run(); });
}

CTraceThread::~CTraceThread()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bTerminated = true;
    }
    m_cond.notify_one();
    m_thread.join();
}

bool CTraceThread::Queue(CMessage message)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_queue.size() >= m_nCapacity) {
            ++m_nDropped;
            ++m_nDroppedUnreported;
            return false;
        }
        m_queue.push_back(std::move(message));
    }
    m_cond.notify_one();
    return true;
}

size_t CTraceThread::Queued() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_queue.size();
}

uint64_t CTraceThread::Dropped() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nDropped;
}

void CTraceThread::Run()
{
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);   // below normal; failure is harmless
    m_pTarget->RegisterThread(this, true);
    CTraceLines lines(m_dwStartTick);
    std::vector<std::string> out;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        const auto ready = [this] { return m_bTerminated || !m_queue.empty(); };
        const int quietIn = lines.MsUntilQuiet(m_clock());
        if (quietIn < 0)
            m_cond.wait(lock, ready);
        else
            m_cond.wait_for(lock, std::chrono::milliseconds(quietIn), ready);   // a pending line waits no longer
        std::deque<CMessage> taken;
        taken.swap(m_queue);
        // Drops happen only while the queue is full, so they all follow what is taken.
        const uint64_t dropped = m_nDroppedUnreported;
        m_nDroppedUnreported = 0;
        const bool terminated = m_bTerminated;
        lock.unlock();

        for (CMessage& message : taken)
            lines.Take(std::move(message), out);
        taken.clear();
        if (dropped > 0) {   // the gap ends the line before it
            lines.Flush(out);
            out.push_back(CTraceLines::DroppedLine(dropped));
        }
        if (terminated)
            lines.Flush(out);
        else
            lines.FlushIfQuiet(m_clock(), out);
        for (const std::string& line : out)
            m_pTarget->AddLine(line);
        out.clear();

        lock.lock();
        if (terminated && m_queue.empty())
            break;
    }
    lock.unlock();
    m_pTarget->RegisterThread(this, false);
}
