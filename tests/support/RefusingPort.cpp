#include "RefusingPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

RefusingPort::RefusingPort()
{
    m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_hSocket < 0 || ::bind(m_hSocket, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot bind a loopback port");
    m_nPort = ntohs(a.sin_port);
}

RefusingPort::~RefusingPort()
{
    if (m_hSocket >= 0)
        ::close(m_hSocket);
}
