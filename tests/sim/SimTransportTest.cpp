// The transports under clients that misbehave: the simulator keeps serving and stops on request.
#include "SimRequest.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
constexpr uint32_t kFj = 11000004;

struct Fd {
    int fd = -1;
    ~Fd() { Close(); }
    void Close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Reads a whole answer of this length, or fails after the time.
std::vector<uint8_t> ReadAnswer(int fd, size_t length, int timeoutMs)
{
    std::vector<uint8_t> answer;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (answer.size() < length && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        uint8_t buf[64];
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, length - answer.size()));
        if (n <= 0)
            break;
        answer.insert(answer.end(), buf, buf + n);
    }
    return answer;
}

int Connect(uint16_t port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Stop() in the background; true when it returned in time. Late, release() is
// called until it returns, so that a failing test still ends.
bool StopsWithin(CSimServer& server, std::chrono::milliseconds limit, const std::function<void()>& release)
{
    auto stopped = std::async(std::launch::async, [&] { server.Stop(); });
    const bool inTime = stopped.wait_for(limit) == std::future_status::ready;
    while (stopped.wait_for(10ms) != std::future_status::ready)
        release();
    return inTime;
}

std::vector<uint8_t> Frames(const std::vector<uint8_t>& request, size_t count)
{
    std::vector<uint8_t> v;
    for (size_t i = 0; i < count; ++i)
        v.insert(v.end(), request.begin(), request.end());
    return v;
}
}  // namespace

TEST(SimTransport, SerialClientThatNeverReadsLosesAnswersNotTheLine)
{
    auto rig = CRig::DefaultRig();
    std::string error;
    auto server = CSimServer::StartPty(*rig, "", &error);
    ASSERT_TRUE(server) << error;
    Fd client{::open(server->SlavePath().c_str(), O_RDWR | O_NOCTTY)};
    ASSERT_GE(client.fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(client.fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(tcsetattr(client.fd, TCSANOW, &tio), 0);

    // Far more answers than the line's buffers hold, none of them read.
    const auto request = Request(kFj, VQ7_CMD_READ_VERSION);
    const auto batch = Frames(request, 20);
    unsigned sent = 0;
    bool served = true;
    for (int i = 0; i < 150 && served; ++i) {
        ASSERT_EQ(::write(client.fd, batch.data(), batch.size()), static_cast<ssize_t>(batch.size()));
        sent += 20;
        served = WaitUntil([&] { return server->FramesServed() >= sent; }, 2000);
        EXPECT_TRUE(served) << "served " << server->FramesServed() << " of " << sent;
    }
    if (served) {
        // A reader that catches up gets its answers again.
        std::this_thread::sleep_for(50ms);
        tcflush(client.fd, TCIFLUSH);
        ASSERT_EQ(::write(client.fd, request.data(), request.size()), 16);
        const auto answer = ReadAnswer(client.fd, 32, 2000);
        ASSERT_EQ(answer.size(), 32u);
        EXPECT_EQ(LeU32(answer.data()), NumberToBcd(kFj));
        EXPECT_EQ(answer[4], VQ7_CMD_READ_VERSION);
    }
    EXPECT_TRUE(StopsWithin(*server, 3000ms, [&] { tcflush(client.fd, TCIOFLUSH); }));
}

TEST(SimTransport, GatewayGivesUpAClientThatNeverReadsAndServesTheNext)
{
    auto rig = CRig::DefaultRig();
    std::string error;
    auto server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
    ASSERT_TRUE(server) << error;
    Fd client{Connect(server->Port(), 4096)};
    ASSERT_GE(client.fd, 0);
    ::fcntl(client.fd, F_SETFL, O_NONBLOCK);

    // Requests until the gateway drops the client: the unread answers fill every buffer,
    // the gateway's writes stall, and it closes the socket (the next send fails).
    const auto batch = Frames(Request(kFj, VQ7_CMD_READ_VERSION), 256);
    const auto end = std::chrono::steady_clock::now() + 30s;
    bool dropped = false;
    while (!dropped && std::chrono::steady_clock::now() < end) {
        const ssize_t n = ::send(client.fd, batch.data(), batch.size(), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            dropped = true;
        else if (n <= 0)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(dropped);
    EXPECT_GT(server->FramesServed(), 0u);

    Fd next{Connect(server->Port())};
    ASSERT_GE(next.fd, 0);
    const auto request = Request(kFj, VQ7_CMD_READ_VERSION);
    ASSERT_EQ(::send(next.fd, request.data(), request.size(), MSG_NOSIGNAL), 16);
    const auto answer = ReadAnswer(next.fd, 32, 6000);
    EXPECT_EQ(answer.size(), 32u);
    EXPECT_EQ(answer.size() > 4 ? answer[4] : 0, VQ7_CMD_READ_VERSION);
    EXPECT_EQ(server->ClientsAccepted(), 2u);
    EXPECT_EQ(server->Drops(), 0u);   // not an injected drop
    EXPECT_TRUE(StopsWithin(*server, 3000ms, [&] { client.Close(); }));
}
