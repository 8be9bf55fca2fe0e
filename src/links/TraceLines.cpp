#include "links/TraceLines.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
enum class Kind { Empty, Received, Sent };

Kind KindOf(const CMessage& message)
{
    if (message.m_abBytes.empty())
        return Kind::Empty;
    return message.m_bReceived ? Kind::Received : Kind::Sent;
}
}

uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {
constexpr uint32_t kLineSpanMs = 255;
}

void CTraceLines::Take(CMessage message, std::vector<std::string>& out)
{
    if (!m_pending.m_abBytes.empty() &&
        (KindOf(message) != KindOf(m_pending) || static_cast<uint32_t>(message.m_dwTick - m_pending.m_dwTick) > kLineSpanMs))
        Emit(out);
    if (m_pending.m_abBytes.empty()) {
        m_pending = std::move(message);
    } else {
        m_pending.m_abBytes.insert(m_pending.m_abBytes.end(), message.m_abBytes.begin(), message.m_abBytes.end());
        m_pending.m_nLength = static_cast<int>(m_pending.m_abBytes.size());
    }
}

void CTraceLines::FlushIfQuiet(uint32_t now, std::vector<std::string>& out)
{
    if (!m_pending.m_abBytes.empty() && static_cast<uint32_t>(now - m_pending.m_dwTick) > kLineSpanMs)
        Emit(out);
}

int CTraceLines::MsUntilQuiet(uint32_t now) const
{
    if (m_pending.m_abBytes.empty())
        return -1;
    const uint32_t age = now - m_pending.m_dwTick;
    return age > kLineSpanMs ? 0 : static_cast<int>(kLineSpanMs + 1 - age);
}

void CTraceLines::Flush(std::vector<std::string>& out)
{
    if (!m_pending.m_abBytes.empty())
        Emit(out);
}

void CTraceLines::Emit(std::vector<std::string>& out)
{
    out.push_back(FormatLine(m_pending, m_pending.m_dwTick - m_dwLastTick));
    m_dwLastTick = m_pending.m_dwTick;
    m_pending = CMessage();
}

std::string CTraceLines::FormatLine(const CMessage& message, uint32_t delayMs)
{
    std::string line = message.m_bReceived ? ">> " : "<< ";
    char buf[64];
    std::snprintf(buf, sizeof buf, "[L=%3u, dly=%u] ", static_cast<unsigned>(message.m_abBytes.size()), delayMs);
    line += buf;
    for (uint8_t b : message.m_abBytes) {
        std::snprintf(buf, sizeof buf, " %.2X", b);
        line += buf;
    }
    return line;
}

namespace {
constexpr const char kDroppedPrefix[] = "!! [dropped=";
constexpr const char kDroppedText[] = "] сообщения трассы пропущены: запись трассы не успевала";
}

std::string CTraceLines::DroppedLine(uint64_t count)
{
    return kDroppedPrefix + std::to_string(count) + kDroppedText;
}

bool CTraceLines::ParseDroppedLine(const std::string& line, uint64_t& count)
{
    const size_t prefix = sizeof kDroppedPrefix - 1;
    if (line.compare(0, prefix, kDroppedPrefix) != 0 || line.size() <= prefix || !std::isdigit(static_cast<unsigned char>(line[prefix])))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(line.c_str() + prefix, &end, 10);
    if (errno == ERANGE || std::string(end) != kDroppedText)
        return false;
    count = value;
    return true;
}
