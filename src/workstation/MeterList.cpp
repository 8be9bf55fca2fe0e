#include "MeterList.h"

#include "common/RegularFile.h"

#include "MainTables.h"
#include "PairsBackup.h"
#include "Progress.h"
#include "WindowState.h"
#include "WorkFolders.h"
#include "calibration/CGiGeArray.h"
#include "calibration/GiGeFile.h"
#include "calibration/JournaledParam.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "measurement/CSystem.h"
#include "protocol/connection.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {
// Purge flags: abort pending transfers and clear the input buffer.
constexpr int kPurgeAbortAndClear = 11;

class CBusUse {
public:
    explicit CBusUse(connection& conn) : m_conn(conn)
    {
        m_conn.Open();
        m_conn.Purge(kPurgeAbortAndClear);
    }
    ~CBusUse() { m_conn.Close(); }
    CBusUse(const CBusUse&) = delete;
    CBusUse& operator=(const CBusUse&) = delete;

private:
    connection& m_conn;
};
}

CMeterList::CMeterList(connection& conn, CSystem& system, CMainTables& tables, CWindowState& state,
                       const CWorkFolders& folders, CProgress& progress)
    : m_conn(conn), m_system(system), m_tables(tables), m_state(state), m_folders(folders), m_progress(progress)
{
}

std::string CMeterList::StringGrid1GetEditText(int col, int row)
{
    m_state.EditStartText = m_tables.StringGrid1.Cell(col, row);
    return m_state.EditStartText;
}

void CMeterList::StringGrid1SetEditText(int col, int row, const std::string& text)
{
    m_tables.StringGrid1.SetCell(col, row, text);
    if (text != m_state.EditStartText) {
        m_state.ButtonUpdateInfoEnabled = true;
        m_state.PageChangeAllowed = false;
    }
}

void CMeterList::StringGrid1Exit()
{
    const CTextGrid& grid = m_tables.StringGrid1;
    m_state.EditStartText = grid.Cell(grid.Col(), grid.Row());
}

int CMeterList::ButtonUpdateInfoClick()
{
    int result;
    {
        CBusUse bus(m_conn);
        result = ApplyMeterList();
        if (result == 0) {
            m_state.ButtonUpdateInfoEnabled = false;
            m_state.PageChangeAllowed = true;
            OfferKeptModels();
        }
    }
    if (result != 0)
        return result;
    m_backedUp.clear();
    m_progress.Show();
    for (int row = 1; row <= kMeterSlots; ++row) {
        const uint32_t number = m_tables.MeterNumberOfRow(row);
        if (number != 0)
            BackupPairs(number);
        m_progress.SetProgress(row / 10.0);
    }
    m_progress.Hide();
    return result;
}

int CMeterList::ApplyMeterList()
{
    m_state.ModelsToRestore.clear();
    m_progress.Show();
    int result = 0;
    for (int row = 1; row <= kMeterSlots; ++row) {
        const int slot = row - 1;
        const uint32_t number = m_tables.MeterNumberOfRow(row);
        result = m_system.SetMeter(slot, number);
        m_progress.SetProgress(row / 10.0);
        if (result != 0) {
            ShowAppMessage("Ошибка связи с прибором № " + std::to_string(number));
            break;
        }
        const VQ7_INFO info = m_system.GetMeterInfo(slot);
        // Base model where a former series kept another: it did not end (a crash).
        const int kept = number != 0 && info.m_nParam0 == 0 ? KeptModel(number) : -1;
        if (kept > 0) {
            m_state.ModelsToRestore.push_back({slot, number, kept});
            ShowAppMessage(FormatC("Счетчик № %u содержит базовую модель (0), а его собственная модель, "
                                   "сохраненная в %s, - %d.\nВосстановите её.",
                                   number, m_folders.ModelFile(number).c_str(), kept));
        }
        m_tables.StringGrid1.SetCell(SP_MODEL, row, info.m_sModel);
        m_tables.StringGrid1.SetCell(SP_VERSION, row, info.m_sFullVersion);
        const std::string header = number != 0 ? std::to_string(number) : std::string();
        if (number == 0) {
            m_tables.StringGrid1.SetCell(SP_MODEL, row, "");
            m_tables.StringGrid1.SetCell(SP_VERSION, row, "");
        }
        m_tables.StringGrid2.SetCell(SlotColumn(slot), 1, header);
        m_tables.StringGrid3.SetCell(SlotColumn(slot), 1, header);
    }
    m_progress.Hide();
    return result;
}

