// Transfer of the pair table to and from virtual meters of the simulated rig,
// reached over a loopback TCP gateway or a pseudo-terminal that logs every request.
#include "calibration/CGiGeArray.h"
#include "calibration/ConnectionUse.h"
#include "calibration/JournaledParam.h"
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"
#include "support/RecordingOperator.h"
#include "protocol/connection.h"
#include "sim/Rig.h"
#include "support/HostilePairFiles.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kNumber = 12345678;
constexpr uint8_t CMD_WRITE_COUNT = 0x06, CMD_READ_COUNT = 0x07, CMD_RESTART = 0x0D, CMD_BEGIN = 0x28,
                  CMD_WRITE_PAIR = 0x2A, CMD_READ_PAIR = 0x2B;

const std::string kMeter = "Счетчик № 12345678";

float LeFloatAt(const std::vector<uint8_t>& d, size_t offset)
{
    float f;
    std::memcpy(&f, d.data() + offset, sizeof f);
    return f;
}

class GiGeTransferTest : public ::testing::Test {
protected:
    explicit GiGeTransferTest(SimRig::Transport transport = SimRig::TcpGateway) : sim(transport) {}
    void SetUp() override
    {
        SetDecimalSeparator('.');
        CWriteJournal::SetReadBack(true);
    }
    void TearDown() override
    {
        SetDecimalSeparator('.');
        if (!file.empty())
            fs::remove(file);
        CWriteJournal::SetReadBack(true);
    }
    std::vector<WriteJournalEntry> Journal() const
    {
        std::vector<WriteJournalEntry> entries;
        std::string error;
        CWriteJournal::Read(journal, 0, entries, error);
        return entries;
    }

    CVirtualMeter& AddMeter(const std::string& type, const std::function<void(SimMeterConfig&)>& tweak = {})
    {
        SimMeterConfig cfg;
        cfg.number = kNumber;
        cfg.type = type;
        if (tweak)
            tweak(cfg);
        CVirtualMeter* meter = rig.AddMeter(cfg);
        if (!meter)
            throw std::runtime_error("rig refused the meter");
        return *meter;
    }
    static VQ7_INFO InfoOf(const std::string& type)
    {
        VQ7_INFO info;
        info.m_sType = type;
        return info;
    }
    // Commands sent, in order, with the first data byte (pair index or count).
    std::vector<std::pair<int, int>> Sent() const
    {
        std::vector<std::pair<int, int>> out;
        for (const auto& r : gateway->Log())
            out.emplace_back(r.cmd, r.data[0]);
        return out;
    }
    int CountOf(uint8_t cmd) const
    {
        int n = 0;
        for (const auto& r : gateway->Log())
            n += r.cmd == cmd;
        return n;
    }
    std::string TempFile(const std::string& contents)
    {
        file = (fs::temp_directory_path() / ("gige_xfer_" + std::to_string(::getpid()) + ".dat")).string();
        std::ofstream(file, std::ios::binary) << contents;
        return file;
    }

    CRecordingOperator op;
    SimRig sim;
    CRig& rig = sim.Rig();
    connection& conn = sim.Conn();
    CRigGateway* const gateway = &sim.Gateway();
    const std::string journal = sim.JournalPath();
    std::string file;
};

TEST_F(GiGeTransferTest, HeatMeterWithoutTransferIsLeftAlone)
{
    AddMeter("VQ7I").SetPairs({{1, 1}, {2, 2}});
    CGiGeArray t(InfoOf("VQ7I"), kNumber);
    t.AddPair(5, 5);
    t.m_nResult = 42;
    EXPECT_EQ(t.ReadFromMeter(&conn), 0);
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    EXPECT_EQ(t.LoadFromFileToMeter(&conn, "/nonexistent/x.dat"), 0);
    EXPECT_TRUE(gateway->Log().empty());
    EXPECT_TRUE(op.Messages().empty());
    EXPECT_EQ(t.m_nResult, 42);
    EXPECT_EQ(t.GetCount(), 1);
}

