#include "links/CTCPIPLink.h"
#include "links/Trace.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class LineCollector : public ITraceTarget {
public:
    void RegisterThread(CTraceThread*, bool) override {}
    void AddLine(const std::string& line) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lines.push_back(line);
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lines;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_lines;
};
}

TEST(TcpIpLink, UnreachableGatewaysGiveNotOpen)
{
    CTCPIPLink unresolvable("no-such-gateway.invalid", "10001");
    EXPECT_EQ(RC_NOT_OPEN, unresolvable.Open(true));
    EXPECT_FALSE(unresolvable.IsOpen());
    uint8_t buf[4] = {};
    unsigned count = 0;
    EXPECT_EQ(RC_NOT_OPEN, unresolvable.Read(buf, 4, &count, 10));
    EXPECT_EQ(RC_NOT_OPEN, unresolvable.Write(buf, 4, &count, 10));

    std::string closedPort;
    {
        LoopbackServer server(LoopbackServer::Silent());
        closedPort = server.PortText();
    }
    CTCPIPLink refused("127.0.0.1", closedPort);
    EXPECT_EQ(RC_NOT_OPEN, refused.Open(true));
    EXPECT_FALSE(refused.IsOpen());
    EXPECT_EQ("не удалось подключиться к шлюзу: 127.0.0.1:" + closedPort, refused.FaultText());
    EXPECT_EQ(RC_NOT_OPEN, refused.FaultCode());
}

TEST(TcpIpLink, EchoPassesBytesAndTracesThem)
{
    LoopbackServer server(LoopbackServer::Echo());
    CTCPIPLink link("localhost", server.PortText());
    ASSERT_EQ(RC_OK, link.Open(true));
    LineCollector lines;
    link.SetTrace(&lines);
    uint8_t request[16], answer[16] = {};
    for (int i = 0; i < 16; ++i)
        request[i] = static_cast<uint8_t>(0xF0 + i);
    unsigned count = 0;
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Write(request, 0, &count, 0));
    EXPECT_EQ(RC_BAD_ARGUMENT, link.Read(nullptr, 16, &count, 0));
    ASSERT_EQ(RC_OK, link.Write(request, 16, &count, 1000));
    EXPECT_EQ(16u, count);
    ASSERT_EQ(RC_OK, link.Read(answer, 16, &count, 1000));
    EXPECT_EQ(16u, count);
    EXPECT_EQ(0, memcmp(request, answer, 16));
    link.SetTrace(nullptr);
    auto traced = lines.Lines();
    ASSERT_EQ(2u, traced.size());
    EXPECT_EQ(0u, traced[0].rfind("<< [L= 16, dly=", 0));
    EXPECT_EQ(0u, traced[1].rfind(">> [L= 16, dly=", 0));
    EXPECT_NE(std::string::npos, traced[1].find("]  F0 F1 F2"));
}

TEST(TcpIpLink, ReadTimeOutKeepsTheSocket)
{
    // Sends 10 bytes at once, then echoes.
    LoopbackServer server([](LoopbackServer::Peer& peer) {
        peer.Send(std::vector<uint8_t>(10, 0x33));
        LoopbackServer::Echo()(peer);
    });
    CTCPIPLink link("127.0.0.1", server.PortText());
    ASSERT_EQ(RC_OK, link.Open(true));
    uint8_t buf[32];
    unsigned count = 0;
    auto start = Clock::now();
    EXPECT_EQ(RC_TIMEOUT, link.Read(buf, 32, &count, 0));
    long ms = MsSince(start);
    EXPECT_EQ(10u, count);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 5000);
    ASSERT_TRUE(link.IsOpen());
    const uint8_t ping[3] = {1, 2, 3};
    ASSERT_EQ(RC_OK, link.Write(ping, 3, &count, 1000));
    ASSERT_EQ(RC_OK, link.Read(buf, 3, &count, 1000));
    EXPECT_EQ(3, buf[2]);
}

TEST(TcpIpLink, GatewayThatStopsReadingClosesTheLinkOnWrite)
{
    LoopbackServer server(LoopbackServer::Silent(), 4096);
    CTCPIPLink link("127.0.0.1", server.PortText());
    ASSERT_EQ(RC_OK, link.Open(true));
    std::vector<uint8_t> block(1 << 20, 0x55);
    int rc = RC_OK;
    unsigned written = 0;
    auto start = Clock::now();
    for (int i = 0; i < 64 && rc == RC_OK; ++i)
        rc = link.Write(block.data(), static_cast<unsigned>(block.size()), &written, 0);
    EXPECT_EQ(RC_SHORT_WRITE, rc);
    EXPECT_LT(written, block.size());
    EXPECT_GE(MsSince(start), 950);   // the link waited a whole second for room
    EXPECT_FALSE(link.IsOpen());
    uint8_t buf[4];
    unsigned count = 0;
    EXPECT_EQ(RC_NOT_OPEN, link.Read(buf, 4, &count, 10));
    EXPECT_EQ(RC_NOT_OPEN, link.Write(buf, 4, &count, 10));
}

TEST(TcpIpLink, GatewayThatClosesEndsTheReadAtOnce)
{
    LoopbackServer server([](LoopbackServer::Peer& peer) {
        peer.Send(std::vector<uint8_t>{9, 9, 9, 9, 9});
        peer.Close();
    });
    CTCPIPLink link("127.0.0.1", server.PortText());
    ASSERT_EQ(RC_OK, link.Open(true));
    uint8_t buf[32];
    unsigned count = 0;
    auto start = Clock::now();
    EXPECT_EQ(RC_READ_ERROR, link.Read(buf, 32, &count, 5000));
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(5u, count);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ("шлюз закрыл соединение: 127.0.0.1:" + server.PortText(), link.FaultText());
    EXPECT_EQ(RC_NOT_OPEN, link.Read(buf, 32, &count, 10));
    EXPECT_EQ(RC_OK, link.Open(false));
    EXPECT_EQ("", link.FaultText());
}

TEST(TcpIpLink, PurgeWithReceiveClearDrainsPendingInput)
{
    // Sends a burst, then answers each byte it gets with 0xAA.
    LoopbackServer server([](LoopbackServer::Peer& peer) {
        peer.Send(std::vector<uint8_t>(5000, 0x77));
        uint8_t b;
        while (peer.Receive(&b, 1, 10000))
            peer.Send(std::vector<uint8_t>{0xAA});
    });
    CTCPIPLink link("127.0.0.1", server.PortText());
    ASSERT_EQ(RC_OK, link.Open(true));
    uint8_t first = 0;
    unsigned count = 0;
    ASSERT_EQ(RC_OK, link.Read(&first, 1, &count, 1000));   // the burst has started
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(link.Purge(PURGE_TXABORT));
    EXPECT_FALSE(link.Purge(PURGE_RXABORT | PURGE_TXCLEAR));
    EXPECT_TRUE(link.Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_RXCLEAR));
    for (int round = 0; round < 2; ++round) {
        const uint8_t ping = 1;
        ASSERT_EQ(RC_OK, link.Write(&ping, 1, &count, 1000));
        uint8_t b = 0;
        ASSERT_EQ(RC_OK, link.Read(&b, 1, &count, 1000));
        EXPECT_EQ(0xAA, b);
    }
    EXPECT_TRUE(link.Purge(PURGE_RXCLEAR));   // nothing pending
    link.Open(false);
    EXPECT_FALSE(link.Purge(PURGE_RXCLEAR));
}
