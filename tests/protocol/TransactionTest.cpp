// One attempt and the retry policy over a scripted link.
#include "ProtocolFixture.h"

namespace {

unsigned Exec(connection& conn, uint8_t cmd, uint8_t* answer, unsigned& size, unsigned attempts,
              const Bytes& data = {}, unsigned* packets = nullptr)
{
    return ExecCmd(&conn, kMeter, cmd, data.data(), static_cast<unsigned>(data.size()), answer, &size, packets,
                   attempts);
}

}  // namespace

// Refusals, busy answers and their pauses run over a pty in PtyRetryTest.

TEST_F(QuickProtocolTest, RetriesUntilAnAnswerPasses)
{
    Bytes bad = MeterAnswer(kMeter, 0x08, {1, 2, 3});
    bad[31] ^= 1;
    bus->QueueReply(bad);                                      // 1013
    bus->QueueSilence();                                       // 1016
    bus->QueueReply(MeterAnswer(kMeter, VQ7_ERR_BUSY));        // 241
    bus->QueueReply(MeterAnswer(kMeter, 0x08, {1, 2, 3}));
    uint8_t answer[32] = {};
    unsigned size = sizeof answer;
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 5), 0u);
    EXPECT_EQ(bus->WriteCount(), 4u);
    EXPECT_EQ(Bytes(answer, answer + 32), MeterAnswer(kMeter, 0x08, {1, 2, 3}));
}

TEST_F(QuickProtocolTest, FailuresThatAreNotRetried)
{
    uint8_t answer[32];
    unsigned size = sizeof answer;

    bus->QueueReplies({MeterAnswer(87654321, 0x08)}, 3);   // another meter
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 3), unsigned(RC_WRONG_ADDRESS));
    EXPECT_EQ(bus->WriteCount(), 1u);

}

TEST_F(QuickProtocolTest, StrayBytesBeforeAnAnswer)
{
    const Bytes good = MeterAnswer(kMeter, 0x08, {1, 2, 3});
    uint8_t answer[32] = {};
    unsigned size = sizeof answer;
    // The answer is found after the stray bytes and its end is read: one attempt.
    for (const Bytes& stray : {Bytes{0x55}, Bytes{0x00, 0xFF, 0x12}}) {
        bus->ClearRecord();
        bus->QueueReply(Concat(stray, good));
        EXPECT_EQ(Exec(conn, 0x08, answer, size, 3), 0u);
        EXPECT_EQ(bus->WriteCount(), 1u);
        EXPECT_EQ(Bytes(answer, answer + 32), good);
    }
    // Its end never comes: a bad answer, asked again.
    bus->ClearRecord();
    bus->QueueReply(Concat({0x55}, Bytes(good.begin(), good.end() - 1)));
    bus->QueueReply(good);
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 3), 0u);
    EXPECT_EQ(bus->WriteCount(), 2u);
}

TEST_F(QuickProtocolTest, SmallAnswerBufferGetsTheNeededSize)
{
    bus->QueueReplies({MeterAnswer(kMeter, 0x08)}, 2);
    uint8_t answer[16];
    unsigned size = sizeof answer;
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 3), unsigned(RC_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, 32u);
    EXPECT_EQ(bus->WriteCount(), 1u);

    uint8_t longAnswer[72];
    size = 32;   // a long answer needs 72
    bus->QueueReply(MeterAnswer(kMeter, 0x7E, {}, 72));
    EXPECT_EQ(Exec(conn, 0x7E, longAnswer, size, 3), unsigned(RC_BUFFER_TOO_SMALL));
    EXPECT_EQ(size, 72u);
}

TEST_F(ProtocolTest, AbortFlagEndsTransactions)
{
    uint8_t answer[32];
    unsigned size = sizeof answer;
    g_bAbortAll = true;
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 5), unsigned(RC_ABORTED));
    EXPECT_EQ(bus->WriteCount(), 0u);
    g_bAbortAll = false;

    // Set while the meter keeps refusing: the pause ends early.
    bus->SetResponder([](const Bytes&) {
        g_bAbortAll = true;
        return ScriptedReply{MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND)};
    });
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 5), unsigned(RC_ABORTED));
    EXPECT_EQ(bus->WriteCount(), 1u);
}

