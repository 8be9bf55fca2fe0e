#include "links/Trace.h"

#include "links/TraceLines.h"

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
        m_cond.wait(lock, [this] { return m_bTerminated || !m_queue.empty(); });
        std::deque<CMessage> taken;
        taken.swap(m_queue);
        const bool terminated = m_bTerminated;
        lock.unlock();

        for (CMessage& message : taken)
            lines.Take(std::move(message), m_clock(), out);
        if (terminated)
            lines.Flush(out);
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
