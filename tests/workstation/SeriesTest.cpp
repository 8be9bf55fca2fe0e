// A whole series against the simulated rig on loopback: the meter list with
// its backups, verification, calibration with pairs written into the meters,
// and verification again.
#include "calibration/CGiGeArray.h"
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"
#include "support/RecordingOperator.h"
#include "measurement/CSystem.h"
#include "protocol/connection.h"
#include "sim/Faults.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "support/SimRig.h"
#include "workstation/MeasurementRows.h"
#include "workstation/PairForming.h"
#include "workstation/SeriesRunner.h"
#include "workstation/VerificationError.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Slots 0, 1 and 3 hold meters; slot 2 stays empty.
const uint32_t kMeters[4] = {11000002, 11000004, 0, 11000006};
const char* const kDiameters[4] = {"65", "0", "", "15"};

class Series : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        m_dir = fs::temp_directory_path() / ("vq7ws-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        CWriteJournal::SetPath((m_dir / "journal.csv").string());

        for (const auto& m : CRig::DefaultMeters())
            for (uint32_t n : kMeters)
                if (n != 0 && m.number == n)
                    m_rig.AddMeter(m);
        m_rig.SetIntegrationMs(150);

        m_system = std::make_unique<CSystem>(&m_conn);
        // The operator reads the rig's reference over the cycle just ended.
        m_system->SetReferenceFlowPrompt([this]() -> std::optional<double> {
            if (m_dropNext.exchange(false))
                return std::nullopt;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (m_rig.ReferenceCount() == m_seenReferences && std::chrono::steady_clock::now() < deadline) {
                m_rig.Poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            m_seenReferences = m_rig.ReferenceCount();
            return m_rig.LastReferenceFlow();
        });
        m_ws = std::make_unique<CWorkstation>(m_conn, *m_system);
        m_ws->Folders.SetBaseDir(m_dir.string());
        m_ws->Pairs.m_nRebootWaitMs = 0;
        m_runner = std::make_unique<CSeriesRunner>(*m_ws, *m_system);
        m_runner->m_nTickMs = 20;
        m_runner->m_nCycleTimeoutMs = 10000;
    }

    void TearDown() override
    {
        m_ws.reset();
        m_system.reset();
        m_sim.Stop();
        fs::remove_all(m_dir);
        CWriteJournal::SetPath("");
        ResetDecimalSeparatorFromLocale();
    }

    void TypeMeterList()
    {
        for (int slot = 0; slot < 4; ++slot) {
            const int row = slot + 1;
            m_ws->MeterList.StringGrid1GetEditText(SP_METER, row);
            m_ws->MeterList.StringGrid1SetEditText(SP_METER, row, kMeters[slot] ? std::to_string(kMeters[slot]) : "");
            m_ws->MeterList.StringGrid1GetEditText(SP_DIAMETER, row);
            m_ws->MeterList.StringGrid1SetEditText(SP_DIAMETER, row, kDiameters[slot]);
        }
    }

    // Runs one cycle per flow on the verification tab; returns each slot's largest |error| in per cent.
    std::array<double, 4> Verify(const std::vector<double>& flows)
    {
        EXPECT_TRUE(m_runner->SelectPage(PAGE_VERIFICATION));
        for (double flow : flows) {
            m_rig.SetFlow(flow);
            EXPECT_TRUE(m_runner->RunCycle()) << "flow " << flow;
        }
        const CTextGrid& t = m_ws->Tables.StringGrid3;
        EXPECT_EQ(t.RowCount(), 3 + static_cast<int>(flows.size()));
        std::array<double, 4> worst{};
        for (int row = 2; row < t.RowCount() - 1; ++row) {
            for (int slot = 0; slot < 4; ++slot) {
                if (kMeters[slot] == 0) {
                    EXPECT_TRUE(t.Cell(slot + 1, row).empty());
                    continue;
                }
                const double e = std::fabs(StrToFloat(t.Cell(slot + 1, row)));
                worst[static_cast<size_t>(slot)] = std::max(worst[static_cast<size_t>(slot)], e);
            }
        }
        m_ws->Series.ButtonStopClick();
        return worst;
    }

    fs::path m_dir;
    CRecordingOperator m_operator;
    SimRig m_sim;
    CRig& m_rig = m_sim.Rig();
    connection& m_conn = m_sim.Conn();
    std::unique_ptr<CSystem> m_system;
    std::unique_ptr<CWorkstation> m_ws;
    std::unique_ptr<CSeriesRunner> m_runner;
    unsigned m_seenReferences = 0;
    std::atomic<bool> m_dropNext{false};   // the operator drops the next cycle at the prompt
};

