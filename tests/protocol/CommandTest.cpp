// Data layouts, texts and attempts of the command set.
#include "ProtocolFixture.h"

#include "common/NumberText.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {
Bytes Data(std::initializer_list<uint8_t> head)
{
    Bytes d(9, 0);
    std::copy(head.begin(), head.end(), d.begin());
    return d;
}
const float kNan = std::nanf("");
}  // namespace

TEST_F(QuickProtocolTest, ReadParamKinds)
{
    std::string value;
    bus->QueueReply(MeterAnswer(kMeter, 0x0E, {200, 7, 7, 7}));
    ASSERT_EQ(ReadParam(&conn, kMeter, 0, 0, value), RC_OK);
    EXPECT_EQ(value, "200");
    EXPECT_EQ(RequestData(0), Data({0, 1}));

    bus->QueueReply(MeterAnswer(kMeter, 0x0E, {0x1A, 0, 0, 0xF0}));
    ASSERT_EQ(ReadParam(&conn, kMeter, 5, 1, value), RC_OK);
    EXPECT_EQ(value, "F000001A");
    EXPECT_EQ(RequestData(1), Data({5, 4}));

    bus->QueueReply(MeterAnswer(kMeter, 0x0E, {0x00, 0x28, 0x6B, 0xEE}));
    ASSERT_EQ(ReadParam(&conn, kMeter, 6, 2, value), RC_OK);
    EXPECT_EQ(value, "4000000000");

    bus->QueueReply(MeterAnswer(kMeter, 0x0E, FloatBytes(1.5f)));
    ASSERT_EQ(ReadParam(&conn, kMeter, 70, value), RC_OK);   // kind 3 from 32 on
    EXPECT_EQ(value, "1.5");
    EXPECT_EQ(RequestData(3), Data({70, 4}));

    SetDecimalSeparator(',');   // read values keep the point
    bus->QueueReply(MeterAnswer(kMeter, 0x0E, FloatBytes(kNan)));
    ASSERT_EQ(ReadParam(&conn, kMeter, 75, 3, value), RC_OK);
    EXPECT_EQ(value, "1e+30");

    bus->QueueReply(MeterAnswer(kMeter, 0x0E, {9}));
    ASSERT_EQ(ReadParam(&conn, kMeter, 31, value), RC_OK);   // kind 0 below 32
    EXPECT_EQ(value, "9");
    EXPECT_EQ(RequestData(5), Data({31, 1}));

    value = "kept";
    bus->QueueReplies({MeterAnswer(kMeter, VQ7_ERR_BAD_PARAM)}, 5);
    EXPECT_EQ(ReadParam(&conn, kMeter, 99, 0, value), 239u);
    EXPECT_EQ(value, "kept");
    EXPECT_EQ(ReadParam(&conn, kMeter, 1, 4, value), unsigned(RC_BAD_ARGUMENT));
}

TEST_F(QuickProtocolTest, WriteParamKinds)
{
    bus->SetResponder([](const Bytes&) { return ScriptedReply{MeterAnswer(kMeter, 0x0A)}; });
    EXPECT_EQ(WriteParam(&conn, kMeter, 0, 0, "5"), RC_OK);
    EXPECT_EQ(RequestData(0), Data({0, 1, 5, 0, 0, 0}));
    EXPECT_EQ(WriteParam(&conn, kMeter, 3, 1, "1A"), RC_OK);
    EXPECT_EQ(RequestData(1), Data({3, 4, 0x1A, 0, 0, 0}));
    EXPECT_EQ(WriteParam(&conn, kMeter, 3, 1, "0x1A"), RC_OK);
    EXPECT_EQ(RequestData(2), Data({3, 4, 0x1A, 0, 0, 0}));
    EXPECT_EQ(WriteParam(&conn, kMeter, 4, 2, "4000000000"), RC_OK);
    EXPECT_EQ(RequestData(3), Data({4, 4, 0x00, 0x28, 0x6B, 0xEE}));
    EXPECT_EQ(WriteParam(&conn, kMeter, 70, "1,5"), RC_OK);   // kind 3, the operator's comma
    EXPECT_EQ(RequestData(4), Concat(Bytes{70, 4}, Concat(FloatBytes(1.5f), Bytes(3, 0))));
    SetDecimalSeparator(',');
    EXPECT_EQ(WriteParam(&conn, kMeter, 79, 3, "2.25"), RC_OK);
    EXPECT_EQ(RequestData(5), Concat(Bytes{79, 4}, Concat(FloatBytes(2.25f), Bytes(3, 0))));
    EXPECT_EQ(bus->WriteCount(), 6u);

    EXPECT_THROW(WriteParam(&conn, kMeter, 70, 3, "много"), EConvertError);
    // Texts that are no number, values that do not fit the kind and floats that are
    // not finite are refused before the bus.
    for (const auto& [kind, text] : std::vector<std::pair<int, std::string>>{
             {0, "abc"}, {0, "7O"}, {1, "1G"}, {2, "12 34"}, {0, "300"}, {2, "-1"}, {7, "1"},
             {3, "1e39"}, {3, "-1e39"}, {3, "1e400"}})
        EXPECT_EQ(WriteParam(&conn, kMeter, 4, kind, text), unsigned(RC_BAD_ARGUMENT)) << kind << " " << text;
    EXPECT_EQ(bus->WriteCount(), 6u);
}

