#pragma once
// The byte pipe to the bus of meters, with the hooks of the exchange trace.
#include "links/ResultCodes.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class CTraceThread;
class ITraceTarget;

class CLink {
public:
    CLink();
    virtual ~CLink();
    CLink(const CLink&) = delete;
    CLink& operator=(const CLink&) = delete;

    // true: (re)open the transport; false: close it and return 0.
    virtual int Open(bool open);
    // Reads exactly len bytes or fails; *received gets the count read (when not null).
    virtual int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs);
    virtual int Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned timeoutMs);
    virtual bool IsOpen();
    // Discards pending data; flags are PURGE_* (the connection passes 11).
    virtual bool Purge(int flags);

    // An absolute end for every Read until cleared: a transaction's answer ends there
    // however its bytes come (a gateway dripping bytes cannot hold it).
    using ReadClock = std::chrono::steady_clock;
    void SetReadDeadline(ReadClock::time_point deadline) { m_tReadDeadline = deadline; }
    void ClearReadDeadline() { m_tReadDeadline = ReadClock::time_point::max(); }
    ReadClock::time_point ReadDeadline() const { return m_tReadDeadline; }
    // What a Read waits beyond its time-out when nothing comes, ms.
    virtual unsigned ReadGraceMs() const { return 0; }
    // The time one byte takes on the line, us (behind a gateway: taken as 1 ms).
    virtual unsigned ByteTimeUs() const { return 1000; }

    // Starts a trace thread writing into target (null stops tracing). Any thread may call
    // the trace hooks; they do nothing while no trace runs.
    void SetTrace(ITraceTarget* target);
    void TraceBytes(const uint8_t* bytes, unsigned count, bool received);
    void TraceEndOfFrame();

    // The last failure of Open, Read or Write in words, naming the port or gateway
    // ("не удалось открыть порт: /dev/ttyUSB0"), and its result code; empty and 0
    // when there was none since the last successful Open.
    const std::string& FaultText() const { return m_sFault; }
    int FaultCode() const { return m_nFaultCode; }

protected:
    // Notes a failure; returns code.
    int Fault(int code, const std::string& text);
    void ClearFault();

private:
    std::string m_sFault;
    int m_nFaultCode = 0;
    ReadClock::time_point m_tReadDeadline = ReadClock::time_point::max();
    std::mutex m_csTrace;
    std::unique_ptr<CTraceThread> m_pTrace;
};