size_t FilesIn(const fs::path& dir)
{
    if (!fs::is_directory(dir))
        return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}
}

TEST_F(Series, MeterListBackupsAndTabLock)
{
    EXPECT_TRUE(m_ws->State.SelectPage(PAGE_CALIBRATION));
    EXPECT_TRUE(m_ws->State.SelectPage(PAGE_SET_POINTS));

    // A character typed and deleted again still counts as an edit.
    m_ws->MeterList.StringGrid1GetEditText(SP_METER, 5);
    m_ws->MeterList.StringGrid1SetEditText(SP_METER, 5, "7");
    m_ws->MeterList.StringGrid1SetEditText(SP_METER, 5, "");
    EXPECT_TRUE(m_ws->State.ButtonUpdateInfoEnabled);
    EXPECT_FALSE(m_ws->State.SelectPage(PAGE_CALIBRATION));
    EXPECT_EQ(m_ws->State.ActivePage, PAGE_SET_POINTS);

    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_FALSE(m_ws->State.ButtonUpdateInfoEnabled);
    EXPECT_TRUE(m_ws->State.PageChangeAllowed);
    EXPECT_EQ(m_ws->Tables.StringGrid1.Cell(SP_MODEL, 2), "ФЖ-7");
    EXPECT_EQ(m_ws->Tables.StringGrid1.Cell(SP_VERSION, 4), "03.07.03");
    EXPECT_EQ(m_ws->Tables.StringGrid2.Cell(4, 1), "11000006");
    EXPECT_EQ(m_ws->Tables.StringGrid3.Cell(1, 1), "11000002");
    EXPECT_TRUE(m_ws->Tables.StringGrid2.Cell(3, 1).empty());
    EXPECT_EQ(m_system->GetMeterNumber(3), 11000006u);

    // Backups of the pairs each meter holds, and a history copy of every one.
    CGiGeArray backup;
    ASSERT_EQ(backup.LoadFromFile((m_dir / "BACKUP/11000004.dat").string()), 0);
    EXPECT_EQ(backup.GetCount(), 5);
    EXPECT_EQ(FilesIn(m_dir / "BACKUP/history"), 3u);
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_EQ(FilesIn(m_dir / "BACKUP/history"), 6u) << "earlier backups are kept";

    // Clearing row 4 empties slot 3 and its headers.
    m_ws->MeterList.StringGrid1GetEditText(SP_METER, 4);
    m_ws->MeterList.StringGrid1SetEditText(SP_METER, 4, "");
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_EQ(m_system->GetMeterNumber(3), 0u);
    EXPECT_TRUE(m_ws->Tables.StringGrid1.Cell(SP_MODEL, 4).empty());
    EXPECT_TRUE(m_ws->Tables.StringGrid3.Cell(4, 1).empty());

    // A meter that does not answer stops the list; the tabs stay locked.
    m_ws->MeterList.StringGrid1GetEditText(SP_METER, 4);
    m_ws->MeterList.StringGrid1SetEditText(SP_METER, 4, "12345");
    m_operator.Clear();
    EXPECT_NE(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_EQ(m_operator.Texts().back(), "Ошибка связи с прибором № 12345");
    EXPECT_FALSE(m_ws->State.PageChangeAllowed);
}

// A cycle dropped at the reference flow prompt adds no row on either tab and
// leaves the series paused; the next cycle counts. Ending the series asks
// while rows are not in a report.
TEST_F(Series, DroppedCycleAddsNoRowAndEndingAsksForUnreportedRows)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    for (int page : {PAGE_CALIBRATION, PAGE_VERIFICATION}) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(m_runner->SelectPage(page));
        const CTextGrid& table = page == PAGE_CALIBRATION ? m_ws->Tables.StringGrid2 : m_ws->Tables.StringGrid3;
        m_rig.SetFlow(8);
        ASSERT_TRUE(m_runner->RunCycle());
        m_dropNext = true;
        EXPECT_FALSE(m_runner->RunCycle());
        EXPECT_EQ(DataRowCount(m_ws->Tables.StringGrid2), page == PAGE_CALIBRATION ? 1 : 0);
        EXPECT_EQ(DataRowCount(m_ws->Tables.StringGrid3), page == PAGE_VERIFICATION ? 1 : 0);
        EXPECT_EQ(m_ws->State.CycleMessage, kCycleDroppedText);
        EXPECT_FALSE(m_ws->State.Timer1Enabled);
        EXPECT_EQ(m_ws->State.StartPauseImage, PICTURE_IDLE);
        EXPECT_TRUE(m_ws->State.ModelSet) << "the series goes on";
        EXPECT_FALSE(m_ws->State.PageChangeAllowed);
        ASSERT_TRUE(m_runner->RunCycle());
        EXPECT_EQ(DataRowCount(table), 2);
        EXPECT_TRUE(m_ws->State.CycleMessage.empty());

        EXPECT_EQ(m_ws->Series.Reported.UnreportedCount(), 2);
        m_operator.Clear();
        m_operator.confirmAnswer = false;
        EXPECT_FALSE(ConfirmSeriesEnd(m_ws->Series.Reported));
        ASSERT_EQ(m_operator.Texts().size(), 1u);
        EXPECT_EQ(m_operator.Texts()[0], SeriesEndQuestion(2));
        m_ws->Series.Reported.MarkReported(page);
        m_operator.Clear();
        EXPECT_TRUE(ConfirmSeriesEnd(m_ws->Series.Reported)) << "every row is in a report";
        EXPECT_TRUE(m_operator.Texts().empty());
        m_ws->Series.ButtonStopClick();
        EXPECT_EQ(m_ws->Series.Reported.UnreportedCount(), 0);
    }
}

