#pragma once
// Turns the queued trace messages into lines: consecutive messages of one kind
// (received, sent, empty) collect into one line, which is complete when the kind
// changes, when a message comes more than 255 ms after the line's first byte, or
// after 255 ms of quiet. Times are the messages' own ticks, not when they are taken.
#include "links/TraceTypes.h"

#include <string>
#include <vector>

class CTraceLines {
public:
    explicit CTraceLines(uint32_t startTick) : m_dwLastTick(startTick) {}

    // Takes the next message; completed lines are appended to out.
    void Take(CMessage message, std::vector<std::string>& out);
    // Emits the pending line when more than 255 ms have passed since its first byte.
    void FlushIfQuiet(uint32_t now, std::vector<std::string>& out);
    // Milliseconds from now until FlushIfQuiet would emit; -1 when nothing is pending.
    int MsUntilQuiet(uint32_t now) const;
    // Emits the collected bytes, if any.
    void Flush(std::vector<std::string>& out);

    // ">> " or "<< ", "[L=%3u, dly=%u] ", then " %.2X" per byte.
    static std::string FormatLine(const CMessage& message, uint32_t delayMs);
    // The line that marks where messages were dropped, and its reading back.
    static std::string DroppedLine(uint64_t count);
    static bool ParseDroppedLine(const std::string& line, uint64_t& count);

private:
    void Emit(std::vector<std::string>& out);

    CMessage m_pending;
    uint32_t m_dwLastTick;   // tick of the previous line (first line: start of the trace)
};