TEST_F(GiGeTransferTest, MeterWithoutCountCommandIsReadAsSevenPairs)
{
    std::vector<SimPair> pairs;
    for (int i = 0; i < 7; ++i)
        pairs.push_back({0.5f * static_cast<float>(i + 1), 0.51f * static_cast<float>(i + 1)});
    AddMeter("FJ  ", [](SimMeterConfig& c) { c.pairCountCommands = false; }).SetPairs(pairs);
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    EXPECT_EQ(t.ReadFromMeter(&conn), 0);
    auto sent = Sent();   // the refused count command is retried, then the pairs follow
    size_t refused = 0;
    while (refused < sent.size() && sent[refused].first == CMD_READ_COUNT)
        ++refused;
    EXPECT_GE(refused, 1u);
    std::vector<std::pair<int, int>> expected;
    for (int i = 0; i < 7; ++i)
        expected.emplace_back(CMD_READ_PAIR, i);
    const std::vector<std::pair<int, int>> pairsRead(sent.begin() + static_cast<long>(refused), sent.end());
    EXPECT_EQ(pairsRead, expected);
    ASSERT_EQ(t.GetCount(), 7);
    EXPECT_EQ(t.PairAt(6).Gi, pairs[6].gi);
    EXPECT_EQ(t.PairAt(6).Ge, pairs[6].ge);
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(GiGeTransferTest, MeterWithoutPairsEmptiesTheTableSilently)
{
    AddMeter("FJ  ").ClearPairs();
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1);
    EXPECT_EQ(t.ReadFromMeter(&conn), -1);
    EXPECT_EQ(t.m_nResult, 0);
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_EQ(Sent(), (std::vector<std::pair<int, int>>{{CMD_READ_COUNT, 0}}));
    EXPECT_TRUE(op.Messages().empty());
    EXPECT_EQ(op.BeepCount(), 0);
}

// Over the serial port a lost answer costs only its time-out, not the gateway's extra second.
class GiGeTransferSerialTest : public GiGeTransferTest {
protected:
    GiGeTransferSerialTest() : GiGeTransferTest(SimRig::PtyGateway) {}
};