TEST_F(Series, StartTwicePausesAndStopRestoresTheModel)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    ASSERT_TRUE(m_runner->SelectPage(PAGE_CALIBRATION));
    m_rig.SetFlow(10);
    m_ws->Series.ButtonStartPauseClick();
    EXPECT_TRUE(m_ws->State.ModelSet);
    EXPECT_EQ(m_rig.Meter(11000004)->ParamByte(0), 0) << "base model during the series";
    EXPECT_FALSE(m_ws->State.SelectPage(PAGE_VERIFICATION));
    m_ws->Series.ButtonStartPauseClick();
    EXPECT_EQ(m_ws->State.StartPauseImage, PICTURE_IDLE);
    EXPECT_FALSE(m_ws->State.Timer1Enabled);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_runner->RunCycle());
    EXPECT_EQ(m_ws->Tables.StringGrid2.RowCount(), 6);
    EXPECT_EQ(m_ws->Series.DrawMeterStatus()[2], MeterStatePicture::None);

    m_ws->Series.ButtonStopClick();
    EXPECT_EQ(m_ws->Tables.StringGrid2.RowCount(), 3);
    EXPECT_FALSE(m_ws->State.ModelSet);
    EXPECT_TRUE(m_ws->State.PageChangeAllowed);
    EXPECT_EQ(m_rig.Meter(11000002)->ParamByte(0), 70) << "own model back";
    EXPECT_EQ(m_rig.Meter(11000006)->ParamByte(0), 131);
}

