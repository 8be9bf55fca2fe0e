#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"
#include "support/ScriptedLink.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <termios.h>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Request(uint8_t cmd)
{
    std::vector<uint8_t> r(16, 0);
    r[0] = 0x51; r[1] = 0x52; r[2] = 0x53; r[3] = 0x54;
    r[4] = cmd;
    return r;
}

// An answer of `size` bytes: address, command byte, then a counting pattern.
std::vector<uint8_t> Answer(uint8_t cmd, size_t size, uint8_t seed = 0)
{
    std::vector<uint8_t> a(size);
    for (size_t i = 0; i < size; ++i)
        a[i] = static_cast<uint8_t>(seed + i);
    a[0] = 0x51; a[1] = 0x52; a[2] = 0x53; a[3] = 0x54;
    a[4] = cmd;
    return a;
}

bool WaitAccepted(const LoopbackServer& server, int count)
{
    WaitUntil([&] { return server.Accepted() >= count; }, 2000);
    return server.Accepted() == count;
}

// The meters behind a pty: each 16-byte request gets the packets after delayMs.
class PtyResponder {
public:
    PtyResponder(PtyPair& pty, std::vector<std::vector<uint8_t>> packets, int delayMs)
        : m_thread([this, &pty, packets, delayMs] {
              while (!m_stop) {
                  if (pty.ReadMaster(16, 50).size() < 16)
                      continue;
                  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                  for (const auto& p : packets)
                      pty.WriteMaster(p);
              }
          })
    {
    }
    ~PtyResponder()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
}

TEST(ConnectionOpen, UsersShareOneLinkUntilTheLastClose)
{
    LoopbackServer server(LoopbackServer::Echo());
    connection c;
    c.m_sPort = "TCP/IP";
    c.m_sIp = "127.0.0.1";
    c.m_sTcpIpPort = server.PortText();
    EXPECT_EQ(RC_OK, c.Open());
    EXPECT_EQ(RC_OK, c.Open());
    EXPECT_TRUE(WaitAccepted(server, 1));
    c.Close();
    EXPECT_TRUE(c.HasLink());
    EXPECT_EQ(1, c.OpenCount());
    const uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_EQ(RC_OK, c.Send(frame, 4));
    c.Close();
    EXPECT_FALSE(c.HasLink());
    EXPECT_EQ(RC_NOT_OPEN, c.Send(frame, 4));
    c.Close();
    EXPECT_EQ(0, c.OpenCount());
    EXPECT_FALSE(c.HasLink());
    EXPECT_EQ(RC_OK, c.Open());   // a fresh link
    EXPECT_TRUE(WaitAccepted(server, 2));
    c.Close();
}

TEST(ConnectionOpen, SerialPortFromSettingsAndFailedOpenKeepsTheLink)
{
    PtyPair pty;
    connection c;
    c.m_sPort = pty.SlaveName();
    c.m_nSpeed = 57600;
    ASSERT_EQ(RC_OK, c.Open());
    termios tio{};
    ASSERT_EQ(0, tcgetattr(pty.Slave(), &tio));
    EXPECT_EQ(B57600, cfgetospeed(&tio));
    c.Close();

    connection missing;
    missing.m_sPort = "/dev/vq7-no-such-port";
    EXPECT_EQ(RC_NOT_OPEN, missing.Open());
    EXPECT_TRUE(missing.HasLink());
    const uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_EQ(RC_NOT_OPEN, missing.Send(frame, 4));
    EXPECT_EQ(1u, missing.m_nSendErrors);
    missing.Close();
    EXPECT_FALSE(missing.HasLink());
}

