#pragma once
// Turns the queued trace messages into lines: consecutive messages of one kind
// (received, sent, empty) collect into one line, which is complete when the kind
// changes or when more than 255 ms have passed since its first message.
#include "links/TraceTypes.h"

#include <string>
#include <vector>

class CTraceLines {
public:
    explicit CTraceLines(uint32_t startTick) : m_dwLastTick(startTick) {}

    // Takes the next message at time `now`; completed lines are appended to out.
    void Take(CMessage message, uint32_t now, std::vector<std::string>& out);
    // Emits the collected bytes, if any.
    void Flush(std::vector<std::string>& out);

    // ">> " or "<< ", "[L=%3u, dly=%u] ", then " %.2X" per byte.
    static std::string FormatLine(const CMessage& message, uint32_t delayMs);

private:
    void Emit(std::vector<std::string>& out);

    CMessage m_pending;
    uint32_t m_dwLastTick;   // tick of the previous line (first line: start of the trace)
};
