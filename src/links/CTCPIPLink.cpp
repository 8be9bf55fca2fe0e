#include "links/CTCPIPLink.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

constexpr int kWriteWaitMs = 1000;
constexpr int kPurgeLimitMs = 1000;

enum class Wait { Ready, Expired, Failed };

Wait WaitUntil(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, events, 0};
        int rc = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (rc > 0)
            return Wait::Ready;   // errors and hang-ups show in the following call
        if (rc == 0)
            return Wait::Expired;
        if (errno != EINTR)
            return Wait::Failed;
    }
}

Wait WaitFor(int fd, short events, int timeoutMs)
{
    return WaitUntil(fd, events, Clock::now() + std::chrono::milliseconds(timeoutMs));
}

// Connects a non-blocking socket within timeoutMs.
bool ConnectWithin(int fd, const sockaddr* addr, socklen_t len, int timeoutMs)
{
    if (connect(fd, addr, len) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    if (WaitFor(fd, POLLOUT, timeoutMs) != Wait::Ready)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}
}

CTCPIPLink::CTCPIPLink(const std::string& host, const std::string& service) : m_sHost(host), m_sService(service)
{
}

CTCPIPLink::~CTCPIPLink()
{
    Open(false);
}

void CTCPIPLink::CloseSocket()
{
    if (m_Socket >= 0)
        close(m_Socket);
    m_Socket = -1;
}

std::string CTCPIPLink::Place() const
{
    return m_sHost + ":" + m_sService;
}

int CTCPIPLink::Closed(int code)
{
    CloseSocket();   // nothing more will come: the next transaction connects again
    return Fault(code, "шлюз закрыл соединение: " + Place());
}

int CTCPIPLink::Open(bool open)
{
    CloseSocket();
    ClearFault();
    if (!open)
        return RC_OK;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (getaddrinfo(m_sHost.c_str(), m_sService.c_str(), &hints, &list) != 0 || !list)
        return Fault(RC_NOT_OPEN, "не найден адрес шлюза: " + Place());

    int result = RC_NOT_OPEN;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            break;
        if (ConnectWithin(fd, ai->ai_addr, ai->ai_addrlen, kConnectTimeoutMs)) {
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);   // a frame goes out at once
            m_Socket = fd;
            result = RC_OK;
            break;
        }
        close(fd);
    }
    freeaddrinfo(list);
    if (result != RC_OK)
        return Fault(result, "не удалось подключиться к шлюзу: " + Place());
    return result;
}

int CTCPIPLink::Read(uint8_t* buf, unsigned len, unsigned* received, unsigned timeoutMs)
{
    if (!buf || len == 0)
        return RC_BAD_ARGUMENT;
    if (m_Socket < 0)
        return RC_NOT_OPEN;

    // One end for the whole read: bytes that trickle in do not start the wait anew.
    const Clock::time_point end =
        std::min(Clock::now() + std::chrono::milliseconds(int64_t{timeoutMs} + kReadExtraMs), ReadDeadline());
    unsigned got = 0;
    int result = RC_OK;
    while (got < len) {
        const Wait wait = WaitUntil(m_Socket, POLLIN, end);
        if (wait != Wait::Ready) {
            result = wait == Wait::Expired ? RC_TIMEOUT : RC_READ_ERROR;
            break;
        }
        ssize_t n = recv(m_Socket, buf + got, len - got, MSG_DONTWAIT);
        if (n > 0) {
            got += static_cast<unsigned>(n);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            result = RC_READ_ERROR;   // closed or reset by the gateway
            break;
        }
    }
    if (received)
        *received = got;
    TraceBytes(buf, got, true);
    if (result == RC_READ_ERROR)
        return Closed(result);
    return result;
}

int CTCPIPLink::Write(const uint8_t* buf, unsigned len, unsigned* written, unsigned)
{
    if (!buf || len == 0)
        return RC_BAD_ARGUMENT;
    if (m_Socket < 0)
        return RC_NOT_OPEN;

    unsigned sent = 0;
    int failure = RC_OK;
    while (sent < len) {
        const Wait wait = WaitFor(m_Socket, POLLOUT, kWriteWaitMs);
        if (wait == Wait::Expired) {
            failure = RC_TIMEOUT;   // the gateway takes nothing more
            break;
        }
        if (wait == Wait::Failed) {
            failure = RC_READ_ERROR;
            break;
        }
        ssize_t n = send(m_Socket, buf + sent, len - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<unsigned>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            failure = errno == EPIPE || errno == ECONNRESET ? RC_NOT_OPEN : RC_READ_ERROR;
            break;
        }
    }
    if (written)
        *written = sent;
    TraceBytes(buf, sent, false);
    if (failure == RC_NOT_OPEN)
        return Closed(RC_SHORT_WRITE);
    if (failure != RC_OK) {
        CloseSocket();
        return Fault(RC_SHORT_WRITE, (failure == RC_TIMEOUT ? "шлюз не принимает данные: " : "ошибка передачи шлюзу: ") +
                                         Place());
    }
    return RC_OK;
}

bool CTCPIPLink::IsOpen()
{
    return m_Socket >= 0;
}

bool CTCPIPLink::Purge(int flags)
{
    if (!(flags & PURGE_RXCLEAR) || m_Socket < 0)
        return false;
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kPurgeLimitMs);
    uint8_t sink[4096];
    while (Clock::now() < limit) {
        pollfd p{m_Socket, POLLIN, 0};
        int rc = poll(&p, 1, 0);   // readable now? (a 10 us sleep would cost the timer slack, ~60 us)
        if (rc == 0)
            return true;
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        ssize_t n = recv(m_Socket, sink, sizeof sink, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Closed(RC_NOT_OPEN);   // closed by the gateway while idle
            return false;
        }
    }
    return false;
}
