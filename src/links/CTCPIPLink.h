#pragma once
// The TCP client link to a TCP/IP-to-serial gateway; bytes pass unchanged.
#include "links/CLink.h"

#include <string>

class CTCPIPLink : public CLink {
public:
    CTCPIPLink(const std::string& host, const std::string& service);
    ~CTCPIPLink() override;

    int Open(bool open) override;
    // The read ends at most the time-out + 1000 ms after its start (or at the read
    // deadline), however the bytes come. A gateway that closes or resets the connection
    // ends the read at once with RC_READ_ERROR and closes the link.
    int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs) override;
    unsigned ReadGraceMs() const override { return kReadExtraMs; }
    // Each wait for room lasts at most 1 s. Any failure is RC_SHORT_WRITE and closes the link.
    int Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned timeoutMs) override;
    bool IsOpen() override;
    // Drains pending input when flags include PURGE_RXCLEAR (so 11 drains too); other flags: false.
    // Finding the connection closed by the gateway closes the link (false).
    bool Purge(int flags) override;

    const std::string& Host() const { return m_sHost; }
    const std::string& Service() const { return m_sService; }

    // Bound of one connection attempt, so that a dead gateway does not hold the program.
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr unsigned kReadExtraMs = 1000;

private:
    void CloseSocket();
    std::string Place() const;   // "host:port" for messages
    int Closed(int code);        // closes the socket, notes that the gateway closed it

    std::string m_sHost;
    std::string m_sService;
    int m_Socket = -1;
};
