#include "RigGateway.h"

#include "protocol/connection.h"
#include "sim/Rig.h"
#include "support/PtyPair.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr size_t kFrameSize = 16;
constexpr int kPollMs = 20;

bool WriteAll(int fd, const std::vector<uint8_t>& bytes, bool socket)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                 : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}
}

CRigGateway::CRigGateway(CRig& rig, Transport transport) : m_rig(rig)
{
    if (transport == Pty) {
        m_pPty = std::make_unique<PtyPair>();
        m_thread = std::thread([this] { RunPty(); });
        return;
    }
    m_hListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_hListen < 0 || ::bind(m_hListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_hListen, 4) != 0 || ::getsockname(m_hListen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("gateway: cannot listen on loopback");
    m_nPort = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CRigGateway::~CRigGateway()
{
    m_bStop = true;
    m_thread.join();
    if (m_hListen >= 0)
        ::close(m_hListen);
}

void CRigGateway::Configure(connection& conn) const
{
    if (m_pPty) {
        conn.m_sPort = m_pPty->SlaveName();
        return;
    }
    conn.m_sPort = "TCP/IP";
    conn.m_sIp = "127.0.0.1";
    conn.m_sTcpIpPort = std::to_string(m_nPort);
}

std::vector<GatewayRequest> CRigGateway::Log() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_log;
}

void CRigGateway::SetLoss(std::function<bool(const GatewayRequest&)> lose)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_lose = std::move(lose);
}

void CRigGateway::SetAnswerHook(AnswerHook hook)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_onAnswer = std::move(hook);
}

void CRigGateway::Run()
{
    while (!m_bStop) {
        pollfd p{m_hListen, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0)
            continue;
        const int client = ::accept4(m_hListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::vector<uint8_t> pending;
        while (!m_bStop && Serve(client, pending)) {
        }
        ::close(client);
    }
}

void CRigGateway::RunPty()
{
    std::vector<uint8_t> pending;
    while (!m_bStop)
        if (!Serve(m_pPty->Master(), pending))
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}

bool CRigGateway::Serve(int fd, std::vector<uint8_t>& pending)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kPollMs) <= 0)
        return true;
    uint8_t buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0)
        return false;
    pending.insert(pending.end(), buf, buf + n);
    while (pending.size() >= kFrameSize) {
        const std::vector<uint8_t> frame(pending.begin(), pending.begin() + kFrameSize);
        pending.erase(pending.begin(), pending.begin() + kFrameSize);
        GatewayRequest request{frame[4], std::vector<uint8_t>(frame.begin() + 5, frame.begin() + 14)};
        bool lost;
        AnswerHook onAnswer;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_log.push_back(request);
            lost = m_lose && m_lose(request);
            onAnswer = m_onAnswer;
        }
        if (lost)
            continue;
        BusAnswer answer = m_rig.Exchange(frame.data(), frame.size());
        if (answer.bytes.empty())
            continue;
        if (onAnswer)
            onAnswer(frame, answer.bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
        if (!WriteAll(fd, answer.bytes, !m_pPty))
            return false;
    }
    return true;
}
