#include "WorkFolders.h"

#include "common/AppPaths.h"
#include "common/NumberText.h"

#include <ctime>
#include <filesystem>
#include <system_error>

CWorkFolders::CWorkFolders() : m_sBase(DataDir()) {}

namespace {
std::string Join(const std::string& dir, const std::string& name)
{
    if (dir.empty())
        return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}
}

std::string CWorkFolders::LogDir() const { return Join(m_sBase, "Log"); }
std::string CWorkFolders::BackupDir() const { return Join(m_sBase, "BACKUP"); }
std::string CWorkFolders::BackupHistoryDir() const { return HistoryDirIn(BackupDir()); }

std::string CWorkFolders::LogFile(uint32_t number) const
{
    return Join(LogDir(), FormatC("%08u.dat", number));
}

std::string CWorkFolders::BackupFile(uint32_t number) const { return BackupFileIn(BackupDir(), number); }

std::string CWorkFolders::ModelFile(uint32_t number) const
{
    return Join(BackupDir(), FormatC("%08u.model", number));
}

std::string CWorkFolders::NewHistoryFile(uint32_t number) const { return NewHistoryFileIn(BackupDir(), number); }

std::string BackupFileIn(const std::string& backupDir, uint32_t number)
{
    return Join(backupDir, FormatC("%08u.dat", number));
}

std::string HistoryDirIn(const std::string& backupDir) { return Join(backupDir, "history"); }

std::string NewHistoryFileIn(const std::string& backupDir, uint32_t number)
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const std::string stem = FormatC("%08u-%04d%02d%02d-%02d%02d%02d", number, tm.tm_year + 1900, tm.tm_mon + 1,
                                     tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    const std::string dir = HistoryDirIn(backupDir);
    std::error_code ec;
    std::string path = Join(dir, stem + ".dat");
    for (int n = 2; std::filesystem::exists(path, ec); ++n)
        path = Join(dir, stem + FormatC("-%d.dat", n));
    return path;
}

bool MakeFolders(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}