TEST_F(QuickProtocolTest, PairCount)
{
    std::string count = "x";
    bus->QueueReply(MeterAnswer(kMeter, 0x07, {12}));
    EXPECT_EQ(ReadPairCount(&conn, kMeter, count), RC_OK);
    EXPECT_EQ(count, "12");
    for (uint8_t refusal : {VQ7_ERR_BAD_PARAM, VQ7_ERR_BAD_COMMAND}) {
        count = "x";
        bus->QueueReplies({MeterAnswer(kMeter, refusal)}, 5);
        EXPECT_EQ(ReadPairCount(&conn, kMeter, count), RC_OK);
        EXPECT_EQ(count, "7");
    }
    count = "x";
    bus->QueueReplies({MeterAnswer(kMeter, VQ7_ERR_EEPROM_READ)}, 5);
    EXPECT_EQ(ReadPairCount(&conn, kMeter, count), 254u);
    EXPECT_EQ(count, "x");

    bus->ClearRecord();
    bus->SetResponder([](const Bytes&) { return ScriptedReply{MeterAnswer(kMeter, 0x06)}; });
    EXPECT_EQ(WritePairCount(&conn, kMeter, "12"), RC_OK);
    EXPECT_EQ(RequestCmd(0), 0x06);
    EXPECT_EQ(RequestData(0), Data({12}));
    EXPECT_THROW(WritePairCount(&conn, kMeter, "двенадцать"), EConvertError);
    EXPECT_EQ(WritePairCount(&conn, kMeter, "256"), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(bus->WriteCount(), 1u);
}

// An older meter's refusal of the pair count is asked again at once. With an
// hour's retry pause the answers still come back; a pause would run into the
// watchdog's abort (1018). A single refusal is not taken for an older meter.
TEST_F(ProtocolTest, PairCountRefusalIsConfirmedWithoutThePause)
{
    g_nRetryPauseMs = 3600u * 1000u;
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> l(lock);
        if (!done.wait_for(l, std::chrono::seconds(60), [&] { return finished; }))
            g_bAbortAll = true;
    });
    struct Case {
        std::vector<Bytes> replies;
        const char* count;
        unsigned requests;
    };
    const Case cases[] = {
        {std::vector<Bytes>(5, MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND)), "7", 5},
        {std::vector<Bytes>(5, MeterAnswer(kMeter, VQ7_ERR_BAD_PARAM)), "7", 5},
        {{MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND), MeterAnswer(kMeter, 0x07, {15})}, "15", 2},
        {{MeterAnswer(kMeter, VQ7_ERR_BAD_PARAM), MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND),
          MeterAnswer(kMeter, 0x07, {9})}, "9", 3},
    };
    for (const Case& c : cases) {
        bus->ClearRecord();
        for (const Bytes& reply : c.replies)
            bus->QueueReply(reply);
        std::string count = "x";
        EXPECT_EQ(ReadPairCount(&conn, kMeter, count), RC_OK);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(bus->WriteCount(), c.requests);
    }
    {
        std::lock_guard<std::mutex> l(lock);
        finished = true;
    }
    done.notify_one();
    watchdog.join();
}

