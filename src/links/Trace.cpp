#include "links/Trace.h"

#include "links/TraceLines.h"

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

CTraceThread::CTraceThread(ITraceTarget* target, std::function<uint32_t()> clock)
    : m_pTarget(target), m_clock(std::move(clock)), m_dwStartTick(m_clock())
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

void CTraceThread::Queue(CMessage message)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_queue.push_back(std::move(message));
    }
    m_cond.notify_one();
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
        const bool terminated = m_bTerminated;
        lock.unlock();

        for (CMessage& message : taken)
            lines.Take(std::move(message), out);
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
