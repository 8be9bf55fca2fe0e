#include "MeterList.h"

#include "MainTables.h"
#include "Progress.h"
#include "WindowState.h"
#include "WorkFolders.h"
#include "calibration/CGiGeArray.h"
#include "common/CommonUtils.h"
#include "measurement/CSystem.h"
#include "protocol/connection.h"

#include <filesystem>
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
        }
    }
    if (result != 0)
        return result;
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
    CGiGeArray table(&m_conn, number);
    if (table.m_nResult != 0)
        return false;
    const std::string path = m_folders.BackupFile(number);
    MakeFolders(m_folders.BackupDir());
    if (table.SaveToFile(path) != 0)
        return false;
    // Every backup also stays under history/, so a later backup of pairs
    // spoilt by a bad write never replaces the last good one for good.
    std::error_code ec;
    const std::string copy = m_folders.NewHistoryFile(number);
    if (!MakeFolders(m_folders.BackupHistoryDir()) ||
        !std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing, ec)) {
        ShowAppMessage("Не удалось сохранить копию резервного файла " + copy);
    }
    return true;
}

int CMeterList::RestoreBackupPairs(uint32_t number)
{
    CBusUse bus(m_conn);
    const int slot = m_system.FindSlot(number);
    CGiGeArray table(m_system.GetMeterInfo(slot), number);
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