TEST_F(QuickProtocolTest, Pairs)
{
    bus->QueueReply(MeterAnswer(kMeter, 0x2A));
    EXPECT_EQ(WritePair(&conn, kMeter, 3, "1,25", "2.5"), RC_OK);
    EXPECT_EQ(RequestData(0), Concat(Bytes{3}, Concat(FloatBytes(1.25f), FloatBytes(2.5f))));

    std::string gi = "gi", ge = "ge";
    bus->QueueReply(MeterAnswer(kMeter, 0x2B, Concat(Bytes{4}, Concat(FloatBytes(kNan), FloatBytes(0.125f)))));
    EXPECT_EQ(ReadPair(&conn, kMeter, 4, gi, ge), RC_OK);
    EXPECT_EQ(RequestData(1), Data({4}));
    EXPECT_EQ(gi, "1e+30");
    EXPECT_EQ(ge, "0.125");

    SetDecimalSeparator(',');
    bus->QueueReply(MeterAnswer(kMeter, 0x2B, Concat(Bytes{5}, Concat(FloatBytes(1.5f), FloatBytes(12.75f)))));
    EXPECT_EQ(ReadPair(&conn, kMeter, 5, gi, ge), RC_OK);
    EXPECT_EQ(gi, "1,5");
    EXPECT_EQ(ge, "12,75");

    // An answer about another pair fails and changes nothing.
    bus->QueueReply(MeterAnswer(kMeter, 0x2B, Concat(Bytes{6}, Concat(FloatBytes(1), FloatBytes(2)))));
    EXPECT_EQ(ReadPair(&conn, kMeter, 7, gi, ge), unsigned(RC_WRONG_LENGTH));
    EXPECT_EQ(gi, "1,5");
    EXPECT_EQ(ge, "12,75");
}

TEST_F(QuickProtocolTest, AttemptsPerCommand)
{
    bus->SetResponder([](const Bytes& request) {
        return ScriptedReply{MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND, {}, request[4] >= 0x40 ? 72 : 32)};
    });
    std::string text;
    uint8_t bytes[8];
    const struct {
        const char* name;
        std::function<unsigned()> run;
        unsigned attempts;
    } cases[] = {
        {"BeginPairWrite", [&] { return BeginPairWrite(&conn, kMeter); }, 5},
        {"Restart", [&] { return Restart(&conn, kMeter); }, 1},
        {"ReadCurrent", [&] { return ReadCurrent(&conn, kMeter, 5, text, nullptr); }, 3},
        {"ReadClock", [&] { return ReadClock(&conn, kMeter, bytes); }, 3},
        {"ReadStatus", [&] { return ReadStatus(&conn, kMeter, bytes); }, 5},
        {"StartMeasurement", [&] { return StartMeasurement(&conn, kMeter); }, 5},
        {"ReadGradIntegrals", [&] { return ReadGradIntegrals(&conn, kMeter, text); }, 5},
    };
    for (const auto& c : cases) {
        bus->ClearRecord();
        EXPECT_EQ(c.run(), 240u) << c.name;
        EXPECT_EQ(bus->WriteCount(), c.attempts) << c.name;
    }
}

// A meter that does not know the command says so on every attempt; a line
// fault on the last one must not turn that into a lost connection.
TEST_F(QuickProtocolTest, TheMetersOwnAnswerOutlivesALineFaultOfTheLastAttempt)
{
    bus->QueueReplies({MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND)}, 4);
    bus->QueueSilence();
    EXPECT_EQ(WritePairCount(&conn, kMeter, "3"), 240u);
    EXPECT_EQ(bus->WriteCount(), 5u);
    // Only line faults: the last of them.
    Bytes bad = MeterAnswer(kMeter, 0x06);
    bad[31] ^= 0xFF;
    bus->QueueReplies({bad}, 4);
    bus->QueueSilence();
    EXPECT_EQ(WritePairCount(&conn, kMeter, "3"), unsigned(RC_TIMEOUT));
}

TEST_F(QuickProtocolTest, RestartIsSentOnceWhateverTheResult)
{
    bus->QueueSilence();
    EXPECT_EQ(Restart(&conn, kMeter), unsigned(RC_TIMEOUT));
    EXPECT_EQ(bus->WriteCount(), 1u);
    EXPECT_EQ(RequestCmd(0), 0x0D);
    EXPECT_EQ(RequestData(0), Data({13}));
    // Busy is an answer too: no second restart.
    bus->ClearRecord();
    bus->QueueReplies({MeterAnswer(kMeter, VQ7_ERR_BUSY)}, 3);
    EXPECT_EQ(Restart(&conn, kMeter), unsigned(VQ7_ERR_BUSY));
    EXPECT_EQ(bus->WriteCount(), 1u);
}

