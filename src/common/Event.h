#pragma once
// An event with manual or automatic reset, like a Windows event object.
#include <chrono>
#include <condition_variable>
#include <mutex>

class CEvent {
public:
    CEvent(bool manualReset, bool initiallySet) : m_manual(manualReset), m_set(initiallySet) {}

    void Set()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_set = true;
        }
        if (m_manual)
            m_cond.notify_all();
        else
            m_cond.notify_one();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_set = false;
    }
    bool IsSet() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_set;
    }
    // True when the event was set within timeoutMs; an auto-reset event is then cleared.
    bool Wait(long timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; }))
            return false;
        if (!m_manual)
            m_set = false;
        return true;
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_cond.wait(lock, [this] { return m_set; });
        if (!m_manual)
            m_set = false;
    }

private:
    const bool m_manual;
    bool m_set;
    mutable std::mutex m_lock;
    std::condition_variable m_cond;
};