TEST_F(GiGeTransferSerialTest, LostPairAnswerEndsTheReadWithOneError)
{
    AddMeter("FJ  ").SetPairs({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    gateway->SetLoss([](const GatewayRequest& r) { return r.cmd == CMD_READ_PAIR && r.data[0] == 2; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    EXPECT_NE(t.ReadFromMeter(&conn), 0);
    EXPECT_EQ(t.m_nResult, RC_TIMEOUT);
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Ошибка связи! " + kMeter});
    EXPECT_EQ(op.BeepCount(), 3);
    const auto sent = Sent();
    ASSERT_GE(sent.size(), 4u);
    for (size_t i = 3; i < sent.size(); ++i)   // retries of pair 2 and nothing after them
        EXPECT_EQ(sent[i], std::make_pair(int(CMD_READ_PAIR), 2));
    EXPECT_EQ(conn.OpenCount(), 0);
}

TEST_F(GiGeTransferTest, WrittenPairsReadBackAsTheSameFloats)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    SetDecimalSeparator(',');   // the texts on the way carry the operator's separator
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1.5f);
    t.AddPair(0.1f, 0.2f);
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    EXPECT_TRUE(op.Messages().empty());
    EXPECT_EQ(CountOf(CMD_RESTART), 0);
    const auto held = meter.Pairs();
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(held[0].gi, 0.1f);
    EXPECT_EQ(held[0].ge, 0.2f);

    CGiGeArray back(InfoOf("FJ  "), kNumber);
    EXPECT_EQ(back.ReadFromMeter(&conn), 0);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.PairAt(0).Gi, 0.1f);
    EXPECT_EQ(back.PairAt(0).Ge, 0.2f);
    EXPECT_EQ(back.PairAt(1).Ge, 1.5f);
}

TEST_F(GiGeTransferTest, RefusedPairCountWarnsAndWritesPairsInAscendingGi)
{
    AddMeter("FJ  ", [](SimMeterConfig& c) { c.pairCountCommands = false; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(3, 30);
    t.AddPair(1, 10);
    t.AddPair(2, 20);
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    ASSERT_EQ(op.Messages().size(), 2u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Warning);
    EXPECT_EQ(op.Messages()[0].text,
              "Нет команды 6 - запись количества градуировочных пар,\nчто может означать: это старая версия ПО "
              "ВЯ-7;\nили выключен внутренний переключатель.\nПредполагаем первое и записываем сами градуировочные "
              "пары.\n " +
                  kMeter);
    // It still holds seven pairs: the last four are the former ones, and it is said.
    EXPECT_EQ(op.Messages()[1].kind, RecordedMessage::Warning);
    EXPECT_EQ(op.Messages()[1].text, kMeter + ": счетчик хранит 7 градуировочных пар, записано 3; пары 4-7 остались "
                                              "от прежней характеристики.");
    EXPECT_EQ(Journal().back().readback, "совпадает, пары 4-7 прежние");
    std::vector<GatewayRequest> writes;
    for (const auto& r : gateway->Log())
        if (r.cmd == CMD_WRITE_PAIR)
            writes.push_back(r);
    ASSERT_EQ(writes.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(writes[i].data[0], i);
        EXPECT_EQ(LeFloatAt(writes[i].data, 1), static_cast<float>(i + 1));
        EXPECT_EQ(LeFloatAt(writes[i].data, 5), static_cast<float>(10 * (i + 1)));
    }
}

TEST_F(GiGeTransferTest, SwitchedOffMeterGetsNoPairs)
{
    AddMeter("FJ  ", [](SimMeterConfig& c) { c.writeSwitch = false; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    EXPECT_EQ(t.WriteToMeter(&conn), 240);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Выключен внутренний переключатель! " + kMeter});
    EXPECT_EQ(CountOf(CMD_WRITE_COUNT) + CountOf(CMD_WRITE_PAIR), 0);
}

TEST_F(GiGeTransferTest, UnansweredRestartInformsThenWaits)
{
    CVirtualMeter& meter = AddMeter("DZW4", [](SimMeterConfig& c) { c.restartMode = RestartMode::Unanswered; });
    CGiGeArray t(InfoOf("DZW4"), kNumber);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    t.m_nRestartWaitMs = 400;
    Clock::time_point closed{};
    op.onMessage = [&](const RecordedMessage& m) {
        if (m.kind == RecordedMessage::Information)
            closed = Clock::now();
    };
    EXPECT_EQ(t.WriteToMeter(&conn), RC_TIMEOUT);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed).count();
    ASSERT_NE(closed, Clock::time_point{});
    EXPECT_GE(waited, 400);
    EXPECT_LT(waited, 3000);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Сейчас произойдет перезагрузка ДЗВ-3 и будет выполнено\n"
                                                   "автоматическое копирование данных из EEPROM во Flash Data.\n"
                                                   "Подождите несколько секунд."});
    EXPECT_EQ(op.BeepCount(), 0);
    EXPECT_EQ(CountOf(CMD_RESTART), 1);
    EXPECT_EQ(meter.RestartCount(), 1u);
    EXPECT_EQ(CGiGeArray().m_nRestartWaitMs, 5000u);
}

TEST_F(GiGeTransferTest, RefusedRestartTellsWhatToDo)
{
    struct Case {
        RestartMode mode;
        int result;
        int beeps;
        std::string text;
    };
    const Case cases[] = {
        {RestartMode::Answer239, 239, 0, "Градуировочные пары в прибор 12345678 не записаны."},
        {RestartMode::Answer255, 255, 3,
         "Не удалось автоматически перезагрузить прибор 12345678\nВам нужно выключить питание прибора вручную и\n"
         "через 3 с снова его включить - это необходимо\nдля копирования данных из EEPROM во Flash Data."},
    };
    CVirtualMeter& meter = AddMeter("DZW3");
    for (const Case& c : cases) {
        op.Clear();
        meter.SetRestartMode(c.mode, 0);
        CGiGeArray t(InfoOf("DZW3"), kNumber);
        t.AddPair(1, 1);
        t.AddPair(2, 2);
        EXPECT_EQ(t.WriteToMeter(&conn), c.result);
        ASSERT_EQ(op.Messages().size(), 1u);
        EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Error);
        EXPECT_EQ(op.Messages()[0].text, c.text);
        EXPECT_EQ(op.BeepCount(), c.beeps);
    }
    EXPECT_EQ(CountOf(CMD_RESTART), 2);
}

TEST_F(GiGeTransferTest, TooManyPairsAreRefusedBeforeAnythingIsSent)
{
    AddMeter("FJ  ", [](SimMeterConfig& c) { c.pairCapacity = 254; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    for (int i = 0; i < 255; ++i)
        t.AddPair(static_cast<float>(i), 1);
    EXPECT_EQ(t.WriteToMeter(&conn), -1);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Warning);
    EXPECT_NE(op.Messages()[0].text.find(kMeter), std::string::npos);
    EXPECT_TRUE(gateway->Log().empty());

    op.Clear();
    t.DeletePair(0);   // 254 fit
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    EXPECT_EQ(CountOf(CMD_WRITE_PAIR), 254);
}

TEST_F(GiGeTransferTest, FileThatDidNotLoadIsNotWritten)
{
    AddMeter("FJ  ");
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    EXPECT_EQ(t.LoadFromFileToMeter(&conn, "/nonexistent/b.dat"), -1);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Нет файла с заданием параметров: /nonexistent/b.dat "});

    op.Clear();
    EXPECT_EQ(t.LoadFromFileToMeter(&conn, TempFile("0 1 1\n1 3 3\n2 2 2\n")), -1);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Ошибочное значение коэффициентов: немонотонность Gi"});
    EXPECT_TRUE(gateway->Log().empty());
}

TEST_F(GiGeTransferTest, LoadRunsBeforeWriteAndReadBeforeSave)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.m_pConnection = &conn;
    t.m_sFileName = TempFile("x\n0 1 10\n1 2 20\n");
    EXPECT_EQ(t.RunOperations(GIGE_OP_LOAD_FILE | GIGE_OP_WRITE_METER), 0);
    ASSERT_EQ(meter.Pairs().size(), 2u);
    EXPECT_EQ(meter.Pairs()[1].ge, 20.0f);

    meter.SetPairs({{5, 50}, {6, 60}});
    EXPECT_EQ(t.RunOperations(GIGE_OP_READ_METER | GIGE_OP_SAVE_FILE), 0);
    CGiGeArray saved;
    EXPECT_EQ(saved.LoadFromFile(t.m_sFileName), 0);
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_EQ(saved.PairAt(0).Gi, 5.0f);
    EXPECT_EQ(saved.PairAt(1).Ge, 60.0f);
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(GiGeTransferTest, PairThatIsNoNumberIsRefusedBeforeAnythingIsSent)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    meter.SetPairs({{7, 70}, {8, 80}});
    for (const char* contents : {"0 1 1\n1 2 2\n2 inf 3\n", "0 1 1\n1 2 nan\n2 3 3\n"}) {
        op.Clear();
        CGiGeArray t(InfoOf("FJ  "), kNumber);
        EXPECT_EQ(t.LoadFromFileToMeter(&conn, TempFile(contents)), -1) << contents;
        ASSERT_EQ(op.Messages().size(), 1u) << contents;
        EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Warning);
        EXPECT_NE(op.Messages()[0].text.find(kMeter), std::string::npos);
        EXPECT_TRUE(gateway->Log().empty()) << contents;
    }
    ASSERT_EQ(meter.Pairs().size(), 2u);   // the old characteristic is whole
    EXPECT_EQ(meter.Pairs()[1].ge, 80.0f);
}

