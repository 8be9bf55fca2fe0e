#include "sim/SimServer.h"

#include "sim/Rig.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SimClock::now().time_since_epoch()).count();
}

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// How long a gateway client may leave its answers unread before it is dropped.
constexpr auto kTcpStall = std::chrono::seconds(2);
}  // namespace

CSimServer::CSimServer(CRig& rig) : m_rig(rig) {}

CSimServer::~CSimServer() { Stop(); }

std::unique_ptr<CSimServer> CSimServer::StartTcp(CRig& rig, const std::string& host, uint16_t port,
                                                 std::string* error)
{
    std::unique_ptr<CSimServer> s(new CSimServer(rig));
    s->m_bTcp = true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        Fail(error, "cannot resolve the address " + host);
        return nullptr;
    }
    s->m_hListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    bool ok = s->m_hListen >= 0 &&
              setsockopt(s->m_hListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
              ::bind(s->m_hListen, found->ai_addr, found->ai_addrlen) == 0 && ::listen(s->m_hListen, 4) == 0;
    freeaddrinfo(found);
    if (!ok) {
        Fail(error, "cannot listen on " + host + ":" + service + ": " + std::strerror(errno));
        return nullptr;
    }
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    getsockname(s->m_hListen, reinterpret_cast<sockaddr*>(&bound), &len);
    s->m_nPort = ntohs(bound.sin_port);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &bound.sin_addr, text, sizeof text);
    s->m_sHost = text;
    if (::pipe2(s->m_hWake, O_CLOEXEC) != 0) {
        Fail(error, std::string("pipe: ") + std::strerror(errno));
        return nullptr;
    }
    s->m_thread = std::thread([p = s.get()] { p->RunTcp(); });
    return s;
}

