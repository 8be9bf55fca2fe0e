#include "links/CLink.h"

#include "links/Trace.h"

CLink::CLink() = default;

CLink::~CLink()
{
    SetTrace(nullptr);
}

int CLink::Open(bool)
{
    return -1;
}

int CLink::Read(uint8_t*, unsigned, unsigned*, unsigned)
{
    return -1;
}

int CLink::Write(const uint8_t*, unsigned, unsigned*, unsigned)
{
    return -1;
}

bool CLink::IsOpen()
{
    return false;
}

bool CLink::Purge(int)
{
    return false;
}

int CLink::Fault(int code, const std::string& text)
{
    m_nFaultCode = code;
    m_sFault = text;
    return code;
}

void CLink::ClearFault()
{
    m_nFaultCode = 0;
    m_sFault.clear();
}

void CLink::SetTrace(ITraceTarget* target)
{
    std::lock_guard<std::mutex> lock(m_csTrace);
    m_pTrace.reset();   // emits what is queued and joins
    if (target)
        m_pTrace = std::make_unique<CTraceThread>(target);
}

void CLink::TraceBytes(const uint8_t* bytes, unsigned count, bool received)
{
    std::lock_guard<std::mutex> lock(m_csTrace);
    if (!m_pTrace || (!bytes && count > 0))
        return;
    CMessage message;
    message.m_dwTick = TickCount();
    message.m_nLength = static_cast<int>(count);
    message.m_bReceived = received ? 1 : 0;
    if (count > 0)   // an empty read still separates lines, like an end-of-frame mark
        message.m_abBytes.assign(bytes, bytes + count);
    m_pTrace->Queue(std::move(message));
}

void CLink::TraceEndOfFrame()
{
    std::lock_guard<std::mutex> lock(m_csTrace);
    if (!m_pTrace)
        return;
    CMessage message;
    message.m_dwTick = TickCount();
    m_pTrace->Queue(std::move(message));
}