// Written from a file as vq7ctl and the window's restore write: nothing a
// hostile file holds reaches the meter, unless restoring pairs a meter can hold.
TEST_F(GiGeTransferTest, HostileFilesNeverReachTheMeter)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    const std::vector<SimPair> before = {{0.5f, 0.52f}, {10, 10.1f}};
    for (bool putBack : {false, true}) {
        for (const HostilePairFile& f : HostilePairFiles()) {
            SCOPED_TRACE(std::string(f.name) + (putBack ? ", restored" : ""));
            meter.SetPairs(before);
            op.Clear();
            const size_t sent = gateway->Log().size();
            const size_t journalled = Journal().size();
            CGiGeArray t(InfoOf("FJ  "), kNumber);
            t.m_bPutBack = putBack;
            const int result = t.LoadFromFileToMeter(&conn, TempFile(f.bytes));
            ASSERT_FALSE(op.Messages().empty());
            const std::string text = op.Messages().back().text;
            if (putBack && f.held) {
                // Put back as it was, with the rule it breaks named first.
                EXPECT_EQ(result, 0);
                EXPECT_EQ(op.Messages().size(), 1u);
                EXPECT_NE(op.Messages()[0].text.find("как они были"), std::string::npos) << op.Messages()[0].text;
                EXPECT_NE(op.Messages()[0].text.find(f.refusal), std::string::npos) << op.Messages()[0].text;
                const auto held = meter.Pairs();
                ASSERT_EQ(static_cast<int>(held.size()), t.GetCount());
                for (int i = 0; i < t.GetCount(); ++i) {
                    EXPECT_EQ(held[static_cast<size_t>(i)].gi, t.PairAt(i).Gi);
                    EXPECT_EQ(held[static_cast<size_t>(i)].ge, t.PairAt(i).Ge);
                }
                continue;
            }
            EXPECT_EQ(result, -1);
            EXPECT_EQ(op.Messages().size(), 1u) << "one message, the refusal";
            EXPECT_NE(text.find(f.refusal), std::string::npos) << text;
            if (f.loadResult == 0) {
                EXPECT_NE(text.find(kMeter), std::string::npos) << text;
            }
            EXPECT_EQ(gateway->Log().size(), sent) << "nothing sent";
            const auto held = meter.Pairs();
            ASSERT_EQ(held.size(), before.size());
            for (size_t i = 0; i < held.size(); ++i) {
                EXPECT_EQ(held[i].gi, before[i].gi);
                EXPECT_EQ(held[i].ge, before[i].ge);
            }
            EXPECT_EQ(Journal().size(), journalled);
        }
    }
}