TEST_F(QuickProtocolTest, MeasurementCommands)
{
    bus->QueueReply(MeterAnswer(kMeter, 0x0F));
    EXPECT_EQ(StartMeasurement(&conn, kMeter), RC_OK);
    EXPECT_EQ(RequestData(0), Data({0x00, 0x00, 0x80, 0x3F}));

    uint8_t status[8] = {};
    bus->QueueReply(MeterAnswer(kMeter, 0x08, {1, 2, 3, 4, 0x40, 6, 0x02, 8, 9}));
    EXPECT_EQ(ReadStatus(&conn, kMeter, status), RC_OK);
    EXPECT_EQ(Bytes(status, status + 8), (Bytes{1, 2, 3, 4, 0x40, 6, 0x02, 8}));

    uint8_t clock[8] = {};
    bus->QueueReply(MeterAnswer(kMeter, 0x2C, {0x07, 0x31, 0x12, 0x35, 0x05, 0x23, 0x59, 0x5A}));
    EXPECT_EQ(ReadClock(&conn, kMeter, clock), RC_OK);
    EXPECT_EQ(RequestData(2), Data({0}));
    EXPECT_EQ(Bytes(clock, clock + 8), (Bytes{0x07, 31, 12, 35, 0x05, 23, 59, 0}));   // 0x5A is no BCD
}

TEST_F(QuickProtocolTest, CurrentValueByteOrder)
{
    const float value = 12.5f;
    Bytes swapped = FloatBytes(value);
    std::reverse(swapped.begin(), swapped.end());
    const std::string swappedText = FormatC("%.7g", static_cast<double>(LeFloat(swapped.data())));
    ASSERT_NE(swappedText, "12.5");

    VQ7_INFO info;
    info.m_sType = "DZW3";
    info.m_fFullVersion = 3.0702f;   // from 03.07.02
    std::string text;

    bus->QueueReply(MeterAnswer(kMeter, 0x2C, swapped));
    EXPECT_EQ(ReadCurrent(&conn, kMeter, 8, text, &info), RC_OK);
    EXPECT_EQ(text, "12.5");
    EXPECT_EQ(RequestData(0), Data({8}));

    info.m_sType = "DZW4";
    bus->QueueReply(MeterAnswer(kMeter, 0x2C, swapped));
    EXPECT_EQ(ReadCurrent(&conn, kMeter, 8, text, &info), RC_OK);
    EXPECT_EQ(text, "12.5");

    const auto unchanged = [&](uint8_t index, const VQ7_INFO* record) {
        bus->QueueReply(MeterAnswer(kMeter, 0x2C, swapped));
        EXPECT_EQ(ReadCurrent(&conn, kMeter, index, text, record), RC_OK);
        return text;
    };
    info.m_fFullVersion = 3.0703f;
    EXPECT_EQ(unchanged(8, &info), swappedText);
    info.m_fFullVersion = 3.0702f;
    info.m_sType = "VQ7I";
    EXPECT_EQ(unchanged(8, &info), swappedText);
    info.m_sType = "DZW3";
    EXPECT_EQ(unchanged(5, &info), swappedText);
    EXPECT_EQ(unchanged(8, nullptr), swappedText);

    EXPECT_EQ(ReadCurrent(&conn, kMeter, 0, text, nullptr), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(ReadCurrent(&conn, kMeter, 10, text, nullptr), unsigned(RC_BAD_ARGUMENT));
}

TEST_F(QuickProtocolTest, GradIntegrals)
{
    Bytes data;
    for (int i = 0; i < 15; ++i)
        data = Concat(data, FloatBytes(i == 0 ? 0.5f : static_cast<float>(i)));
    data = Concat(data, Bytes{0xAA, 0xBB, 0xCC, 0x00, 0x00});
    bus->QueueReply(MeterAnswer(kMeter, 0x7E, data, 72));
    std::string text;
    uint8_t raw[65] = {};
    ASSERT_EQ(ReadGradIntegrals(&conn, kMeter, text, raw), RC_OK);
    EXPECT_EQ(text, "0.5$1$2$3$4$5$6$7$8$9$10$11$12$13$14$0");
    EXPECT_EQ(Bytes(raw, raw + 65), data);

    data[63] = 0x2C;
    data[64] = 0x01;   // 300
    bus->QueueReply(MeterAnswer(kMeter, 0x7E, data, 72));
    ASSERT_EQ(ReadGradIntegrals(&conn, kMeter, text), RC_OK);
    EXPECT_EQ(text.substr(text.rfind('$')), "$300");
}
