#pragma once
// The gateway link, counting the bytes in both directions (wire time of a bench).
#include "links/CTCPIPLink.h"

#include <atomic>
#include <cstdint>
#include <string>

class CCountingLink : public CTCPIPLink {
public:
    CCountingLink(const std::string& host, const std::string& service, std::atomic<uint64_t>& bytes)
        : CTCPIPLink(host, service), m_bytes(bytes)
    {
    }
    int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs) override
    {
        unsigned got = 0;
        const int rc = CTCPIPLink::Read(buf, len, &got, timeoutMs);
        m_bytes += got;
        if (received)
            *received = got;
        return rc;
    }
    int Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned timeoutMs) override
    {
        unsigned put = 0;
        const int rc = CTCPIPLink::Write(buf, len, &put, timeoutMs);
        m_bytes += put;
        if (written)
            *written = put;
        return rc;
    }

private:
    std::atomic<uint64_t>& m_bytes;
};