TEST_F(GiGeTransferTest, ForceWritesThePairsReadAndSaysHowManyWereLeftOut)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.m_bForce = true;
    EXPECT_EQ(t.LoadFromFileToMeter(&conn, TempFile(" 0 1 1\n 1 2\n 2 3 3\n")), 0);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_NE(op.Texts()[0].find("2 (полей 2 вместо 3)"), std::string::npos);
    EXPECT_NE(op.Texts()[0].find("Записываются прочитанные пары (2), не записаны: 1."), std::string::npos);
    ASSERT_EQ(meter.Pairs().size(), 2u);
    EXPECT_EQ(meter.Pairs()[1].gi, 3.0f);

    // A characteristic no meter can have is refused all the same.
    op.Clear();
    EXPECT_EQ(t.LoadFromFileToMeter(&conn, TempFile(" 0 1 1\n 1 2\n 2 1 3\n")), -1);
    EXPECT_NE(op.Texts().back().find("Gi тот же, что в паре 1"), std::string::npos);
    EXPECT_EQ(meter.Pairs()[1].gi, 3.0f);

    // Pairs taken over from a table loaded with losses carry them; cleared, they do not.
    CGiGeArray loaded(InfoOf("FJ  "), kNumber);
    ASSERT_EQ(loaded.LoadFromFile(TempFile(" 0 1 1\n 1 x 1\n 2 4 4\n")), 0);
    CGiGeArray copy(InfoOf("FJ  "), kNumber);
    copy.Assign(loaded);
    op.Clear();
    EXPECT_EQ(copy.WriteToMeter(&conn), -1);
    EXPECT_NE(op.Texts().back().find("Градуировочные пары из файла не записаны"), std::string::npos);
    copy.Clear();
    copy.AddPair(1, 1);
    copy.AddPair(4, 4);
    EXPECT_EQ(copy.WriteToMeter(&conn), 0);
    EXPECT_EQ(meter.Pairs()[1].gi, 4.0f);
}