TEST_F(Series, CalibrationMakesTheErrorsSmaller)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    const std::vector<double> checkFlows{20, 6, 1.5};
    const auto before = Verify(checkFlows);

    ASSERT_TRUE(m_runner->SelectPage(PAGE_CALIBRATION));
    for (double flow : {30.0, 12.0, 4.0, 0.8}) {
        m_rig.SetFlow(flow);
        ASSERT_TRUE(m_runner->RunCycle());
        ASSERT_TRUE(m_runner->RunCycle());
    }
    EXPECT_EQ(DataRowCount(m_ws->Tables.StringGrid2), 8);
    ASSERT_TRUE(m_ws->Pairs.CreateGiGeClick());
    ASSERT_EQ(PairRowCount(m_ws->Tables.StringGrid4), 4);
    EXPECT_TRUE(m_ws->Tables.StringGrid4.Cell(3, 1).empty());
    EXPECT_EQ(m_ws->Pairs.SaveGiGeToFileClick(), 3);
    CGiGeArray exported;
    ASSERT_EQ(exported.LoadFromFile((m_dir / "Log/11000006.dat").string()), 0);
    EXPECT_EQ(exported.GetCount(), 4);

    m_operator.Clear();
    const auto untouched = m_rig.Meter(11000004)->ParamBytes(70);
    ASSERT_EQ(m_ws->Pairs.SaveGiGeToDeviceClick(), 0);
    EXPECT_EQ(m_operator.Texts().back(), "Сейчас произойдет перезагрузка ДЗВ-1П-И2 для выполения\n"
                                         "автоматического копирования данных из EEPROM во Flash Data.\n"
                                         "Подождите несколько секунд.");
    const auto written = m_rig.Meter(11000004)->Pairs();
    const auto formed = m_ws->Pairs.SlotPairs(1);
    ASSERT_EQ(written.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(written[static_cast<size_t>(i)].gi, formed->PairAt(i).Gi);
        EXPECT_EQ(written[static_cast<size_t>(i)].ge, formed->PairAt(i).Ge);
    }
    EXPECT_FLOAT_EQ(m_rig.Meter(11000002)->ParamFloat(70), 100.0f);
    EXPECT_FLOAT_EQ(m_rig.Meter(11000002)->ParamFloat(75), 100.0f);
    EXPECT_FLOAT_EQ(m_rig.Meter(11000002)->ParamFloat(79), 0.015f);
    EXPECT_FLOAT_EQ(m_rig.Meter(11000006)->ParamFloat(70), 2.5f);
    EXPECT_EQ(m_rig.Meter(11000004)->ParamBytes(70), untouched) << "Ду 0 writes no parameters";
    m_ws->Series.ButtonStopClick();

    // A converter restarts after its write; wait until every meter answers again.
    for (uint32_t number : {kMeters[0], kMeters[1], kMeters[3]})
        ASSERT_TRUE(WaitUntil([&] { return !m_rig.Meter(number)->Silent(); }, 10000)) << number;
    const auto after = Verify(checkFlows);
    for (int slot : {0, 1, 3}) {
        const size_t s = static_cast<size_t>(slot);
        std::printf("slot %d: worst error before %.3f %%, after %.3f %%\n", slot, before[s], after[s]);
        EXPECT_LT(after[s], before[s] / 2) << "slot " << slot;
    }

    // The backup taken when the list was applied goes back into the meter.
    ASSERT_EQ(m_ws->MeterList.RestoreBackupPairs(11000004), 0);
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), 5u);

    // Every write of the series is in the journal, each read back as written.
    std::vector<WriteJournalEntry> journal;
    std::string error;
    ASSERT_TRUE(CWriteJournal::Read((m_dir / "journal.csv").string(), 0, journal, error)) << error;
    std::set<std::string> seen;
    for (const auto& e : journal) {
        seen.insert(std::to_string(e.number) + " " + e.operation);
        EXPECT_EQ(e.readback, "совпадает") << e.number << " " << e.operation;
        EXPECT_EQ(e.result, 0) << e.number << " " << e.operation;
    }
    for (const char* write : {"11000002 параметр 0", "11000004 параметр 0", "11000006 параметр 0", "11000002 запись пар",
                              "11000004 запись пар", "11000006 запись пар", "11000002 параметр 70",
                              "11000002 параметр 75", "11000002 параметр 79", "11000006 параметр 79",
                              "11000004 восстановление пар"})
        EXPECT_EQ(seen.count(write), 1u) << write;
    EXPECT_EQ(seen.count("11000004 параметр 70"), 0u);
}