TEST(ConnectionOpen, NamedConnectionsTakeTheBusInTurn)
{
    LoopbackServer server(LoopbackServer::Echo());
    const std::string name = "vq7test" + std::to_string(getpid());
    connection first(name), second(name), other(name + "x");
    ASSERT_EQ(RC_OK, first.OpenTcpIp("127.0.0.1", server.PortText()));
    EXPECT_EQ(RC_OK, other.OpenTcpIp("127.0.0.1", server.PortText()));   // another name: no wait
    std::atomic<bool> opened{false};
    std::thread waiter([&] {
        EXPECT_EQ(RC_OK, second.OpenTcpIp("127.0.0.1", server.PortText()));
        opened = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(opened);
    first.Close();
    waiter.join();
    EXPECT_TRUE(opened);
    second.Close();
    other.Close();
}

TEST(ConnectionOpen, DestroyedWithUsersLeftReleasesTheBus)
{
    LoopbackServer server(LoopbackServer::Echo());
    const std::string name = "vq7test" + std::to_string(getpid()) + "d";
    const int before = CountOpenDescriptors();
    {
        connection c(name);
        ASSERT_EQ(RC_OK, c.OpenTcpIp("127.0.0.1", server.PortText()));
        ASSERT_EQ(RC_OK, c.OpenTcpIp("127.0.0.1", server.PortText()));   // two users never close
    }
    // Neither the socket nor the lock file stays open (the server closes its side when it sees the close).
    EXPECT_TRUE(WaitUntil([&] { return CountOpenDescriptors() == before; }, 2000))
        << before << " descriptors before, " << CountOpenDescriptors() << " after";
}

TEST(ConnectionExchange, SlotSmallerThanTheCommandsAnswerIsRejectedUnread)
{
    LoopbackServer server(LoopbackServer::Answer(16, Answer(0x7E, 72)));
    connection c;
    ASSERT_EQ(RC_OK, c.OpenTcpIp("127.0.0.1", server.PortText()));
    const auto request = Request(0x7E);
    uint8_t slot[72] = {};
    EXPECT_EQ(RC_WRONG_LENGTH, c.Exchange(request.data(), 16, slot, 32, 1000, nullptr));
    EXPECT_EQ(1u, c.m_nReceiveErrors);
    EXPECT_EQ(RC_WRONG_LENGTH, c.m_nLastError);
    unsigned got = 0;
    ASSERT_EQ(RC_OK, c.ReadAnswer(slot, 72, 72, &got, 1000));   // the answer is still there
    EXPECT_EQ(72u, got);
    EXPECT_EQ(0x7E, slot[4]);
    EXPECT_EQ(RC_BAD_ARGUMENT, c.Exchange(nullptr, 16, slot, 72, 100, nullptr));
    EXPECT_EQ(RC_BAD_ARGUMENT, c.Exchange(request.data(), 16, nullptr, 72, 100, nullptr));
    c.Close();
}

TEST(ConnectionExchange, ExtraDelayCoversALateFirstAnswer)
{
    PtyPair pty;
    PtyResponder meters(pty, {Answer(0x10, 32)}, 550);
    connection c;
    c.m_sPort = pty.SlaveName();
    ASSERT_EQ(RC_OK, c.Open());
    const auto request = Request(0x10);
    uint8_t slot[32];
    EXPECT_EQ(RC_TIMEOUT, c.Exchange(request.data(), 16, slot, 32, 100, nullptr));
    EXPECT_EQ(RC_TIMEOUT, c.m_nLastError);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));   // let the late answer pass
    c.m_nAuxTmout = 500;
    ASSERT_EQ(RC_OK, c.Exchange(request.data(), 16, slot, 32, 100, nullptr));   // stale bytes purged
    EXPECT_EQ(Answer(0x10, 32), std::vector<uint8_t>(slot, slot + 32));
    EXPECT_EQ(1u, c.m_nReceived);
    EXPECT_GE(c.m_nMaxAnswerMs, 500u);
    c.Close();
}

TEST(ConnectionExchange, PacketsAfterTheFirst)
{
    PtyPair pty;
    PtyResponder meters(pty, {Answer(0x20, 32, 1), Answer(0x20, 32, 2)}, 0);
    connection c;
    c.m_sPort = pty.SlaveName();
    ASSERT_EQ(RC_OK, c.Open());
    const auto request = Request(0x20);
    std::vector<uint8_t> slots(2 * 32);
    unsigned packets = 2;
    ASSERT_EQ(RC_OK, c.Exchange(request.data(), 16, slots.data(), 32, 300, &packets));
    EXPECT_EQ(2u, packets);
    EXPECT_EQ(Answer(0x20, 32, 2), std::vector<uint8_t>(slots.begin() + 32, slots.begin() + 64));

    c.Close();
}

TEST(ConnectionExchange, SecondPacketTimingOutStillSucceeds)
{
    PtyPair pty;
    PtyResponder meters(pty, {Answer(0x20, 32)}, 0);
    connection c;
    c.m_sPort = pty.SlaveName();
    ASSERT_EQ(RC_OK, c.Open());
    const auto request = Request(0x20);
    std::vector<uint8_t> slots(2 * 32);
    unsigned packets = 2;
    ASSERT_EQ(RC_OK, c.Exchange(request.data(), 16, slots.data(), 32, 300, &packets));
    EXPECT_EQ(1u, packets);
    EXPECT_EQ(1u, c.m_nReceiveErrors);
    c.Close();
}

TEST(ConnectionExchange, SuperlongAnswerCarriesItsLength)
{
    // 0x90: byte 5 gives the data length, followed by two check bytes.
    std::vector<uint8_t> answer = Answer(0x90, 6 + 10 + 2);
    answer[5] = 10;
    std::vector<uint8_t> tooLong = Answer(0x90, 6);
    tooLong[5] = 255;   // 6 + 257 bytes do not fit a 256-byte slot
    LoopbackServer server([&](LoopbackServer::Peer& peer) {
        uint8_t request[16];
        if (peer.Receive(request, 16))
            peer.Send(answer);
        if (peer.Receive(request, 16))
            peer.Send(tooLong);
        peer.WaitForStop();
    });
    connection c;
    ASSERT_EQ(RC_OK, c.OpenTcpIp("127.0.0.1", server.PortText()));
    const auto request = Request(0x90);
    std::vector<uint8_t> slot(256);
    auto start = Clock::now();
    ASSERT_EQ(RC_OK, c.Exchange(request.data(), 16, slot.data(), 256, 100, nullptr));
    EXPECT_LT(MsSince(start), 1000);   // no wait for a full slot
    EXPECT_EQ(answer, std::vector<uint8_t>(slot.begin(), slot.begin() + 18));
    EXPECT_EQ(RC_WRONG_LENGTH, c.Exchange(request.data(), 16, slot.data(), 256, 100, nullptr));
    c.Close();
}

