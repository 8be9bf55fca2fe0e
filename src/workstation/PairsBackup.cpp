#include "PairsBackup.h"

#include "WorkFolders.h"
#include "calibration/CGiGeArray.h"
#include "calibration/ConnectionUse.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace {
std::unique_ptr<CGiGeArray> ReadMeterTable(connection& conn, uint32_t number, const VQ7_INFO* info)
{
    if (!info || info->m_sType.empty())
        return std::make_unique<CGiGeArray>(&conn, number);
    auto table = std::make_unique<CGiGeArray>(*info, number);
    table->ReadFromMeter(&conn);
    return table;
}
}

std::string NoBackupText(uint32_t number)
{
    return FormatC("Градуировочные пары в счетчик № %u не записаны: не удалось сохранить резервную копию пар, "
                   "которые он содержит.",
                   number);
}

PairsBackupOutcome KeepMeterPairs(connection& conn, uint32_t number, const std::string& backupDir,
                                  BackupTarget target, const VQ7_INFO* info)
{
    PairsBackupOutcome out;
    CConnectionUse use(&conn);
    std::unique_ptr<CGiGeArray> table = ReadMeterTable(conn, number, info);
    out.result = table->m_nResult;
    out.pairs = table->GetCount();
    if (out.result != 0)
        return out;
    if (out.pairs < 2) {
        out.kept = PairsKept::NothingToKeep;
        return out;
    }
    const std::string backup = BackupFileIn(backupDir, number);
    std::string broken;
    out.incomplete = table->LooksIncomplete(&broken);
    if (out.incomplete || target == BackupTarget::HistoryOnly) {
        out.file = NewHistoryFileIn(backupDir, number);
        if (!MakeFolders(HistoryDirIn(backupDir)) || (out.result = table->SaveToFile(out.file)) != 0) {
            out.result = out.result != 0 ? out.result : -1;
            return out;
        }
        out.kept = PairsKept::HistoryOnly;
        if (out.incomplete && target == BackupTarget::BackupFile)
            out.warning = "Счетчик № " + std::to_string(number) + " содержит неполную градуировочную характеристику (" +
                          broken + ").\nРезервная копия " + backup + " не заменена; пары сохранены в " + out.file;
        return out;
    }
    MakeFolders(backupDir);
    if ((out.result = table->SaveToFile(backup)) != 0)
        return out;
    out.kept = PairsKept::Backup;
    out.file = backup;
    // Every backup also stays under history/, so a later backup of pairs
    // spoilt by a bad write never replaces the last good one for good.
    std::error_code ec;
    const std::string copy = NewHistoryFileIn(backupDir, number);
    if (!MakeFolders(HistoryDirIn(backupDir)) ||
        !std::filesystem::copy_file(backup, copy, std::filesystem::copy_options::overwrite_existing, ec))
        out.warning = "Не удалось сохранить копию резервного файла " + copy;
    return out;
}

int WritePairsAfterBackup(connection& conn, CGiGeArray& table, const std::string& backupDir)
{
    const PairsBackupOutcome kept = KeepMeterPairs(conn, table.m_dwNumber, backupDir, BackupTarget::BackupFile,
                                                   &table.m_Info);
    if (!kept.warning.empty())
        ShowAppMessage(kept.warning);
    if (!kept.Kept()) {
        ShowAppMessage(NoBackupText(table.m_dwNumber));
        return -1;
    }
    return table.WriteToMeter(&conn);
}
