// Frames on the wire, BCD addresses, check bytes and result texts.
#include "ProtocolFixture.h"

#include <set>

TEST(Bcd, AddressesOfNumbers)
{
    EXPECT_EQ(NumberToBcd(12345678), 0x12345678u);
    EXPECT_EQ(NumberToBcd(0), 0u);
    EXPECT_EQ(NumberToBcd(16777215), 0x16777215u);
    EXPECT_EQ(NumberToBcd(16777216), 0x16777216u);   // all eight digits, beyond 24 bits too
    EXPECT_EQ(NumberToBcd(85012345), 0x85012345u);
    EXPECT_EQ(NumberToBcd(99999999), 0x99999999u);
    EXPECT_EQ(NumberToBcd(54535251), 0x54535251u);   // broadcast
    EXPECT_EQ(NumberToBcd(54535252), 0x54535252u);
}

TEST(Bcd, BackToIntegers)
{
    EXPECT_EQ(BcdToInt(0x12345678), 12345678);
    EXPECT_EQ(BcdToInt(0x99999999), 99999999);
    EXPECT_EQ(BcdToInt(0x59), 59);
    EXPECT_EQ(BcdToInt(0), 0);
    EXPECT_EQ(BcdToInt(0x1A), 0);
    EXPECT_EQ(BcdToInt(0xA0000000), 0);
    for (uint32_t n : {1u, 9u, 10u, 4711u, 99999u, 16777215u, 85012345u, 99999999u})
        EXPECT_EQ(BcdToInt(NumberToBcd(n)), static_cast<int>(n));
}

TEST(Checks, CommandAndAnswer)
{
    VQ7_CMD frame{};
    PutLeU32(frame.m_abAddr, 0x12345678);
    frame.m_bCmd = 0x09;
    SetCmdChecks(frame);
    EXPECT_EQ(frame.m_bXor, 0x01);
    EXPECT_EQ(frame.m_bSum, 0x1D);

    Bytes answer = MeterAnswer(kMeter, 0x09, {'1', '.', '0'});
    EXPECT_TRUE(AnswerChecksOk(answer.data(), 32));
    answer[10] ^= 0x40;
    EXPECT_FALSE(AnswerChecksOk(answer.data(), 32));
    EXPECT_FALSE(AnswerChecksOk(answer.data(), 1));
    EXPECT_FALSE(AnswerChecksOk(nullptr, 32));
}

TEST_F(ProtocolTest, ExactFrameOfReadVersion)
{
    bus->QueueReply(MeterAnswer(kMeter, 0x09, {'3', '.', '0', '0', ' '}));
    std::string version;
    ASSERT_EQ(ReadVersion(&conn, kMeter, version), RC_OK);
    EXPECT_EQ(version, "3.00 ");
    ASSERT_EQ(bus->WriteCount(), 1u);
    const Bytes expected{0x78, 0x56, 0x34, 0x12, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x1D};
    EXPECT_EQ(bus->Written()[0], expected);
}

TEST_F(ProtocolTest, BroadcastTravelsAsQrstAndReadsNoAnswer)
{
    // A reply would be read (and fail) if the transaction waited for one.
    bus->QueueReply(Bytes{0xEE});
    unsigned packets = 7;
    const auto rc = SendCmd(&conn, VQ7_BROADCAST_NUMBER, VQ7_CMD_BROADCAST_NO_ANSWER, nullptr, 0, nullptr,
                            nullptr, &packets);
    EXPECT_EQ(rc, RC_OK);
    EXPECT_EQ(packets, 0u);
    ASSERT_EQ(bus->WriteCount(), 1u);
    const Bytes frame = bus->Written()[0];
    EXPECT_EQ(std::string(frame.begin(), frame.begin() + 4), "QRST");
    EXPECT_EQ(frame[4], '&');
    EXPECT_TRUE(AnswerChecksOk(frame.data(), 16));
}

TEST_F(ProtocolTest, BadArgumentsDoNotTouchTheBus)
{
    uint8_t data[10] = {};
    uint8_t answer[32];
    unsigned size = sizeof answer;
    EXPECT_EQ(SendCmd(&conn, kMeter, 0x09, data, 10, answer, &size, nullptr), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(ExecCmd(&conn, kMeter, 0x09, data, 10, answer, &size, nullptr, 5), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(SendCmd(&conn, kMeter, 0x09, nullptr, 3, answer, &size, nullptr), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(SendCmd(&conn, kMeter, 0x09, data, 9, nullptr, &size, nullptr), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(ExecCmd(&conn, kMeter, 0x09, data, 9, answer, &size, nullptr, 0), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(SendCmd(nullptr, kMeter, 0x09, data, 9, answer, &size, nullptr), unsigned(RC_NO_CONNECTION));
    // Nine digits have no address of their own.
    EXPECT_EQ(ExecCmd(&conn, 100000000, 0x09, data, 0, answer, &size, nullptr, 5), unsigned(RC_BAD_ARGUMENT));
    EXPECT_EQ(bus->WriteCount(), 0u);
}

TEST(ResultTexts, MeterErrorsPrintWithBell)
{
    std::vector<std::string> printed;
    const auto sink = [&](const std::string& t) { printed.push_back(t); };
    for (unsigned code : {239u, 240u, 241u, 251u, 252u, 253u, 254u, 255u})
        EXPECT_TRUE(PrintMeterError(code, sink)) << code;
    ASSERT_EQ(printed.size(), 8u);
    EXPECT_EQ(printed[1], "\a\n   <<<Ошибочная команда IBM PC>>>");
    EXPECT_EQ(printed[7], "\a\n   <<< Ошибка записи в EEPROM>>>");
    for (unsigned code : {0u, 1u, 238u, 242u, 250u, 1016u})
        EXPECT_FALSE(PrintMeterError(code, sink)) << code;
    EXPECT_EQ(printed.size(), 8u);
    EXPECT_TRUE(PrintMeterError(241));   // without a sink
}

TEST(ResultTexts, EveryCodeHasItsOwnMeaning)
{
    EXPECT_EQ(ResultCodeText(241), "<<<Временная занятость>>>");
    EXPECT_EQ(ResultCodeText(17), "ошибка счетчика 17");
    EXPECT_EQ(ResultCodeText(99999), "ошибка 99999");
    std::set<std::string> texts;
    for (unsigned code : {0u, 1001u, 1002u, 1003u, 1005u, 1007u, 1010u, 1011u, 1012u, 1013u, 1014u, 1016u,
                          1017u, 1018u, 1051u, 1052u, 1053u}) {
        const std::string text = ResultCodeText(code);
        EXPECT_EQ(text.find("ошибка " + std::to_string(code)), std::string::npos) << code;
        EXPECT_EQ(text.find('\n'), std::string::npos);
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 17u);
}
