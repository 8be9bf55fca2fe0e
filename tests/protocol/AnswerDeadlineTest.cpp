// A valid answer dripped a byte at a time does not hold a transaction past its
// deadline, on a TCP gateway and on a serial port; the next transaction works.
#include "common/DecimalSeparator.h"
#include "links/CComLink.h"
#include "links/CTCPIPLink.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

constexpr uint32_t kMeter = 12345678;
constexpr int kDripGapMs = 100;

// The far end of a line: the first request's answer goes out one byte per gap until
// the next request comes; every later request is answered at once.
class DripMeter {
public:
    // Up to 16 bytes, waiting at most ms; empty when nothing came (or the line ended).
    using Receive = std::function<Bytes(int ms)>;
    using Send = std::function<bool(const Bytes&)>;

    void Run(const Receive& receive, const Send& send, const std::function<bool()>& stopped)
    {
        const Bytes answer = MeterAnswer(kMeter, VQ7_CMD_READ_STATUS);
        Bytes pending;
        bool dripping = false;
        size_t next = 0;
        while (!stopped()) {
            const Bytes got = receive(dripping ? kDripGapMs : 50);
            pending.insert(pending.end(), got.begin(), got.end());
            if (pending.size() >= 16) {
                pending.clear();
                if (m_nRequests++ == 0) {
                    dripping = true;
                    continue;
                }
                dripping = false;
                send(answer);
            } else if (dripping && got.empty() && next < answer.size()) {
                send(Bytes{answer[next++]});
                m_nDripped = static_cast<unsigned>(next);
            }
        }
    }
    unsigned Dripped() const { return m_nDripped; }
    unsigned Requests() const { return m_nRequests; }

private:
    std::atomic<unsigned> m_nDripped{0};
    std::atomic<unsigned> m_nRequests{0};
};

// One line kind: a link to the dripping meter.
struct DripLine {
    virtual ~DripLine() = default;
    virtual std::unique_ptr<CLink> Link() = 0;
    DripMeter meter;
};

struct TcpDripLine : DripLine {
    LoopbackServer server{[this](LoopbackServer::Peer& peer) {
        meter.Run(
            [&peer](int ms) {
                uint8_t buf[16];
                const long n = peer.ReceiveSome(buf, sizeof buf, ms);
                return n > 0 ? Bytes(buf, buf + n) : Bytes();
            },
            [&peer](const Bytes& b) { return peer.Send(b); }, [&peer] { return peer.Stopped(); });
    }};
    std::unique_ptr<CLink> Link() override { return std::make_unique<CTCPIPLink>("127.0.0.1", server.PortText()); }
};

struct PtyDripLine : DripLine {
    PtyPair pty;
    std::atomic<bool> stop{false};
    std::thread thread{[this] {
        meter.Run([this](int ms) { return pty.ReadMaster(16, ms); }, [this](const Bytes& b) { return pty.WriteMaster(b); },
                  [this] { return stop.load(); });
    }};
    ~PtyDripLine() override
    {
        stop = true;
        thread.join();
    }
    std::unique_ptr<CLink> Link() override { return std::make_unique<CComLink>(pty.SlaveName(), 115200, 0); }
};

unsigned ReadStatus(connection& conn)
{
    uint8_t answer[32];
    unsigned size = sizeof answer;
    return SendCmd(&conn, kMeter, VQ7_CMD_READ_STATUS, nullptr, 0, answer, &size, nullptr);
}

}  // namespace

TEST(AnswerDeadline, ADrippedAnswerEndsAtTheDeadlineAndTheNextTransactionWorks)
{
    SetDecimalSeparator('.');
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<DripLine>()>>> lines = {
        {"tcp", [] { return std::make_unique<TcpDripLine>(); }},
        {"serial", [] { return std::make_unique<PtyDripLine>(); }},
    };
    for (const auto& [name, make] : lines) {
        SCOPED_TRACE(name);
        const std::unique_ptr<DripLine> line = make();
        connection conn;
        ASSERT_EQ(RC_OK, conn.OpenWith(line->Link()));

        EXPECT_EQ(RC_TIMEOUT, ReadStatus(conn));
        // The transaction ended while the answer was still coming in.
        EXPECT_LT(line->meter.Dripped(), MeterAnswer(kMeter, VQ7_CMD_READ_STATUS).size());

        EXPECT_EQ(RC_OK, ReadStatus(conn));
        EXPECT_EQ(2u, line->meter.Requests());
        conn.Close();
    }
}

TEST(AnswerDeadline, BudgetCoversTheFirstTimeOutTheGraceAndTheLineTimeOfEveryPacket)
{
    struct Case {
        unsigned firstMs, slot, packets, graceMs, byteUs, expectedMs;
    };
    const Case cases[] = {
        {100, 32, 1, 1000, 1000, 1132},       // a short answer through a gateway
        {300, 72, 1, 100, 2083, 300 + 100 + 150},   // a long answer at 9600 baud
        {300, 256, 3, 100, 1000, 300 + 100 + 200 + 768},
        {300, 256, 0, 100, 1000, 300 + 100 + 256},  // no packet count: one
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expectedMs, connection::AnswerBudgetMs(c.firstMs, c.slot, c.packets, c.graceMs, c.byteUs))
            << c.firstMs << " " << c.slot << " " << c.packets;
}