TEST_F(Series, WritingTriesEveryMeterAndNamesWhatWasNotWritten)
{
    TypeMeterList();   // Ду 65, 0 and 15 (a DZW4 converter)
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    CTextGrid& pairs = m_ws->Tables.StringGrid4;
    pairs.SetRowCount(4);
    pairs.SetRowCells(1, {"10", "1.010000E+01", "9.900000E+00", "", "1.030000E+01"});
    pairs.SetRowCells(2, {"1.0000000", "1.020000E+00", "9.800000E-01", "", "1.010000E+00"});

    // The switch refuses parameter 70 of the first meter, the converter's
    // restart is refused: every meter still gets its pairs, the converter its
    // parameters, and the meter without parameters is named.
    m_rig.Meter(11000002)->AddFault({FaultKind::Refuse, 0x0A, 1.0, FAULT_UNLIMITED, 0});
    m_rig.Meter(11000006)->AddFault({FaultKind::Refuse, 0x0D, 1.0, FAULT_UNLIMITED, 0});
    m_operator.Clear();
    EXPECT_NE(m_ws->Pairs.SaveGiGeToDeviceClick(), 0);
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), 2u);
    EXPECT_EQ(m_rig.Meter(11000006)->Pairs().size(), 2u);
    EXPECT_FLOAT_EQ(m_rig.Meter(11000006)->ParamFloat(70), 2.5f) << "written although the restart failed";
    EXPECT_EQ(m_ws->State.ParamsNotWritten, std::vector<uint32_t>{11000002});
    EXPECT_EQ(m_operator.Texts().front(), "Ошибка записи. Выключен внутренний переключатель! Счетчик № 11000002");
    EXPECT_EQ(m_operator.Texts().back(), "Настроечные параметры не записаны: счетчик № 11000002");
    m_rig.Meter(11000002)->ClearFaults();
    m_rig.Meter(11000006)->ClearFaults();

    // A write that stops after the count leaves the meter incomplete: said so,
    // with the backup that restores it.
    m_rig.Meter(11000004)->SetPairs({{1e30f, 1e30f}, {1e30f, 1e30f}});   // pair slots never written
    m_rig.Meter(11000004)->AddFault({FaultKind::Refuse, 0x2A, 1.0, FAULT_UNLIMITED, 0});
    m_operator.Clear();
    EXPECT_NE(m_ws->Pairs.SaveGiGeToDeviceClick(), 0);
    ASSERT_EQ(m_ws->State.IncompleteWrites.size(), 1u);
    const auto& broken = m_ws->State.IncompleteWrites[0];
    EXPECT_EQ(broken.Number, 11000004u);
    EXPECT_EQ(broken.PairsWritten, 0);
    EXPECT_EQ(broken.PairsTotal, 2);
    EXPECT_EQ(broken.BackupFile, (m_dir / "BACKUP/11000004.dat").string());
    bool said = false;
    for (const auto& t : m_operator.Texts())
        said = said || (t.find("записано 0 из 2 пар") != std::string::npos && t.find(broken.BackupFile) != std::string::npos);
    EXPECT_TRUE(said);
    m_rig.Meter(11000004)->ClearFaults();
    // Its table now reads as incomplete: a new backup keeps the good one.
    const auto good = fs::last_write_time(m_dir / "BACKUP/11000004.dat");
    CGiGeArray held(&m_conn, 11000004);
    EXPECT_TRUE(held.LooksIncomplete());
    EXPECT_TRUE(m_ws->MeterList.BackupPairs(11000004));
    EXPECT_EQ(fs::last_write_time(m_dir / "BACKUP/11000004.dat"), good);
    ASSERT_EQ(m_ws->MeterList.RestoreBackupPairs(11000004), 0);
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), 5u);

    // The operator asked takes the offer: the backup goes back at once.
    // Every attempt at the first pair is refused.
    m_rig.Meter(11000004)->AddFault({FaultKind::Refuse, 0x2A, 1.0, 5, 0});
    m_operator.Clear();
    m_operator.confirmAnswer = true;
    EXPECT_NE(m_ws->Pairs.SaveGiGeToDeviceClick(), 0);
    const auto messages = m_operator.Messages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const RecordedMessage& m) {
        return m.kind == RecordedMessage::Question && m.text.find("11000004") != std::string::npos;
    }));
    EXPECT_TRUE(m_ws->State.IncompleteWrites.empty());
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), 5u);
    m_operator.confirmAnswer = false;

    // Fewer than two pairs write nothing.
    pairs.SetRowCount(3);
    m_operator.Clear();
    EXPECT_EQ(m_ws->Pairs.SaveGiGeToDeviceClick(), -1);
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), 5u);
}

