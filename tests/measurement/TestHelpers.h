#pragma once
// Small helpers of the measurement tests.
#include "common/DebugOutput.h"
#include "support/RecordingOperator.h"
#include "support/Wait.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Collects the lines of the debug output channel while it lives.
class DebugLines {
public:
    DebugLines()
    {
        SetDebugOutputSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_lines.push_back(line);
        });
    }
    ~DebugLines() { SetDebugOutputSink({}); }
    int Count(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        int n = 0;
        for (const auto& l : m_lines)
            n += l == text;
        return n;
    }
    size_t Size() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lines.size();
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

// An operator whose GUI thread is the test's own thread: calls handed over
// wait until the test pumps them, like a toolkit's blocking queued call.
class CQueuedGuiOperator : public CRecordingOperator {
public:
    void RunOnGuiThread(const std::function<void()>& fn) override
    {
        auto call = std::make_shared<Call>();
        call->fn = fn;
        std::unique_lock<std::mutex> lock(m_qlock);
        m_queue.push_back(call);
        m_cond.notify_all();
        m_cond.wait(lock, [&] { return call->done; });
    }
    size_t Pending()
    {
        std::lock_guard<std::mutex> lock(m_qlock);
        return m_queue.size();
    }
    // Runs every queued call on the calling thread.
    void Pump()
    {
        for (;;) {
            std::shared_ptr<Call> call;
            {
                std::lock_guard<std::mutex> lock(m_qlock);
                if (m_queue.empty())
                    return;
                call = m_queue.front();
                m_queue.pop_front();
            }
            call->fn();
            std::lock_guard<std::mutex> lock(m_qlock);
            call->done = true;
            m_cond.notify_all();
        }
    }

private:
    struct Call {
        std::function<void()> fn;
        bool done = false;
    };
    std::mutex m_qlock;
    std::condition_variable m_cond;
    std::deque<std::shared_ptr<Call>> m_queue;
};
