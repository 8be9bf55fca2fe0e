#pragma once
// Where the workstation keeps its files: Log/ and BACKUP/ under a base folder,
// the data folder (DataDir) unless set otherwise.
#include <cstdint>
#include <string>

class CWorkFolders {
public:
    CWorkFolders();
    explicit CWorkFolders(std::string baseDir) : m_sBase(std::move(baseDir)) {}

    const std::string& BaseDir() const { return m_sBase; }
    void SetBaseDir(const std::string& dir) { m_sBase = dir; }

    std::string LogDir() const;
    std::string BackupDir() const;
    std::string BackupHistoryDir() const;
    // Log/%08u.dat: the pairs formed on the rig.
    std::string LogFile(uint32_t number) const;
    // BACKUP/%08u.dat: the pairs last read out of the meter.
    std::string BackupFile(uint32_t number) const;
    // The meter's own model (parameter 0) kept while a series sets the base model.
    std::string ModelFile(uint32_t number) const;
    // BACKUP/history/%08u-YYYYMMDD-HHMMSS[-n].dat, a name not yet taken.
    std::string NewHistoryFile(uint32_t number) const;

private:
    std::string m_sBase;
};

// The same names in a backup folder of its own (vq7ctl --dir).
std::string BackupFileIn(const std::string& backupDir, uint32_t number);
std::string HistoryDirIn(const std::string& backupDir);
std::string NewHistoryFileIn(const std::string& backupDir, uint32_t number);

// Creates the folder and its parents; false when it does not exist afterwards.
bool MakeFolders(const std::string& dir);