TEST_F(GiGeTransferTest, AMeterKeepingAnotherGeFailsTheReadBack)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    meter.AddFault(*ParseFaultRule("storeotherge:cmd=42:n=1"));
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    EXPECT_EQ(t.WriteToMeter(&conn), RC_READBACK_MISMATCH);
    EXPECT_EQ(meter.Pairs()[0].gi, 1.0f);   // Gi kept as sent, Ge not
    EXPECT_NE(meter.Pairs()[0].ge, 1.0f);
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_EQ(op.Texts()[0], kMeter + ": градуировочная пара 1 после записи прочитана как Gi 1, Ge 1.00000012, "
                                      "записана Gi 1, Ge 1.");
    EXPECT_EQ(Journal().back().readback, "не совпадает: пара 1");
}

TEST_F(GiGeTransferTest, ExceptionInMeterOperationIsReportedAndReleasesTheConnection)
{
    AddMeter("FJ  ", [](SimMeterConfig& c) { c.writeSwitch = false; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    // The warning about the switch throws once, from inside the write body.
    bool thrown = false;
    op.onMessage = [&](const RecordedMessage& m) {
        if (m.kind == RecordedMessage::Warning && !thrown) {
            thrown = true;
            throw std::runtime_error("dialog failed");
        }
    };
    ASSERT_EQ(conn.Open(), 0);
    t.WriteToMeter(&conn);
    EXPECT_EQ(conn.OpenCount(), 1);
    conn.Close();
    thrown = false;
    t.WriteToMeter(&conn);
    EXPECT_EQ(conn.OpenCount(), 0);
    const auto texts = op.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[1], "Ошибка исполнения GiGeArray Cmd:2");
    EXPECT_EQ(texts[3], "Ошибка исполнения GiGeArray Cmd:2");
    EXPECT_EQ(CountOf(CMD_WRITE_PAIR), 0);
    EXPECT_EQ(t.m_nResult, 240);   // the code the operation had set stays
    // Both attempts reached the meter and are journalled with their code.
    ASSERT_EQ(Journal().size(), 2u);
    EXPECT_EQ(Journal()[0].result, 240);

    // Cut short where the operation had nothing to report yet: not a success.
    CGiGeArray empty(InfoOf("FJ  "), kNumber);
    op.onMessage = [](const RecordedMessage& m) {
        if (m.kind == RecordedMessage::Warning)
            throw std::runtime_error("dialog failed");
    };
    EXPECT_EQ(empty.WriteToMeter(&conn), -1);
    EXPECT_EQ(op.Texts().back(), "Ошибка исполнения GiGeArray Cmd:2");
    EXPECT_EQ(conn.OpenCount(), 0);
}

TEST_F(GiGeTransferSerialTest, ConstructorFromMeterIdentifiesAndReads)
{
    AddMeter("FJ  ").SetPairs({{1, 1.1f}, {2, 2.2f}, {3, 3.3f}});
    CGiGeArray t(&conn, kNumber);
    EXPECT_EQ(t.m_nResult, 0);
    EXPECT_EQ(t.m_Info.m_sType, "FJ  ");
    EXPECT_EQ(t.m_Info.m_sModel, "ФЖ-7");
    ASSERT_EQ(t.GetCount(), 3);
    EXPECT_EQ(t.PairAt(2).Ge, 3.3f);
    EXPECT_TRUE(op.Messages().empty());

    CGiGeArray missing(&conn, 99);
    EXPECT_NE(missing.m_nResult, 0);
    EXPECT_EQ(missing.GetCount(), 0);
    EXPECT_EQ(missing.m_Info.m_nParam0, 0);
    EXPECT_EQ(op.Texts(), std::vector<std::string>{"Ошибка связи! Счетчик № 99"});
    EXPECT_EQ(conn.OpenCount(), 0);
}

}  // namespace

