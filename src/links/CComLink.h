#pragma once
// The serial-port link on a terminal device: exclusive (TIOCEXCL and flock), raw 8N1
// at any speed, DTR off. A port whose set-up fails is closed again.
#include "links/CLink.h"

#include <string>

class CComLink : public CLink {
public:
    // stopBits: 0 one stop bit, 1 one and a half, 2 two; above 2 is stored as 2.
    CComLink(const std::string& portName, uint32_t baudRate, uint8_t stopBits);
    ~CComLink() override;

    int Open(bool open) override;
    // Nothing at all ends the read 100 ms after its time-out; bytes that keep coming are
    // waited for, but never past the read deadline.
    int Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs) override;
    unsigned ReadGraceMs() const override { return kReadGraceMs; }
    // Twice the time of a byte (start, 8 data, stop bits) at the port's speed, at least 1 ms.
    unsigned ByteTimeUs() const override;
    // The time-out argument is not used: a write may take 300 ms plus 1 ms per byte,
    // and returns when the bytes have left the port.
    int Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned timeoutMs) override;
    bool IsOpen() override;
    bool Purge(int flags) override;

    const std::string& PortName() const { return m_sPortName; }
    uint32_t BaudRate() const { return m_nBaudRate; }
    uint8_t StopBits() const { return m_bStopBits; }

    // The device path of a port name: "/..." as is, "COMn" is /dev/ttyS(n-1), else /dev/NAME;
    // empty for a bare name holding '/' or "..". Open takes only a terminal device.
    static std::string DevicePath(const std::string& portName);

    static constexpr unsigned kReadGraceMs = 100;

private:
    void ClosePort();

    int m_hPort = -1;
    bool m_bExclusive = false;   // TIOCEXCL set by us
    std::string m_sPortName;
    uint32_t m_nBaudRate;
    uint8_t m_bStopBits;
};