// The pairs table as the operator may leave it: every meter refuses what no
// meter can have, names itself, the pair and the rule, and keeps its pairs.
TEST_F(Series, TheWindowsWriteRefusesPairsNoMeterCanHave)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    struct Case {
        const char* name;
        std::vector<std::string> row1, row2;
        const char* rule;
    };
    const Case cases[] = {
        {"Ge 0", {"10", "1.0E+01", "9.9E+00", "", "1.0E+01"}, {"0", "1.0E+00", "9.8E-01", "", "1.0E+00"}, "Ge равен 0"},
        {"Gi 0", {"10", "1.0E+01", "9.9E+00", "", "1.0E+01"}, {"1", "0", "0", "", "0"}, "Gi равен 0"},
        {"signs", {"10", "1.0E+01", "9.9E+00", "", "1.0E+01"}, {"1", "-1", "-1", "", "-1"}, "Gi и Ge разных знаков"},
        {"one Gi", {"10", "1.0E+01", "1.0E+01", "", "1.0E+01"}, {"9", "1.0E+01", "1.0E+01", "", "1.0E+01"},
         "Gi тот же, что в паре 1"},
        {"empty mark", {"1e30", "1e30", "1e30", "", "1e30"}, {"1", "1", "1", "", "1"}, "не меньше 1e+29"},
    };
    CTextGrid& pairs = m_ws->Tables.StringGrid4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<uint32_t, std::vector<SimPair>> before;
        for (uint32_t n : kMeters)
            if (n != 0)
                before[n] = m_rig.Meter(n)->Pairs();
        pairs.SetRowCount(4);
        pairs.SetRowCells(1, c.row1);
        pairs.SetRowCells(2, c.row2);
        m_operator.Clear();
        EXPECT_NE(m_ws->Pairs.SaveGiGeToDeviceClick(), 0);
        for (const auto& [number, held] : before) {
            const std::string meter = "Счетчик № " + std::to_string(number);
            const auto texts = m_operator.Texts();
            EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
                return t.find(meter) != std::string::npos && t.find(c.rule) != std::string::npos &&
                       t.find("пара ") != std::string::npos;
            })) << meter;
            const auto now = m_rig.Meter(number)->Pairs();
            ASSERT_EQ(now.size(), held.size());
            for (size_t i = 0; i < now.size(); ++i) {
                EXPECT_EQ(now[i].gi, held[i].gi);
                EXPECT_EQ(now[i].ge, held[i].ge);
            }
        }
        EXPECT_EQ(m_ws->State.ParamsNotWritten.size(), 3u) << "nor their parameters";
    }
}

TEST_F(Series, NoWriteIntoAMeterWhosePairsCouldNotBeSaved)
{
    // The backup folder cannot be made: a file holds its name.
    { std::ofstream(m_dir / "BACKUP") << "x"; }
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_FALSE(m_ws->MeterList.HasPairsCopy(11000004));
    m_rig.Meter(11000002)->ClearPairs();   // nothing to lose: written without a copy
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_TRUE(m_ws->MeterList.HasPairsCopy(11000002));

    CTextGrid& pairs = m_ws->Tables.StringGrid4;
    pairs.SetRowCount(4);
    pairs.SetRowCells(1, {"10", "1.010000E+01", "9.900000E+00", "", "1.030000E+01"});
    pairs.SetRowCells(2, {"1.0000000", "1.020000E+00", "9.800000E-01", "", "1.010000E+00"});
    const auto held = m_rig.Meter(11000004)->Pairs();
    EXPECT_EQ(m_ws->Pairs.SaveGiGeToDeviceClick(), -1);
    EXPECT_EQ(m_rig.Meter(11000004)->Pairs().size(), held.size());
    EXPECT_EQ(m_rig.Meter(11000002)->Pairs().size(), 2u);
    EXPECT_EQ(m_ws->State.ParamsNotWritten, (std::vector<uint32_t>{11000004, 11000006}));
}