std::unique_ptr<CSimServer> CSimServer::StartPty(CRig& rig, const std::string& symlink, std::string* error)
{
    std::unique_ptr<CSimServer> s(new CSimServer(rig));
    char name[256] = {};
    if (::openpty(&s->m_hMaster, &s->m_hSlave, name, nullptr, nullptr) != 0) {
        Fail(error, std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
        return nullptr;
    }
    ::fcntl(s->m_hMaster, F_SETFD, FD_CLOEXEC);
    SetNonBlocking(s->m_hMaster);   // a client that reads nothing must not stop the line
    termios tio{};
    if (tcgetattr(s->m_hSlave, &tio) == 0) {
        cfmakeraw(&tio);   // no echo of answers back into requests
        tcsetattr(s->m_hSlave, TCSANOW, &tio);
    }
    // The slave is not held open, so that clients can take it exclusively and
    // their closing shows as a hang-up.
    CloseFd(s->m_hSlave);
    s->m_sSlavePath = name;
    if (!symlink.empty()) {
        struct stat st{};
        if (::lstat(symlink.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                Fail(error, symlink + " exists and is not a symbolic link");
                return nullptr;
            }
            ::unlink(symlink.c_str());
        }
        if (::symlink(name, symlink.c_str()) != 0) {
            Fail(error, "cannot make the link " + symlink + ": " + std::strerror(errno));
            return nullptr;
        }
        s->m_sLink = symlink;
    }
    if (::pipe2(s->m_hWake, O_CLOEXEC) != 0) {
        Fail(error, std::string("pipe: ") + std::strerror(errno));
        return nullptr;
    }
    s->m_thread = std::thread([p = s.get()] { p->RunPty(); });
    return s;
}

void CSimServer::Stop()
{
    if (m_thread.joinable()) {
        m_bStop = true;
        const char c = 'x';
        [[maybe_unused]] ssize_t n = ::write(m_hWake[1], &c, 1);
        m_thread.join();
    }
    CloseFd(m_hClient);
    CloseFd(m_hListen);
    CloseFd(m_hMaster);
    CloseFd(m_hSlave);
    CloseFd(m_hWake[0]);
    CloseFd(m_hWake[1]);
    if (!m_sLink.empty()) {
        ::unlink(m_sLink.c_str());
        m_sLink.clear();
    }
}

std::string CSimServer::Address() const
{
    if (m_bTcp)
        return m_sHost + ":" + std::to_string(m_nPort);
    return m_sLink.empty() ? m_sSlavePath : m_sLink;
}

void CSimServer::SetDropFault(double probability, int count)
{
    std::lock_guard lock(m_dropLock);
    m_dropProbability = probability;
    m_dropCount = count;
}

void CSimServer::Drop()
{
    m_bDropNow = true;
    const char c = 'd';
    if (m_hWake[1] >= 0) {
        [[maybe_unused]] ssize_t n = ::write(m_hWake[1], &c, 1);
    }
}

bool CSimServer::DropDue()
{
    std::lock_guard lock(m_dropLock);
    if (m_dropCount == 0 || m_dropProbability <= 0)
        return false;
    if (m_dropProbability < 1.0 && std::uniform_real_distribution<double>(0, 1)(m_rng) >= m_dropProbability)
        return false;
    if (m_dropCount > 0)
        --m_dropCount;
    return true;
}

void CSimServer::CloseClient()
{
    CloseFd(m_hClient);
    m_frames.Clear();
}

namespace {
constexpr auto kSpinStretch = std::chrono::microseconds(150);
}

void CSimServer::SleepMicros(long long us)
{
    const auto until = SimClock::now() + std::chrono::microseconds(us);
    while (!m_bStop) {
        const auto now = SimClock::now();
        if (now >= until)
            return;
        // A sleep ends some tens of microseconds late; the last stretch is
        // waited out by yielding, so the wire's pace is kept to the microsecond.
        const auto left = until - now;
        if (left > kSpinStretch)
            std::this_thread::sleep_for(std::min<SimClock::duration>(left - kSpinStretch, std::chrono::milliseconds(10)));
        else
            std::this_thread::yield();
    }
}

void CSimServer::DrainWake()
{
    char c[16];
    [[maybe_unused]] ssize_t r = ::read(m_hWake[0], c, sizeof c);
}

void CSimServer::RunTcp()
{
    uint8_t buf[4096];
    while (!m_bStop) {
        pollfd fds[3] = {{m_hWake[0], POLLIN, 0}, {m_hListen, POLLIN, 0}, {m_hClient, POLLIN, 0}};
        const int n = ::poll(fds, m_hClient >= 0 ? 3 : 2, 20);
        m_rig.Poll();
        if (n < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            DrainWake();
        if (m_bStop)
            break;
        if (m_bDropNow.exchange(false) && m_hClient >= 0) {
            CloseClient();
            ++m_nDrops;
            continue;
        }
        // The client first: a client that closed and reconnects at once is seen closed.
        if (m_hClient >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t r = ::recv(m_hClient, buf, sizeof buf, 0);
            if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                CloseClient();
            else if (r > 0 && !Serve(m_hClient, buf, static_cast<size_t>(r)))
                CloseClient();
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(m_hListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                continue;
            if (m_hClient >= 0) {
                // Still connected? A peer that has gone reads as end of stream.
                uint8_t probe;
                const ssize_t r = ::recv(m_hClient, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
                if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                    CloseClient();
            }
            if (m_hClient >= 0) {
                ::close(fd);   // one client at a time
                continue;
            }
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            m_hClient = fd;
            m_frames.Clear();
            ++m_nAccepted;
        }
    }
}

void CSimServer::RunPty()
{
    uint8_t buf[4096];
    while (!m_bStop) {
        pollfd fds[2] = {{m_hWake[0], POLLIN, 0}, {m_hMaster, POLLIN, 0}};
        const int n = ::poll(fds, 2, 20);
        m_rig.Poll();
        if (n < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            DrainWake();
        if (m_bStop)
            break;
        m_bDropNow = false;   // a serial line cannot be dropped
        if (fds[1].revents & POLLIN) {
            const ssize_t r = ::read(m_hMaster, buf, sizeof buf);
            if (r > 0) {
                Serve(m_hMaster, buf, static_cast<size_t>(r));
                continue;
            }
        }
        if (fds[1].revents & (POLLHUP | POLLERR)) {
            // No client has the port open.
            m_frames.Clear();
            SleepMicros(20000);
        }
    }
}

bool CSimServer::Serve(int fd, const uint8_t* bytes, size_t count)
{
    m_frames.Push(bytes, count, NowMs());
    std::array<uint8_t, 16> frame;
    while (m_frames.Next(frame)) {
        if (m_bTcp && DropDue()) {
            ++m_nDrops;
            return false;
        }
        ++m_nFrames;
        const BusAnswer answer = m_rig.Exchange(frame.data(), frame.size());
        if (!answer.bytes.empty() && !WriteAnswer(fd, answer.bytes, answer.delayMs, frame.size()))
            return false;
    }
    return true;
}

bool CSimServer::WriteAnswer(int fd, const std::vector<uint8_t>& bytes, unsigned delayMs, size_t requestBytes)
{
    SleepMicros(delayMs * 1000LL + m_rig.WireMicros(requestBytes));
    const unsigned baud = m_rig.Baud();
    // Paced in pieces of about 2 ms at the baud rate, or all at once.
    const size_t piece = baud ? std::max<size_t>(1, baud / 10 / 500) : bytes.size();
    const auto start = SimClock::now();
    size_t done = 0;
    while (done < bytes.size() && !m_bStop) {
        const size_t n = std::min(piece, bytes.size() - done);
        if (baud) {
            const auto due = start + std::chrono::microseconds(m_rig.WireMicros(done + n));
            const auto now = SimClock::now();
            if (due > now)
                SleepMicros(std::chrono::duration_cast<std::chrono::microseconds>(due - now).count());
        }
        const ssize_t w = m_bTcp ? ::send(fd, bytes.data() + done, n, MSG_NOSIGNAL)
                                 : ::write(fd, bytes.data() + done, n);
        if (w >= 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (!m_bTcp)
            return true;   // a serial line loses what its reader has no room for
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || !WaitWritable(fd))
            return false;
    }
    return true;
}

bool CSimServer::WaitWritable(int fd)
{
    const auto until = SimClock::now() + kTcpStall;
    while (!m_bStop && SimClock::now() < until) {
        pollfd p{fd, POLLOUT, 0};
        const int n = ::poll(&p, 1, 20);
        if (n > 0)
            return (p.revents & POLLOUT) != 0;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}
