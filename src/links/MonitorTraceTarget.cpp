#include "links/MonitorTraceTarget.h"

#include <chrono>

namespace {
int64_t WallClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
}

CMonitorTraceTarget::CMonitorTraceTarget(size_t capacity) : m_queue(capacity), m_clock(WallClockMs) {}

void CMonitorTraceTarget::AddLine(const std::string& line)
{
    m_queue.TryPush(CMonitorLine{m_clock(), line});
}