TEST_F(Series, ARowLeavesTheMetersWithoutResultsEmptyAndNamesThem)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    ASSERT_TRUE(m_runner->SelectPage(PAGE_CALIBRATION));
    m_rig.SetFlow(10);
    ASSERT_TRUE(m_runner->RunCycle());
    m_rig.Meter(11000004)->AddFault({FaultKind::Refuse, 0x7E, 1.0, FAULT_UNLIMITED, 0});
    m_operator.Clear();
    ASSERT_TRUE(m_runner->RunCycle());
    const CTextGrid& t = m_ws->Tables.StringGrid2;
    EXPECT_FALSE(t.Cell(1, 3).empty());
    EXPECT_TRUE(t.Cell(2, 3).empty()) << "not the previous cycle's value";
    EXPECT_FALSE(t.Cell(4, 3).empty());
    EXPECT_TRUE(m_ws->State.SlotResultMissing[1]);
    EXPECT_FALSE(m_ws->State.SlotResultMissing[0]);
    ASSERT_FALSE(m_operator.Texts().empty());
    EXPECT_NE(m_operator.Texts().back().find("11000004"), std::string::npos);

    // The same on the verification tab, whose error is taken from Gv (the
    // meter's pairs make it differ from Gi).
    m_ws->Series.ButtonStopClick();
    ASSERT_TRUE(m_runner->SelectPage(PAGE_VERIFICATION));
    ASSERT_TRUE(m_runner->RunCycle());
    EXPECT_TRUE(m_ws->Tables.StringGrid3.Cell(2, 2).empty());
    float gi = 0, gv = 0;
    m_system->GetCycleResult(0, &gi, &gv);
    EXPECT_GT(std::fabs(gi / gv - 1), 0.02);
    const float ge = static_cast<float>(m_system->GetCycleGe());
    EXPECT_EQ(m_ws->Tables.StringGrid3.Cell(1, 2), VerificationErrorText(ge, gv));
    m_ws->Series.ButtonStopClick();
}

TEST_F(Series, OwnModelsAreKeptOnDiskAndAFailedRestoreIsRetried)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    ASSERT_TRUE(m_runner->SelectPage(PAGE_CALIBRATION));
    m_rig.Meter(11000004)->AddFault({FaultKind::Refuse, 0x0A, 1.0, FAULT_UNLIMITED, 0});
    m_ws->Series.ButtonStartPauseClick();
    m_ws->Series.ButtonStartPauseClick();
    EXPECT_EQ(m_ws->MeterList.KeptModel(11000002), 70);
    EXPECT_EQ(m_ws->MeterList.KeptModel(11000006), 131);
    EXPECT_EQ(m_rig.Meter(11000006)->ParamByte(0), 0) << "the meter after the failed one is set too";
    EXPECT_NE(m_operator.Texts().back().find("11000004"), std::string::npos);
    EXPECT_EQ(m_ws->State.SlotOnBaseModel, (std::array<bool, 10>{true, false, false, true}));

    // A restore that fails is named and retried by the next stop.
    m_rig.Meter(11000004)->ClearFaults();
    m_rig.Meter(11000006)->AddFault({FaultKind::Refuse, 0x0A, 1.0, FAULT_UNLIMITED, 0});
    m_ws->Series.ButtonStopClick();
    EXPECT_NE(m_operator.Texts().back().find("11000006"), std::string::npos);
    EXPECT_EQ(m_rig.Meter(11000002)->ParamByte(0), 70);
    EXPECT_TRUE(m_ws->State.SlotOnBaseModel[3]);
    m_rig.Meter(11000006)->ClearFaults();
    m_ws->Series.ButtonStopClick();
    EXPECT_EQ(m_rig.Meter(11000006)->ParamByte(0), 131);
    EXPECT_FALSE(m_ws->State.SlotOnBaseModel[3]);

    // After a crash during a series the meter reads the base model: the kept
    // one is offered; declined, it stays listed and is written back later.
    ASSERT_EQ(m_system->SetBaseModel(0), 0);
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_EQ(m_operator.Messages().back().kind, RecordedMessage::Question);
    EXPECT_EQ(m_rig.Meter(11000002)->ParamByte(0), 0);
    ASSERT_EQ(m_ws->State.ModelsToRestore.size(), 1u);
    EXPECT_EQ(m_ws->State.ModelsToRestore[0].KeptValue, 70);
    m_ws->Series.ButtonStartPauseClick();   // a new series keeps 70, not the 0 read
    m_ws->Series.ButtonStartPauseClick();
    m_ws->Series.ButtonStopClick();
    EXPECT_EQ(m_ws->MeterList.KeptModel(11000002), 70);
    ASSERT_EQ(m_ws->MeterList.RestoreKeptModel(0), 0);
    EXPECT_EQ(m_rig.Meter(11000002)->ParamByte(0), 70);
    EXPECT_EQ(m_system->GetMeterInfo(0).m_nParam0, 70);
    EXPECT_TRUE(m_ws->State.ModelsToRestore.empty());

    // Accepted, every meter listed is written back at once.
    m_operator.confirmAnswer = true;
    ASSERT_EQ(m_system->SetBaseModel(0), 0);
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    EXPECT_EQ(m_rig.Meter(11000002)->ParamByte(0), 70);
    EXPECT_EQ(m_rig.Meter(11000006)->ParamByte(0), 131);
    EXPECT_TRUE(m_ws->State.ModelsToRestore.empty());
}

