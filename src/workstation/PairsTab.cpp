#include "PairsTab.h"

#include "CellNumbers.h"
#include "MainTables.h"
#include "MeterList.h"
#include "NominalDiameter.h"
#include "PairForming.h"
#include "PairsBackup.h"
#include "Progress.h"
#include "SeriesControl.h"
#include "WindowState.h"
#include "WorkFolders.h"
#include "calibration/CGiGeArray.h"
#include "calibration/ConnectionUse.h"
#include "calibration/GiGeFile.h"
#include "calibration/JournaledParam.h"
#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "measurement/CSystem.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

CPairsTab::CPairsTab(connection& conn, CSystem& system, CMainTables& tables, CWindowState& state,
                     const CWorkFolders& folders, CProgress& progress, CMeterList& meterList)
    : m_conn(conn), m_system(system), m_tables(tables), m_state(state), m_folders(folders), m_progress(progress),
      m_meterList(meterList)
{
}

bool CPairsTab::CreateGiGeClick()
{
    try {
        std::vector<std::string> skipped;
        const bool formed = FormPairs(m_tables.StringGrid2, m_tables.StringGrid4, OccupiedSlotsOf(m_system), &skipped);
        if (!skipped.empty()) {
            std::string text = "Не вошли в градуировочные пары:";
            for (const std::string& line : skipped)
                text += "\n" + line;
            ShowAppMessage(text);
        }
        return formed;
    } catch (const EConvertError& e) {
        Operator().MessageDialog(MsgIcon::Error, e.what());
        return false;
    }
}

int CPairsTab::SaveGiGeToFileClick()
{
    const CTextGrid& pairs = m_tables.StringGrid4;
    if (pairs.RowCount() < 4)
        return 0;
    int written = 0;
    try {
        for (int slot = 0; slot < kMeterSlots; ++slot) {
            const uint32_t number = m_system.GetMeterNumber(slot);
            if (number == 0)
                continue;
            // Written in ascending Gi, the order the file reader demands.
            std::vector<std::pair<double, double>> rows;
            for (int r = 1; r <= pairs.RowCount() - 2; ++r)
                if (!pairs.CellEmpty(SlotColumn(slot), r))
                    rows.emplace_back(CellNumber(pairs, SlotColumn(slot), r), CellNumber(pairs, 0, r));
            std::stable_sort(rows.begin(), rows.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            std::string text = "   \t   Gi    \t   Ge    ";
            for (size_t i = 0; i < rows.size(); ++i)
                text += FormatC("\n %2d\t% 9E\t% 9E", static_cast<int>(i), rows[i].first, rows[i].second);
            const std::string path = m_folders.LogFile(number);
            std::string error;
            if (ReplaceFileContents(path, Utf8ToCp1251(ToCrLf(text)), error))
                ++written;
            else
                ShowAppMessage("Не удалось записать файл " + path + "\n" + error);
        }
    } catch (const EConvertError& e) {
        Operator().MessageDialog(MsgIcon::Error, e.what());
    }
    return written;
}

int CPairsTab::WriteDiameterParams(uint32_t number, int dn)
{
    const NominalDiameterRow* row = FindNominalDiameter(dn);
    if (!row)
        return 0;
    struct Write {
        uint8_t param;
        const char* value;
        const char* switchOff;
    };
    const Write writes[3] = {
        {70, row->A, "Ошибка записи. Выключен внутренний переключатель! Счетчик № "},
        {75, row->A, "Ошибка записи. Выключен внутренний переключатель! Счетчик №"},
        {79, row->B, "Ошибка записи. Выключен внутренний переключатель! Счетчик №"},
    };
    const std::string model = m_system.GetMeterInfo(m_system.FindSlot(number)).m_sModel;
    for (const Write& w : writes) {
        const std::string value = FixDecimalSeparator(w.value);
        std::string read;
        const unsigned result = WriteParamJournaled(&m_conn, number, model, w.param, value, &read);
        if (result == RC_READBACK_MISMATCH) {
            ShowAppMessage(ParamMismatchText(number, w.param, value, read));
            return static_cast<int>(result);
        }
        if (result != 0) {
            ShowAppMessage((result == 240 ? std::string(w.switchOff) : std::string("Ошибка связи! Счетчик № ")) +
                           std::to_string(number));
            return static_cast<int>(result);
        }
    }
    return 0;
}

int CPairsTab::SaveGiGeToDeviceClick()
{
    m_state.ParamsNotWritten.clear();
    m_state.IncompleteWrites.clear();
    if (PairRowCount(m_tables.StringGrid4) < 2) {
        ShowAppMessage("Градуировочные пары не записаны: их должно быть минимум 2.");
        return -1;
    }
    int firstFailure = 0;
    auto fail = [&](int result) {
        if (firstFailure == 0)
            firstFailure = result;
    };
    bool rebootPending = false;
    {
        CConnectionUse use(&m_conn);
        m_progress.Show();
        for (int slot = 0; slot < kMeterSlots; ++slot) {
            m_progress.SetProgress(slot / 9.0);
            const uint32_t number = m_system.GetMeterNumber(slot);
            if (number == 0)
                continue;
            // The pairs the meter holds are kept first; pairs that could not be kept are not overwritten.
            if (!m_meterList.BackupPairs(number)) {
                ShowAppMessage(NoBackupText(number));
                m_state.ParamsNotWritten.push_back(number);
                fail(-1);
                continue;
            }
            std::unique_ptr<CGiGeArray> table = SlotPairs(slot);
            table->m_nRestartWaitMs = m_nRebootWaitMs;
            // The converter is restarted once, below, after its parameters too.
            table->m_bRestartConverter = false;
            const int written = table->WriteToMeter(&m_conn);
            if (table->m_bIncomplete) {
                const std::string backup = m_folders.BackupFile(number);
                m_state.IncompleteWrites.push_back({number, table->m_nPairsWritten, table->GetCount(), backup});
                ShowAppMessage(FormatC("Счетчик № %u содержит неполную градуировочную характеристику: "
                                       "записано %d из %d пар.\nВосстановить её можно из резервной копии ",
                                       number, table->m_nPairsWritten, table->GetCount()) +
                               backup);
            }
            // A meter that took every pair gets its parameters, also when its read-back differed.
            if (written != 0)
                fail(written);
            if (written != 0 && !table->m_bPairsSent) {
                m_state.ParamsNotWritten.push_back(number);
                continue;
            }
            const int params = WriteDiameterParams(number, m_tables.DiameterOfRow(slot + 1));
            if (params != 0) {
                fail(params);
                m_state.ParamsNotWritten.push_back(number);
            }
            // Pairs taken are copied on by the restart, also when the parameters were refused.
            if (table->m_Info.m_sType.rfind("DZW", 0) == 0) {
                const unsigned result = Restart(&m_conn, number);
                if (result == 239) {
                    ShowAppMessage(FormatC("Ошибочный параметр принятой из прибора ответной команды.\n"
                                           "градуировочные пары в cчетчик № #%u не записаны.",
                                           number));
                    fail(239);
                } else if (result != 0) {
                    ShowAppMessage(FormatC("не удалось автоматически перезагрузить cчетчик № #%u\n"
                                           "Вам нужно выключить питание прибора вручную и\n"
                                           "через 3 с снова его включить - это необходимо\n"
                                           "для копирования данных из EEPROM во Flash Data.",
                                           number));
                } else {
                    rebootPending = true;
                }
            }
        }
    }
    if (!m_state.ParamsNotWritten.empty()) {
        std::string numbers;
        for (uint32_t n : m_state.ParamsNotWritten)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
        ShowAppMessage("Настроечные параметры не записаны: счетчик № " + numbers);
    }
    if (rebootPending) {
        ShowNotice("Сейчас произойдет перезагрузка ДЗВ-1П-И2 для выполения\n"
                       "автоматического копирования данных из EEPROM во Flash Data.\n"
                       "Подождите несколько секунд.");
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nRebootWaitMs));
    } else if (firstFailure == 0) {
        // Confirmed only when every meter took its pairs and parameters.
        ShowNotice("Градуировочные пары и настроечные параметры записаны");
    }
    m_progress.Hide();
    if (!m_state.IncompleteWrites.empty()) {
        std::string numbers;
        for (const auto& w : m_state.IncompleteWrites)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(w.Number);
        if (Operator().Confirm("Неполная градуировочная характеристика: счетчик № " + numbers +
                               ".\nВосстановить исходные пары из резервных копий сейчас?"))
            RestoreIncompleteWrites();
    }
    return firstFailure;
}

