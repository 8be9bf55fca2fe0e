#pragma once
// A loopback TCP port that is bound but never listens: connecting to it is refused,
// and no other program can take the port while this object lives.
#include <cstdint>
#include <string>

class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    uint16_t Port() const { return m_nPort; }
    std::string PortText() const { return std::to_string(m_nPort); }

private:
    int m_hSocket = -1;
    uint16_t m_nPort = 0;
};
