#pragma once
// The byte pipe to the bus of meters, with the hooks of the exchange trace.
#include "links/ResultCodes.h"

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
    std::mutex m_csTrace;
    std::unique_ptr<CTraceThread> m_pTrace;
};
