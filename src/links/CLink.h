#pragma once
// The byte pipe to the bus of meters, with the hooks of the exchange trace.
#include "links/ResultCodes.h"

#include <cstdint>
#include <memory>
#include <mutex>

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

private:
    std::mutex m_csTrace;
    std::unique_ptr<CTraceThread> m_pTrace;
};
