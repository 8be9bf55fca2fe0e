#include "support/LoopbackServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer(Handler handler, int receiveBuffer)
    : m_handler(std::move(handler)), m_receiveBuffer(receiveBuffer)
{
    if (pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        throw std::runtime_error("socket failed");
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (m_receiveBuffer > 0)   // inherited by accepted sockets; must precede listen
        setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &m_receiveBuffer, sizeof m_receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_listen, 8) != 0
        || getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("cannot listen on loopback");
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    Stop();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

void LoopbackServer::Stop()
{
    if (m_stopping.exchange(true))
        return;
    const char c = 1;
    (void)!write(m_wake[1], &c, 1);
    m_acceptThread.join();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int fd : m_peers)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : m_threads)
        t.join();
}

void LoopbackServer::AcceptLoop()
{
    for (;;) {
        pollfd p[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_accepted;
        std::lock_guard<std::mutex> lock(m_lock);
        m_peers.push_back(fd);
        m_threads.emplace_back([this, fd] {
            Peer peer(fd, *this);
            m_handler(peer);
            std::lock_guard<std::mutex> guard(m_lock);
            m_peers.erase(std::find(m_peers.begin(), m_peers.end(), fd));
            close(fd);
        });
    }
}

long LoopbackServer::Peer::ReceiveSome(void* data, size_t size, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            return -1;
        pollfd pfd[2] = {{m_fd, POLLIN, 0}, {m_server.m_wake[0], POLLIN, 0}};
        int rc = poll(pfd, 2, static_cast<int>(left.count()) + 1);
        if (rc < 0 && errno != EINTR)
            return 0;
        if (pfd[1].revents)
            return 0;
        if (!(pfd[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t n = recv(m_fd, data, size, MSG_DONTWAIT);
        if (n > 0)
            return n;
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return 0;
    }
}

bool LoopbackServer::Peer::Receive(void* data, size_t size, int timeoutMs)
{
    auto* p = static_cast<uint8_t*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        long n = ReceiveSome(p, size, std::max<long>(0, left.count()));
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::vector<uint8_t> LoopbackServer::Peer::Receive(size_t size, int timeoutMs)
{
    std::vector<uint8_t> bytes(size);
    if (!Receive(bytes.data(), size, timeoutMs))
        bytes.clear();
    return bytes;
}

bool LoopbackServer::Peer::Send(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = send(m_fd, p, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool LoopbackServer::Peer::Sleep(int ms)
{
    pollfd pfd{m_server.m_wake[0], POLLIN, 0};
    return poll(&pfd, 1, ms) == 0;
}

void LoopbackServer::Peer::Close()
{
    shutdown(m_fd, SHUT_RDWR);
}

LoopbackServer::Handler LoopbackServer::Echo()
{
    return [](Peer& peer) {
        uint8_t buf[4096];
        for (;;) {
            long n = peer.ReceiveSome(buf, sizeof buf, 60000);
            if (n == 0 || (n > 0 && !peer.Send(buf, static_cast<size_t>(n))))
                return;
        }
    };
}

LoopbackServer::Handler LoopbackServer::Silent()
{
    return [](Peer& peer) { peer.WaitForStop(); };
}

LoopbackServer::Handler LoopbackServer::CloseAtOnce()
{
    return [](Peer& peer) { peer.Close(); };
}

LoopbackServer::Handler LoopbackServer::Answer(size_t requestSize, std::vector<uint8_t> answer, int delayMs)
{
    return [requestSize, answer, delayMs](Peer& peer) {
        std::vector<uint8_t> request(requestSize);
        while (peer.Receive(request.data(), requestSize, 60000)) {
            if (delayMs > 0 && !peer.Sleep(delayMs))
                return;
            if (!peer.Send(answer))
                return;
        }
    };
}