TEST(ConnectionExchange, SlotsBelowTheMinimumAnswerOfTheCommandAreRejected)
{
    auto bus = std::make_shared<ScriptedBus>();
    bus->SetInstantTimeouts(true);
    connection c;
    ASSERT_EQ(RC_OK, c.OpenWith(std::make_unique<ScriptedLink>(bus)));
    std::vector<uint8_t> slot(256);
    const std::pair<uint8_t, unsigned> minimums[] = {{0x30, 8},   {0x09, 32},  {0x3F, 32}, {0x40, 72},
                                                     {0x80, 72},  {0x81, 256}, {0xDB, 256}, {0xDC, 72},
                                                     {0xFF, 72}};
    for (const auto& [cmd, minimum] : minimums) {
        const auto request = Request(cmd);
        EXPECT_EQ(RC_WRONG_LENGTH, c.Exchange(request.data(), 16, slot.data(), minimum - 1, 10, nullptr)) << +cmd;
        EXPECT_EQ(RC_TIMEOUT, c.Exchange(request.data(), 16, slot.data(), minimum, 10, nullptr)) << +cmd;
    }
    c.Close();
}

TEST(ConnectionReconnect, EveryTransactionAfterAGatewayDropReconnects)
{
    constexpr uint32_t kNumber = 85012345;
    g_nRetryPauseMs = 1;
    // A gateway that drops the connection after each answer.
    auto server = std::make_unique<LoopbackServer>([](LoopbackServer::Peer& peer) {
        uint8_t request[16];
        if (peer.Receive(request, 16))
            peer.Send(MeterAnswer(kNumber, request[4]));
        peer.Close();
    });
    const std::string port = server->PortText();
    connection c;
    ASSERT_EQ(RC_OK, c.OpenTcpIp("127.0.0.1", port));
    for (int i = 0; i < 3; ++i) {
        std::string version;
        EXPECT_EQ(0u, ReadVersion(&c, kNumber, version)) << i;
    }
    EXPECT_EQ(3, server->Accepted());

    // Gone for good: one attempt to connect, then 1003 naming the gateway.
    server.reset();
    const auto request = Request(0x09);
    uint8_t slot[32];
    EXPECT_EQ(RC_NOT_OPEN, c.Exchange(request.data(), 16, slot, 32, 100, nullptr));
    EXPECT_EQ("не удалось подключиться к шлюзу: 127.0.0.1:" + port, c.LinkFaultText(RC_NOT_OPEN));
    EXPECT_TRUE(c.HasLink());
    c.Close();
    g_nRetryPauseMs = 200;
}

namespace {
// A link whose reads or writes fail with a given code; counts what it is asked.
struct FailingLink : CLink {
    FailingLink(int openCode, int readCode, int writeCode, unsigned& writes, unsigned& opens)
        : m_open(openCode), m_read(readCode), m_write(writeCode), m_writes(writes), m_opens(opens) {}
    int Open(bool open) override
    {
        m_opens += open;
        m_bOpen = open && m_open == RC_OK;
        return open ? m_open : RC_OK;
    }
    int Read(uint8_t*, unsigned, unsigned* received, unsigned) override
    {
        *received = 0;
        return m_read;
    }
    int Write(const uint8_t*, unsigned len, unsigned* written, unsigned) override
    {
        ++m_writes;
        *written = m_write == RC_OK ? len : 0;
        return m_write;
    }
    bool IsOpen() override { return m_bOpen; }
    bool Purge(int) override { return m_bOpen; }
    int m_open, m_read, m_write;
    unsigned& m_writes;
    unsigned& m_opens;
    bool m_bOpen = false;
};
}

TEST(ConnectionReconnect, ReadErrorsAreRetriedButAMissingOrDeadLinkIsNot)
{
    g_nRetryPauseMs = 1;
    struct Case {
        int open, read, write;
        unsigned result, writes;
    };
    const Case cases[] = {
        {RC_OK, RC_READ_ERROR, RC_OK, RC_READ_ERROR, 5},
        {RC_OK, RC_OK, RC_SHORT_WRITE, RC_SHORT_WRITE, 1},
        {RC_NOT_OPEN, RC_OK, RC_OK, RC_NOT_OPEN, 0},
    };
    for (const Case& k : cases) {
        unsigned writes = 0, opens = 0;
        connection c;
        c.OpenWith(std::make_unique<FailingLink>(k.open, k.read, k.write, writes, opens));
        uint8_t answer[32];
        unsigned size = sizeof answer;
        EXPECT_EQ(k.result, ExecCmd(&c, 12345678, VQ7_CMD_READ_STATUS, nullptr, 0, answer, &size, nullptr, 5));
        EXPECT_EQ(k.writes, writes) << k.result;
        EXPECT_LE(opens, 2u) << k.result;   // the open, and one more for the transaction
        c.Close();
    }
    g_nRetryPauseMs = 200;
}
