// The bus monitor's decoding: real traffic with the simulated rig through the
// trace, and answers damaged in the ways a bus damages them.
#include "links/MonitorTraceTarget.h"
#include "links/TraceLines.h"
#include "support/SimRig.h"
#include "protocol/vq7prot/FrameDecode.h"
#include "protocol/vq7prot/MonitorFeed.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kMeter = 12345678;

Bytes Request(uint32_t number, uint8_t cmd, uint8_t data0 = 0)
{
    VQ7_CMD frame{};
    PutLeU32(frame.m_abAddr, NumberToBcd(number));
    frame.m_bCmd = cmd;
    frame.m_abData[0] = data0;
    SetCmdChecks(frame);
    const auto* p = reinterpret_cast<const uint8_t*>(&frame);
    return Bytes(p, p + sizeof frame);
}

Bytes Answer(uint32_t number, uint8_t cmd, size_t length)
{
    Bytes a(length, 0x11);
    PutLeU32(a.data(), NumberToBcd(number));
    a[4] = cmd;
    ComputeChecks(a.data(), static_cast<unsigned>(length - 2), a[length - 2], a[length - 1]);
    return a;
}

// Superlong packet with n data bytes.
Bytes Superlong(uint32_t number, uint8_t cmd, uint8_t n)
{
    Bytes a(n + 8u, 0x22);
    PutLeU32(a.data(), NumberToBcd(number));
    a[4] = cmd;
    a[5] = n;
    ComputeChecks(a.data(), n + 6u, a[n + 6u], a[n + 7u]);
    return a;
}

Bytes Join(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<CDecodedFrame> DecodeAll(const std::vector<CTracedBytes>& lines)
{
    CFrameDecoder decoder;
    std::vector<CDecodedFrame> frames;
    for (const auto& l : lines)
        decoder.Decode(l, frames);
    return frames;
}

CTracedBytes Sent(Bytes b) { return {false, std::move(b)}; }
CTracedBytes Got(Bytes b) { return {true, std::move(b)}; }

}  // namespace