TEST_F(Series, ExportFilesByteExactAndTheCurrentValuesRows)
{
    TypeMeterList();
    ASSERT_EQ(m_ws->MeterList.ButtonUpdateInfoClick(), 0);
    CTextGrid& pairs = m_ws->Tables.StringGrid4;
    pairs.SetRowCount(4);
    pairs.SetRowCells(1, {"10", "1.010000E+01", "9.900000E+00", "", "1.030000E+01"});
    pairs.SetRowCells(2, {"1.0000000", "1.020000E+00", "", "", "1.010000E+00"});
    EXPECT_EQ(m_ws->Pairs.SaveGiGeToFileClick(), 3);
    // Windows-1251 (ASCII here), CR LF, ascending Gi; the empty cell of slot 1 is left out.
    std::ifstream in(m_dir / "Log/11000002.dat", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "   \t   Gi    \t   Ge    \r\n"
                     "  0\t 1.020000E+00\t 1.000000E+00\r\n"
                     "  1\t 1.010000E+01\t 1.000000E+01");
    std::ifstream one(m_dir / "Log/11000004.dat", std::ios::binary);
    const std::string oneBytes((std::istreambuf_iterator<char>(one)), std::istreambuf_iterator<char>());
    EXPECT_EQ(oneBytes, "   \t   Gi    \t   Ge    \r\n  0\t 9.900000E+00\t 1.000000E+01");

    // The timer fills the current values of the active tab; a pause clears them.
    ASSERT_TRUE(m_runner->SelectPage(PAGE_CALIBRATION));
    m_rig.SetIntegrationMs(60000);
    m_rig.SetFlow(10);
    m_ws->Series.ButtonStartPauseClick();
    ASSERT_TRUE(WaitUntil([&] { return m_system->GetCurrentGi(3) != 0; }, 10000));
    m_ws->Series.Timer1Timer();
    const CTextGrid& current = m_ws->Tables.StringGrid5;
    EXPECT_EQ(current.Cell(0, 0), "Gi тек.");
    EXPECT_NEAR(StrToFloat(current.Cell(4, 0)), 10.0, 2.0);
    EXPECT_FALSE(current.Cell(1, 0).empty());
    EXPECT_TRUE(current.Cell(3, 0).empty()) << "empty slot";
    EXPECT_TRUE(m_ws->Tables.StringGrid6.Cell(1, 0).empty()) << "the other tab's row";
    m_ws->Series.ButtonStartPauseClick();
    for (int c = 1; c <= 10; ++c)
        EXPECT_TRUE(current.Cell(c, 0).empty()) << c;
    EXPECT_EQ(current.Cell(0, 0), "Gi тек.");
    m_ws->Series.ButtonStopClick();
}