TEST_F(QuickProtocolTest, AnswerInPiecesArrives)
{
    ScriptedReply reply{MeterAnswer(kMeter, 0x08, {9})};
    reply.pieceSize = 5;
    reply.pieceGapMs = 10;
    bus->QueueReply(reply);
    uint8_t answer[32];
    unsigned size = sizeof answer;
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 1), 0u);
    EXPECT_EQ(answer[5], 9);
}

TEST_F(QuickProtocolTest, FirstAnswerTimeoutFollowsTheCommand)
{
    // 0x0B waits 300 ms for its first byte, 0x09 only 100 ms.
    uint8_t answer[32];
    unsigned size = sizeof answer;
    bus->QueueReply({MeterAnswer(kMeter, 0x0B), 200});
    EXPECT_EQ(Exec(conn, 0x0B, answer, size, 1), 0u);
    bus->QueueReply({MeterAnswer(kMeter, 0x09), 200});
    EXPECT_EQ(Exec(conn, 0x09, answer, size, 1), unsigned(RC_TIMEOUT));
    EXPECT_EQ(g_anCmdTimeout[0x7C], 100u);
    EXPECT_EQ(g_anCmdTimeout[39], 300u);
    EXPECT_EQ(g_anCmdTimeout[48], 100u);
    EXPECT_EQ(g_anCmdTimeout[49], 300u);
    EXPECT_EQ(g_anCmdTimeout[100], 300u);
    EXPECT_EQ(g_anCmdTimeout[101], 100u);
}

TEST_F(QuickProtocolTest, EightByteAnswerIsChecked)
{
    uint8_t answer[8];
    unsigned size = sizeof answer;
    bus->QueueReply(MeterAnswer(kMeter, 0x30, {0x42}, 8));
    EXPECT_EQ(Exec(conn, 0x30, answer, size, 1), 0u);
    EXPECT_EQ(answer[5], 0x42);

    Bytes bad = MeterAnswer(kMeter, 0x30, {0x42}, 8);
    bad[6] ^= 0xFF;
    bus->QueueReply(bad);
    EXPECT_EQ(Exec(conn, 0x30, answer, size, 1), unsigned(RC_BAD_CHECKSUM));
    bus->QueueReply(MeterAnswer(kMeter, VQ7_ERR_BAD_PARAM, {}, 8));
    EXPECT_EQ(Exec(conn, 0x30, answer, size, 1), 239u);
}

TEST_F(QuickProtocolTest, CommandByteZeroIsNoSuccess)
{
    uint8_t answer[32];
    unsigned size = sizeof answer;
    bus->QueueReply(MeterAnswer(kMeter, 0x00));
    EXPECT_EQ(Exec(conn, 0x08, answer, size, 3), unsigned(RC_WRONG_LENGTH));
}

TEST_F(QuickProtocolTest, SuperlongAnswerOfSeveralPackets)
{
    Bytes stream;
    std::vector<Bytes> packets;
    for (uint8_t i = 0; i < 3; ++i) {
        packets.push_back(SuperlongAnswer(kMeter, 0x85, Bytes(10 + 100 * i, static_cast<uint8_t>(i + 1))));
        stream = Concat(stream, packets.back());
    }
    bus->QueueReply(stream);
    std::vector<uint8_t> answer(3 * 256, 0xCC);
    unsigned size = 256;
    unsigned got = 0;
    // Data byte 0 >> 4 plus 1 packets are expected.
    EXPECT_EQ(Exec(conn, 0x85, answer.data(), size, 1, {0x20}, &got), 0u);
    EXPECT_EQ(got, 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(Bytes(answer.begin() + 256 * i, answer.begin() + 256 * i + packets[i].size()), packets[i]) << i;

    // Two of three arrive: still a success with two packets.
    bus->QueueReply(Concat(packets[0], packets[1]));
    EXPECT_EQ(Exec(conn, 0x85, answer.data(), size, 1, {0x20}, &got), 0u);
    EXPECT_EQ(got, 2u);
}

TEST_F(QuickProtocolTest, SuperlongLengthBytePastThePacketIsWrongLength)
{
    // Command 0x80 is read as a full 256-byte slot; a length byte of 255 points past it.
    Bytes frame(256, 0);
    PutLeU32(frame.data(), NumberToBcd(kMeter));
    frame[4] = 0x80;
    frame[5] = 0xFF;
    bus->QueueReply(frame);
    std::vector<uint8_t> answer(256);
    unsigned size = 256;
    EXPECT_EQ(Exec(conn, 0x80, answer.data(), size, 1), unsigned(RC_WRONG_LENGTH));
}
