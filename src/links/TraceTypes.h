#pragma once
// What the exchange trace passes around: messages of bytes and the target of lines.
#include <cstdint>
#include <string>
#include <vector>

class CTraceThread;

// Where trace lines go.
class ITraceTarget {
public:
    virtual ~ITraceTarget() = default;
    // Called by the trace thread when it starts (true) and when it ends (false).
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

// Milliseconds of a monotonic clock, wrapping like a tick counter.
uint32_t TickCount();