TEST_F(GiGeTransferSerialTest, AWriteCutAfterTheCountNamesTheIncompleteTableAndReadsBackAsSuch)
{
    AddMeter("FJ  ").SetPairs({{1e30f, 1e30f}, {1e30f, 1e30f}, {1e30f, 1e30f}, {1e30f, 1e30f}});
    gateway->SetLoss([](const GatewayRequest& r) { return r.cmd == CMD_WRITE_PAIR && r.data[0] == 2; });
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f})
        t.AddPair(v, v);
    EXPECT_EQ(t.WriteToMeter(&conn), RC_TIMEOUT);
    EXPECT_TRUE(t.m_bIncomplete);
    EXPECT_FALSE(t.m_bPairsSent);
    EXPECT_EQ(t.m_nPairsWritten, 2);
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_NE(op.Texts()[0].find("Счетчик № 12345678 содержит неполную градуировочную характеристику: записано 2 из 4 пар."),
              std::string::npos);
    ASSERT_EQ(Journal().size(), 1u);
    EXPECT_EQ(Journal()[0].readback, "записано 2 из 4");
    EXPECT_EQ(Journal()[0].result, RC_TIMEOUT);

    gateway->SetLoss({});
    CGiGeArray held(InfoOf("FJ  "), kNumber);
    ASSERT_EQ(held.ReadFromMeter(&conn), 0);
    std::string why;
    EXPECT_TRUE(held.LooksIncomplete(&why));
    EXPECT_NE(why.find("пара 3"), std::string::npos);

    // Gi falling is caught too; an ordered table is not.
    CGiGeArray table;
    table.AddPair(1, 1);
    table.AddPair(2, 2);
    EXPECT_FALSE(table.LooksIncomplete());
    table.PairAt(1).Gi = 0.5f;
    EXPECT_TRUE(table.LooksIncomplete());
}

TEST_F(GiGeTransferTest, EveryPairWriteIsJournalledWithTheMeterBeforeAndAfter)
{
    AddMeter("FJ  ").SetPairs({{1, 2}});
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.m_Info.m_sModel = "ФЖ-7";
    t.AddPair(1, 1.5f);
    t.AddPair(0.1f, 0.2f);
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    EXPECT_EQ(t.m_sReadBack, "совпадает");
    // The old pair read before, both new ones read back after.
    EXPECT_EQ(CountOf(CMD_READ_COUNT), 2);
    EXPECT_EQ(CountOf(CMD_READ_PAIR), 3);
    t.m_sWriteOperation = "восстановление пар";
    EXPECT_EQ(t.WriteToMeter(&conn), 0);

    const auto entries = Journal();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].number, kNumber);
    EXPECT_EQ(entries[0].model, "ФЖ-7");
    EXPECT_EQ(entries[0].operation, "запись пар");
    EXPECT_EQ(entries[0].before, "1/2");
    EXPECT_EQ(entries[0].after, "0.100000001/0.200000003 1/1.5");
    EXPECT_EQ(entries[0].readback, "совпадает");
    EXPECT_EQ(entries[0].result, 0);
    EXPECT_EQ(entries[1].operation, "восстановление пар");
    EXPECT_EQ(entries[1].before, entries[0].after);

    // Refused before anything is sent: nothing written, nothing journalled.
    CGiGeArray empty(InfoOf("FJ  "), kNumber);
    EXPECT_EQ(empty.WriteToMeter(&conn), -1);
    EXPECT_EQ(Journal().size(), 2u);
}

