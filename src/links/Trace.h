#pragma once
// The exchange trace: bytes passing a link become lines such as
// ">> [L= 32, dly=15]  78 56 34 12 ..." in a trace target.
#include <condition_variable>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CTraceThread;

// Where trace lines go.
class ITraceTarget {
public:
    virtual ~ITraceTarget() = default;
    virtual void RegisterThread(CTraceThread* thread, bool registered) = 0;
    virtual void AddLine(const std::string& line) = 0;
};

// Bytes of one direction, or an empty end-of-frame marker.
struct CMessage {
    uint32_t m_dwTick = 0;     // ms
    int m_nLength = 0;
    uint8_t m_bReceived = 0;
    std::vector<uint8_t> m_abBytes;
};

// Collects queued messages into lines and hands them to the target.
class CTraceThread {
public:
    explicit CTraceThread(ITraceTarget* target);
    ~CTraceThread();   // emits what is queued, then joins

    void Queue(CMessage message);

private:
    void Run();
    void Step(std::unique_lock<std::mutex>& lock, bool final);
    void Emit(CMessage& pending);

    ITraceTarget* m_pTarget;
    std::mutex m_lock;
    std::condition_variable m_cond;
    std::deque<CMessage> m_queue;
    bool m_bTerminated = false;
    uint32_t m_dwLastTick;
    std::thread m_thread;
};

// Appends trace lines to a text file.
class CFileTraceTarget : public ITraceTarget {
public:
    explicit CFileTraceTarget(const std::string& path);
    ~CFileTraceTarget() override;
    bool IsOpen() const { return m_pFile != nullptr; }
    void RegisterThread(CTraceThread*, bool) override {}
    void AddLine(const std::string& line) override;

private:
    std::mutex m_lock;
    std::FILE* m_pFile;
};

// Milliseconds of a monotonic clock, wrapping like a tick counter.
uint32_t TickCount();
