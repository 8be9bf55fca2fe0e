#pragma once
// What a bus monitor window reads: the trace lines of the connection's link,
// queued without ever holding up the bus, parsed and decoded into frames.
#include "links/MonitorTraceTarget.h"
#include "protocol/vq7prot/FrameDecode.h"

#include <vector>

struct CMonitorRow {
    int64_t m_nTimeMs = 0;   // ms since the epoch
    CDecodedFrame m_Frame;
};

class CMonitorFeed {
public:
    explicit CMonitorFeed(size_t capacity = 100000) : m_target(capacity) {}

    // Hand this to connection::SetTraceTarget.
    CMonitorTraceTarget& Target() { return m_target; }

    // Appends the frames of every line queued so far; returns the number of lines taken.
    // A line that is no trace line of bytes becomes a row with an error.
    size_t Poll(std::vector<CMonitorRow>& out);
    // Forgets the last request (after a pause or a clear the next answer has no request).
    void ResetDecoder() { m_decoder.Reset(); }

    uint64_t Dropped() const { return m_target.Dropped(); }

private:
    CMonitorTraceTarget m_target;
    CFrameDecoder m_decoder;
    std::vector<CMonitorLine> m_lines;
    std::vector<CDecodedFrame> m_frames;
};