TEST_F(GiGeTransferTest, AMeterKeepingOtherBitsIsAnErrorNamingMeterAndPair)
{
    CVirtualMeter& meter = AddMeter("DZW3");
    meter.AddFault(*ParseFaultRule("storeother:cmd=42:n=1"));
    meter.AddFault(*ParseFaultRule("storeother:cmd=42:n=1"));
    CGiGeArray t(InfoOf("DZW3"), kNumber);
    t.m_nRestartWaitMs = 0;
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    // Both pairs differ, the first is named.
    EXPECT_EQ(t.WriteToMeter(&conn), RC_READBACK_MISMATCH);
    EXPECT_TRUE(t.m_bPairsSent);
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_EQ(op.Texts()[0], kMeter + ": градуировочная пара 1 после записи прочитана как Gi 1.00000012, Ge 1, "
                                      "записана Gi 1, Ge 1.");
    // The converter is not restarted into a wrong characteristic.
    EXPECT_EQ(CountOf(CMD_RESTART), 0);
    ASSERT_EQ(Journal().size(), 1u);
    EXPECT_EQ(Journal()[0].readback, "не совпадает: пара 1");
    EXPECT_EQ(Journal()[0].result, RC_READBACK_MISMATCH);

    // The write repeated against a meter that keeps what it gets passes.
    op.Clear();
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Information);   // the restart
    EXPECT_EQ(Journal().back().before, "1.00000012/1 2.00000024/2");
    EXPECT_EQ(CountOf(CMD_RESTART), 1);
}

TEST_F(GiGeTransferTest, ReadBackSwitchedOffReadsNothing)
{
    AddMeter("FJ  ").SetPairs({{1, 2}});
    CWriteJournal::SetReadBack(false);
    CGiGeArray t(InfoOf("FJ  "), kNumber);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    EXPECT_EQ(t.WriteToMeter(&conn), 0);
    EXPECT_EQ(CountOf(CMD_READ_COUNT) + CountOf(CMD_READ_PAIR), 0);
    ASSERT_EQ(Journal().size(), 1u);
    EXPECT_EQ(Journal()[0].before, "");
    EXPECT_EQ(Journal()[0].readback, "отключена");

    CConnectionUse use(&conn);
    EXPECT_EQ(WriteParamJournaled(&conn, kNumber, "ФЖ-7", 70, "1.5"), 0u);
    EXPECT_EQ(CountOf(VQ7_CMD_READ_PARAM), 0);
}

TEST_F(GiGeTransferTest, ParameterWritesAreReadBeforeAndAfter)
{
    CVirtualMeter& meter = AddMeter("FJ  ");
    CConnectionUse use(&conn);
    EXPECT_EQ(WriteParamJournaled(&conn, kNumber, "ФЖ-7", 70, "1.5"), 0u);
    EXPECT_EQ(WriteParamJournaled(&conn, kNumber, "ФЖ-7", 0, "3"), 0u);
    meter.AddFault(*ParseFaultRule("storeother:cmd=10:n=1"));
    std::string read;
    EXPECT_EQ(WriteParamJournaled(&conn, kNumber, "ФЖ-7", 0, "4", &read), unsigned(RC_READBACK_MISMATCH));
    EXPECT_EQ(read, "5");
    EXPECT_EQ(meter.ParamByte(0), 5);

    const auto entries = Journal();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].operation, "параметр 70");
    EXPECT_EQ(entries[0].after, "1.5");
    EXPECT_EQ(entries[0].readback, "совпадает");
    EXPECT_EQ(entries[1].before, "0");
    EXPECT_EQ(entries[2].before, "3");
    EXPECT_EQ(entries[2].readback, "не совпадает: прочитано 5");
    EXPECT_EQ(entries[2].result, RC_READBACK_MISMATCH);
    EXPECT_EQ(ParamMismatchText(kNumber, 0, "4", read),
              "Счетчик № 12345678: параметр 0 после записи прочитан как 5, записано 4.");
}