TEST(FrameDecode, RealTrafficWithTheSimulatedRigThroughTheTrace)
{
    SimRig rig({FlowMeter(kMeter)});
    CMonitorTraceTarget monitor;
    rig.Conn().SetTraceTarget(&monitor);
    g_nRetryPauseMs = 1;
    ASSERT_EQ(rig.Conn().Open(), RC_OK);
    uint8_t status[8];
    EXPECT_EQ(ReadStatus(&rig.Conn(), kMeter, status), RC_OK);
    std::string integrals;
    EXPECT_EQ(ReadGradIntegrals(&rig.Conn(), kMeter, integrals), RC_OK);
    std::string value;
    EXPECT_NE(ReadParam(&rig.Conn(), 777, 0, value), RC_OK);   // no such meter: no answer
    rig.Conn().Close();                                        // the trace thread flushes and ends
    g_nRetryPauseMs = 200;

    std::vector<CMonitorLine> lines;
    monitor.Drain(lines);
    CFrameDecoder decoder;
    std::vector<CDecodedFrame> frames;
    for (const auto& line : lines) {
        CTracedBytes traced;
        ASSERT_TRUE(ParseTraceLine(line.m_sLine, traced)) << line.m_sLine;
        decoder.Decode(traced, frames);
    }
    ASSERT_GE(frames.size(), 6u);
    EXPECT_FALSE(frames[0].m_bReceived);
    EXPECT_EQ(frames[0].m_dwMeter, kMeter);
    EXPECT_EQ(frames[0].m_sCommand, "Чтение статуса");
    EXPECT_TRUE(frames[1].m_bReceived);
    EXPECT_EQ(frames[1].m_abBytes.size(), 32u);
    EXPECT_EQ(frames[3].m_sCommand, "Чтение интегралов");
    EXPECT_EQ(frames[3].m_abBytes.size(), 72u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(frames[i].m_sError, "") << i;
    EXPECT_EQ(frames[4].m_dwMeter, 777u);
    EXPECT_EQ(frames[4].m_sCommand, "Чтение параметра");
    // Every retry to the absent meter is followed by a missing answer.
    int missing = 0;
    for (size_t i = 4; i < frames.size(); ++i)
        missing += frames[i].m_sError == "нет ответа";
    EXPECT_GE(missing, 1);
    EXPECT_EQ(frames.back().m_sError, "") << "the last request's missing answer shows at the next request only";
}

struct DamageCase {
    const char* title;
    std::vector<CTracedBytes> lines;
    std::vector<std::string> errors;   // one per decoded frame
};

class FrameDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(FrameDamage, IsNamed)
{
    const auto frames = DecodeAll(GetParam().lines);
    std::vector<std::string> errors;
    for (const auto& f : frames)
        errors.push_back(f.m_sError);
    EXPECT_EQ(errors, GetParam().errors);
}

namespace {
Bytes Prefix(Bytes b, size_t n)
{
    b.resize(n);
    return b;
}

Bytes Corrupted(Bytes b, size_t at)
{
    b[at] ^= 0x40;
    return b;
}
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FrameDamage,
    ::testing::Values(
        DamageCase{"Good", {Sent(Request(kMeter, 0x08)), Got(Answer(kMeter, 0x08, 32))}, {"", ""}},
        DamageCase{"BadChecks",
                   {Sent(Request(kMeter, 0x08)), Got(Corrupted(Answer(kMeter, 0x08, 32), 9))},
                   {"", "неверная контрольная сумма"}},
        DamageCase{"MeterErrorCode",
                   {Sent(Request(kMeter, 0x0E)), Got(Answer(kMeter, 240, 32))},
                   {"", "ошибка счетчика 240: <<<Ошибочная команда IBM PC>>>"}},
        DamageCase{"OtherAddress",
                   {Sent(Request(kMeter, 0x08)), Got(Answer(1, 0x08, 32))},
                   {"", "ответ с другого адреса"}},
        DamageCase{"ShortLongAnswer",
                   {Sent(Request(kMeter, 0x7E)), Got(Prefix(Answer(kMeter, 0x7E, 72), 40))},
                   {"", "короткий кадр: 40 из 72 байт"}},
        DamageCase{"EightByteAnswer", {Sent(Request(kMeter, 0x30)), Got(Answer(kMeter, 0x30, 8))}, {"", ""}},
        DamageCase{"AnswerWithoutRequest", {Got(Answer(kMeter, 0x08, 32))}, {"ответ без запроса"}},
        DamageCase{"TwoRequestsInOneLine",
                   {Sent(Join(Request(kMeter, 0x08), Request(kMeter, 0x08))), Got(Answer(kMeter, 0x08, 32))},
                   {"", "нет ответа", "", ""}},
        DamageCase{"BroadcastWantsNoAnswer",
                   {Sent(Join(Request(VQ7_BROADCAST_NUMBER, 0x26), Request(kMeter, 0x08)))},
                   {"", ""}},
        DamageCase{"TwoAnswersInOneLine",
                   {Sent(Request(kMeter, 0x08)), Got(Join(Answer(kMeter, 0x08, 32), Answer(kMeter, 0x08, 32)))},
                   {"", "", "ответ без запроса"}},
        DamageCase{"TruncatedRequest",
                   {Sent(Prefix(Request(kMeter, 0x08), 10))},
                   {"неполный кадр: 10 из 16 байт"}},
        DamageCase{"SuperlongInTwoPackets",
                   {Sent(Request(kMeter, 0x90, 0x10)),
                    Got(Join(Superlong(kMeter, 0x90, 0), Superlong(kMeter, 0x90, 30))), Sent(Request(kMeter, 0x08))},
                   {"", "", "", ""}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(FrameDecode, SuperlongLengthComesFromItsLengthByte)
{
    const Bytes a = Superlong(kMeter, 0x90, 12);
    const auto frames = DecodeAll({Sent(Request(kMeter, 0x90)), Got(a)});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].m_abBytes.size(), 20u);
    EXPECT_EQ(frames[1].m_sError, "");
}

TEST(FrameDecode, TraceLinesParseBackToTheirBytes)
{
    CMessage m;
    m.m_bReceived = 1;
    m.m_abBytes = {0x00, 0x7E, 0xFF, 0xA5};
    CTracedBytes traced;
    ASSERT_TRUE(ParseTraceLine(CTraceLines::FormatLine(m, 15), traced));
    EXPECT_TRUE(traced.m_bReceived);
    EXPECT_EQ(traced.m_abBytes, m.m_abBytes);
    EXPECT_EQ(HexBytes(traced.m_abBytes), "00 7E FF A5");

    for (const char* bad : {"", "<< ", "hello", "<< [L=  2, dly=0]  01", "<< [L=  1, dly=0]  0G",
                            "<< [L=  1, dly=0]  123", ">> [L=x]  01", "<< [L=  1, dly=0  01"})
        EXPECT_FALSE(ParseTraceLine(bad, traced)) << bad;
}

TEST(FrameDecode, MonitorShowsWhereTheTraceDroppedMessages)
{
    CMonitorFeed feed;
    const std::string request = CTraceLines::FormatLine(CMessage{0, 3, 0, {0x78, 0x56, 0x34}}, 0);
    feed.Target().AddLine(request);
    feed.Target().AddLine(CTraceLines::DroppedLine(7));
    feed.Target().AddLine("!! [dropped=x] не число");
    std::vector<CMonitorRow> rows;
    ASSERT_EQ(feed.Poll(rows), 3u);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].m_Frame.m_bReceived);
    EXPECT_EQ(rows[1].m_Frame.m_sError, "трасса отстала, пропущено сообщений: 7");
    EXPECT_EQ(rows[2].m_Frame.m_sError.rfind("нераспознанная строка трассы", 0), 0u) << rows[2].m_Frame.m_sError;
}