std::unique_ptr<CGiGeArray> CPairsTab::SlotPairs(int slot)
{
    // Rows where the meter has no value (no result in that group) are left out.
    const CTextGrid& pairs = m_tables.StringGrid4;
    const CTextColumn ge = pairs.ColumnTexts(0), gi = pairs.ColumnTexts(SlotColumn(slot));
    CTextColumn geKept, giKept;
    for (int r = 1; r <= pairs.RowCount() - 2; ++r) {
        const size_t i = static_cast<size_t>(r);
        if (i < gi.size() && i < ge.size() && !gi[i].empty()) {
            geKept.push_back(ge[i]);
            giKept.push_back(gi[i]);
        }
    }
    return std::make_unique<CGiGeArray>(m_system.GetMeterInfo(slot), m_system.GetMeterNumber(slot), 0,
                                        static_cast<int>(giKept.size()), geKept, giKept);
}

int CPairsTab::PopupSlot()
{
    const int col = m_tables.StringGrid4.Col();
    if (col < 1 || col > kMeterSlots)
        return -1;
    return m_system.GetMeterNumber(col - 1) != 0 ? col - 1 : -1;
}

int CPairsTab::PopupMenuRestoreGiGeClick()
{
    const int slot = PopupSlot();
    return slot < 0 ? 0 : m_meterList.RestoreBackupPairs(m_system.GetMeterNumber(slot));
}

int CPairsTab::RestoreIncompleteWrites()
{
    int result = 0;
    auto& list = m_state.IncompleteWrites;
    for (auto it = list.begin(); it != list.end();) {
        const int r = m_meterList.RestoreBackupPairs(it->Number);
        if (r == 0) {
            it = list.erase(it);
        } else {
            result = r;
            ++it;
        }
    }
    return result;
}