bool CMeterList::BackupPairs(uint32_t number)
{
    const PairsBackupOutcome kept = KeepMeterPairs(m_conn, number, m_folders.BackupDir());
    if (!kept.warning.empty())
        ShowAppMessage(kept.warning);
    if (!kept.Kept())
        return false;
    m_backedUp.insert(number);
    return true;
}

int CMeterList::KeptModel(uint32_t number) const
{
    std::string text, why;
    if (!ReadRegularFile(m_folders.ModelFile(number), text, why, 4096))
        return -1;
    std::istringstream in(text);
    long long value = -1;
    if (!(in >> value) || value < 0 || value > 0x7FFFFFFF)
        return -1;
    return static_cast<int>(value);
}

void CMeterList::KeepOwnModels()
{
    for (int slot = 0; slot < kMeterSlots; ++slot) {
        const uint32_t number = m_system.GetMeterNumber(slot);
        if (number == 0)
            continue;
        const int own = m_system.GetMeterInfo(slot).m_nParam0;
        if (own == 0 && KeptModel(number) > 0)
            continue;
        std::string error;
        if (!ReplaceFileContents(m_folders.ModelFile(number), std::to_string(own) + "\n", error))
            ShowAppMessage("Не удалось сохранить модель счетчика № " + std::to_string(number) + ": " + error);
    }
}

int CMeterList::RestoreKeptModel(int slot)
{
    const uint32_t number = m_system.GetMeterNumber(slot);
    const int kept = number != 0 ? KeptModel(number) : -1;
    if (kept < 0)
        return -1;
    int result;
    {
        CBusUse bus(m_conn);
        result = static_cast<int>(WriteParamJournaled(&m_conn, number, m_system.GetMeterInfo(slot).m_sModel, 0,
                                                      std::to_string(kept)));
        if (result == 0)
            result = m_system.SetMeter(slot, number);
    }
    if (result != 0) {
        ShowAppMessage(FormatC("Не удалось восстановить модель счетчика № %u. Ошибка %d", number, result));
        return result;
    }
    auto& list = m_state.ModelsToRestore;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& k) { return k.Number == number; }),
               list.end());
    m_tables.StringGrid1.SetCell(SP_MODEL, slot + 1, m_system.GetMeterInfo(slot).m_sModel);
    return 0;
}

void CMeterList::OfferKeptModels()
{
    if (m_state.ModelsToRestore.empty())
        return;
    std::string numbers;
    for (const auto& k : m_state.ModelsToRestore)
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(k.Number);
    if (Operator().Confirm("Базовая модель (0) вместо сохраненной собственной: счетчик № " + numbers +
                           ".\nЗаписать в них сохраненные модели сейчас?"))
        RestoreKeptModels();
}

int CMeterList::RestoreKeptModels()
{
    int result = 0;
    const auto list = m_state.ModelsToRestore;   // a restored meter leaves the original
    for (const auto& k : list)
        if (const int r = RestoreKeptModel(k.Slot); r != 0)
            result = r;
    return result;
}

int CMeterList::RestoreBackupPairs(uint32_t number)
{
    CBusUse bus(m_conn);
    const int slot = m_system.FindSlot(number);
    const VQ7_INFO info = m_system.GetMeterInfo(slot);
    // The table the restore replaces goes under history/; the backup it writes stays.
    const PairsBackupOutcome kept = KeepMeterPairs(m_conn, number, m_folders.BackupDir(), BackupTarget::HistoryOnly, &info);
    if (!kept.warning.empty())
        ShowAppMessage(kept.warning);
    if (!kept.Kept()) {
        ShowAppMessage(NoBackupText(number));
        return -1;
    }
    CGiGeArray table(info, number);
    table.m_sWriteOperation = "восстановление пар";
    table.m_bPutBack = true;
    return table.LoadFromFileToMeter(&m_conn, m_folders.BackupFile(number));
}

uint32_t CMeterList::PopupMeterNumber() const
{
    const int row = m_tables.StringGrid1.Row();
    if (row <= 0 || row > kMeterSlots)
        return 0;
    return m_system.GetMeterNumber(row - 1);
}

int CMeterList::PopupMenu3RestoreGiGeClick()
{
    const uint32_t number = PopupMeterNumber();
    return number != 0 ? RestoreBackupPairs(number) : 0;
}
