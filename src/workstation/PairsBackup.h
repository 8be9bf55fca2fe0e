#pragma once
// The backup of a meter's calibration pairs, taken before anything is written
// into it, by every program and window that writes pairs. A whole table
// replaces DIR/%08u.dat and stays as a time-stamped copy under DIR/history/;
// a table an interrupted write left behind goes only under history/, so it
// never replaces a good backup; fewer than two pairs leave nothing to lose.
#include <cstdint>
#include <string>

class connection;
class CGiGeArray;
struct VQ7_INFO;

enum class PairsKept {
    Backup,          // DIR/%08u.dat, and a copy under DIR/history/
    HistoryOnly,     // only under DIR/history/
    NothingToKeep,   // the meter holds fewer than two pairs
    Failed,          // not read or not saved: nothing may be written into the meter
};

struct PairsBackupOutcome {
    PairsKept kept = PairsKept::Failed;
    int result = 0;         // of the read or the save
    int pairs = 0;          // pairs the meter holds
    bool incomplete = false;
    std::string file;       // where the pairs went
    std::string warning;    // for the operator: an incomplete table, a copy not made
    bool Kept() const { return kept != PairsKept::Failed; }
};

// Where a restore puts the meter's table: DIR/%08u.dat is the file it writes
// back, so the table it replaces goes under history/ only.
enum class BackupTarget { BackupFile, HistoryOnly };

// Reads the meter's pairs and keeps them under backupDir. info: the meter's
// identification when known; without it (or with an empty type) the meter is
// identified first.
PairsBackupOutcome KeepMeterPairs(connection& conn, uint32_t number, const std::string& backupDir,
                                  BackupTarget target = BackupTarget::BackupFile, const VQ7_INFO* info = nullptr);

// The message of a write refused because the meter's pairs could not be kept.
std::string NoBackupText(uint32_t number);

// KeepMeterPairs, then the table's write; a meter whose pairs could not be
// kept is not written (the message is shown, -1). Returns the write's result.
int WritePairsAfterBackup(connection& conn, CGiGeArray& table, const std::string& backupDir);
