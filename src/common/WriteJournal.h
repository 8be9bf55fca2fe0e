#pragma once
// journal.csv: one line for every write into a meter, appended with a single
// write(2) on an O_APPEND descriptor under an flock. A line cut by a kill is
// never read and is dropped by the next append, so a line is whole or absent.
// ';'-separated UTF-8 with a header line.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSettingsFile;

struct WriteJournalEntry {
    std::string time;        // "YYYY-MM-DD HH:MM:SS", local; Append fills it when empty
    uint32_t number = 0;
    std::string model;
    std::string operation;   // "запись пар", "восстановление пар", "параметр 70", ...
    std::string before;      // values the meter held (empty when not read)
    std::string after;       // values written
    std::string readback;    // verdict of the read-back
    long long result = 0;    // result code of the write
};

class CWriteJournal {
public:
    static const char* Header();
    // One line with its line end; ';', CR and LF inside a field become ',' and ' '.
    static std::string FormatLine(const WriteJournalEntry& entry);
    // False for the header and for lines that are not journal lines.
    static bool ParseLine(const std::string& line, WriteJournalEntry& entry);

    // Appends one entry to path; the header goes in front when the file is empty.
    static bool AppendTo(const std::string& path, const WriteJournalEntry& entry, std::string& error);
    // Appends to Path(); a failure is an error to the operator and in the debug
    // output. True when the line was written.
    static bool Append(WriteJournalEntry entry);
    // Whether a line can go in: the file opens for append (made when missing, nothing
    // written) and is a regular file. Checked before every write into a meter; false
    // with error naming the file.
    static bool CanAppendTo(const std::string& path, std::string& error);
    static bool CanAppend(std::string& error) { return CanAppendTo(Path(), error); }
    // The entries of a journal file; number 0 takes every meter.
    static bool Read(const std::string& path, uint32_t number, std::vector<WriteJournalEntry>& entries,
                     std::string& error);

    // DataDir()/journal.csv unless set; an empty path restores the default.
    static std::string Path();
    static void SetPath(const std::string& path);
    // Read-back after writes: [JOURNAL] readback of config.ini (on unless 0);
    // the data folder's config.ini is read on first use unless loaded or set.
    static bool ReadBackEnabled();
    static void SetReadBack(bool enabled);
    static void LoadSettings(const std::string& iniPath);
    static void LoadSettings(CSettingsFile& file);   // a wrong value is an error in file
    // A second home for every appended entry (the results store); empty: none.
    static void SetRecordSink(std::function<void(const WriteJournalEntry&)> sink);
};

// The local time as the journal (and the results store) writes it: "YYYY-MM-DD HH:MM:SS".
std::string JournalTimeNow();

// Pair values as the journal shows them: "Gi/Ge" with '.' and nine digits, space separated.
std::string JournalPairsText(const std::vector<std::pair<float, float>>& pairs);
