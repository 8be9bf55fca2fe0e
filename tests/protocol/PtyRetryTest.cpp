// The retry policy over a real pseudo-terminal, with a meter answering on the master side.
#include "common/DecimalSeparator.h"
#include "links/CComLink.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "support/PtyPair.h"
#include "support/ScriptedLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace std::chrono;

namespace {

constexpr uint32_t kMeter = 12345678;

// Reads 16-byte requests from the master end and writes the answer the script gives.
class PtyMeter {
public:
    using Script = std::function<Bytes(unsigned requestIndex, const Bytes& request)>;

    PtyMeter(PtyPair& pty, Script script) : m_pty(pty), m_script(std::move(script)), m_thread([this] { Run(); }) {}
    ~PtyMeter()
    {
        m_bStop = true;
        m_thread.join();
    }
    unsigned Requests() const { return m_nRequests; }

private:
    void Run()
    {
        Bytes pending;
        while (!m_bStop) {
            const Bytes got = m_pty.ReadMaster(16 - pending.size(), 20);
            pending.insert(pending.end(), got.begin(), got.end());
            if (pending.size() < 16)
                continue;
            const Bytes answer = m_script(m_nRequests, pending);
            ++m_nRequests;
            if (!answer.empty())
                m_pty.WriteMaster(answer);
            pending.clear();
        }
    }

    PtyPair& m_pty;
    Script m_script;
    std::atomic<bool> m_bStop{false};
    std::atomic<unsigned> m_nRequests{0};
    std::thread m_thread;
};

class PtyRetryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        ASSERT_EQ(conn.OpenWith(std::make_unique<CComLink>(pty.SlaveName(), 115200, 0)), RC_OK);
    }
    void TearDown() override { conn.Close(); }

    unsigned ReadStatusWith(unsigned attempts)
    {
        uint8_t answer[32];
        unsigned size = sizeof answer;
        return ExecCmd(&conn, kMeter, VQ7_CMD_READ_STATUS, nullptr, 0, answer, &size, nullptr, attempts);
    }

    PtyPair pty;
    connection conn;
};

}  // namespace

TEST_F(PtyRetryTest, RefusalIsRepeatedWithPauses)
{
    PtyMeter meter(pty, [](unsigned, const Bytes&) { return MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND); });
    const auto start = steady_clock::now();
    EXPECT_EQ(ReadStatusWith(5), 240u);
    EXPECT_GE(duration_cast<milliseconds>(steady_clock::now() - start).count(), 800);
    EXPECT_EQ(meter.Requests(), 5u);
}

TEST_F(PtyRetryTest, BusyRaisesTheAttemptsToTen)
{
    PtyMeter meter(pty, [](unsigned, const Bytes&) { return MeterAnswer(kMeter, VQ7_ERR_BUSY); });
    EXPECT_EQ(ReadStatusWith(5), 241u);
    EXPECT_EQ(meter.Requests(), 10u);
}

TEST_F(PtyRetryTest, AnswerAfterABadChecksum)
{
    PtyMeter meter(pty, [](unsigned i, const Bytes&) {
        Bytes a = MeterAnswer(kMeter, VQ7_CMD_READ_STATUS, {1, 2});
        if (i == 0)
            a[30] ^= 0x10;
        return a;
    });
    EXPECT_EQ(ReadStatusWith(5), 0u);
    EXPECT_EQ(meter.Requests(), 2u);
}

TEST_F(PtyRetryTest, WrongAddressEndsAtOnceAndAStrayByteIsSkipped)
{
    {
        PtyMeter meter(pty, [](unsigned, const Bytes&) { return MeterAnswer(87654321, VQ7_CMD_READ_STATUS); });
        EXPECT_EQ(ReadStatusWith(5), unsigned(RC_WRONG_ADDRESS));
        EXPECT_EQ(meter.Requests(), 1u);
    }
    PtyMeter meter(pty, [](unsigned, const Bytes&) {
        Bytes a{0x00};
        const Bytes answer = MeterAnswer(kMeter, VQ7_CMD_READ_STATUS);
        a.insert(a.end(), answer.begin(), answer.end());
        return a;
    });
    EXPECT_EQ(ReadStatusWith(5), 0u);
    EXPECT_EQ(meter.Requests(), 1u);
}
