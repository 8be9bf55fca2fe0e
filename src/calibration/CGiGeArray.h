#pragma once
// The calibration characteristic of one meter: pairs (Gi, Ge) in ascending Gi,
// with the meter's number and information, its files and its transfer to and
// from the meter. Messages go to the operator on the GUI thread.
#include "calibration/GiGeText.h"
#include "common/OperatorInterface.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class connection;

// One calibration pair, m³/h.
struct GiGePair {
    float Gi;   // flow indicated by the meter
    float Ge;   // reference flow of the rig
};

// Operation bits of RunOperations; they run in the order read, save, load, write.
enum : int {
    GIGE_OP_READ_METER = 1,
    GIGE_OP_WRITE_METER = 2,
    GIGE_OP_LOAD_FILE = 4,
    GIGE_OP_SAVE_FILE = 8,
};

// A line of a file that looked like a pair and was not one.
struct GiGeSkippedLine {
    int line;          // from 1
    std::string why;   // what the line lacks
    bool operator==(const GiGeSkippedLine&) const = default;
};

// Files hold at most this many pairs; the meter's one-byte count at most this many.
constexpr int GIGE_FILE_MAX_PAIRS = 50;
constexpr int GIGE_METER_MAX_PAIRS = 254;

class CGiGeArray {
public:
    CGiGeArray();
    CGiGeArray(const VQ7_INFO& info, uint32_t number);
    // Identifies the meter and reads its pairs; the outcome is in m_nResult.
    CGiGeArray(connection* conn, uint32_t number);
    CGiGeArray(const CGiGeArray& other);
    // Pairs from lines firstRow .. firstRow+count-1 of two text columns; any
    // text that is no number leaves the table empty.
    CGiGeArray(const VQ7_INFO& info, uint32_t number, int firstRow, int count, const CTextColumn& geTexts,
               const CTextColumn& giTexts);
    virtual ~CGiGeArray();
    CGiGeArray& operator=(const CGiGeArray&) = delete;

    int GetCount() const { return m_nCount; }
    void Clear();
    void AddPair(float gi, float ge);
    // Texts in the operator's decimal separator; an empty text reads as 0.
    void AddPairFromText(const std::string& gi, const std::string& ge);
    void DeletePair(int index);
    // Throw std::invalid_argument outside 0 .. GetCount()-1.
    GiGePair& PairAt(int index);
    void GetPair(int index, float& gi, float& ge) const;
    void Assign(const CGiGeArray& other);
    void SetInfo(const VQ7_INFO& info, uint32_t number);
    void SortByGi(bool ascending = true);

    // Replaces lines firstRow + i with the display texts of pair i (columns grow as needed).
    void FillStrings(int firstRow, CTextColumn& geTexts, CTextColumn& giTexts);
    // Appends one item per pair: caption i+1, sub-items Ge and Gi.
    void FillListItems(CListItems& items);
    // Display text of a pair value: "%.6e" in the operator's decimal separator.
    static std::string PairValueText(float value);

    int RunOperations(int mask);

    // Files; an empty path is the default under the program's Log folder.
    int LoadFromFile(const std::string& path);
    int SaveToFile(const std::string& path);
    // Meter transfer.
    int ReadFromMeter(connection* conn);
    int WriteToMeter(connection* conn);
    int LoadFromFileToMeter(connection* conn, const std::string& path);

    int ReportError(const std::string& text);
    int ReportWarning(const std::string& text);
    int ReportInfo(const std::string& text);

    // A table as an interrupted write leaves it: a value of 1e+30 or more (a
    // pair slot never written) or Gi decreasing. why names the first such pair.
    bool LooksIncomplete(std::string* why = nullptr) const;

    // The table's lock, for callers that change several pairs as one step.
    std::recursive_mutex& Lock() { return m_csLock; }

    VQ7_INFO m_Info;
    uint32_t m_dwNumber = 0;
    int m_nResult = 0;              // 0, -1 (the table's own failure) or a transaction result
    std::string m_sFileName;
    connection* m_pConnection = nullptr;   // not owned
    int m_nDlgResult = 0;
    std::string m_sMessage;
    // Wait after the restart information of a converter, ms.
    unsigned m_nRestartWaitMs = 5000;
    // A converter (DZW3, DZW4) is restarted after its pairs; off for a caller
    // that writes more and restarts it once itself.
    bool m_bRestartConverter = true;
    // Outcome of the last meter write: every pair was sent (the converter's
    // restart is reported apart), or the write stopped after the meter's count
    // may have changed, leaving it m_nPairsWritten of GetCount() new pairs.
    bool m_bPairsSent = false;
    bool m_bIncomplete = false;
    int m_nPairsWritten = 0;
    // Operation named in the write journal, and the read-back verdict of the last write.
    std::string m_sWriteOperation = "запись пар";
    std::string m_sReadBack;
    // Outcome of the last file load: pairs past GIGE_FILE_MAX_PAIRS left out,
    // the lines that looked like pairs but were not, and the file read (the
    // ".dar" beside a missing ".dat"). Pairs that came so are not written into
    // a meter unless m_bForce; Clear forgets the load.
    int m_nDroppedPairs = 0;
    std::vector<GiGeSkippedLine> m_vSkippedLines;
    std::string m_sFileRead;
    bool m_bForce = false;
    // Restoring what a meter held: pairs a meter can hold are written as they
    // are, a broken rule of the characteristic only warned of.
    bool m_bPutBack = false;

private:
    void ReadMeterBody();
    void WriteMeterBody();
    void SendPairs(bool readBack);
    // Pairs as the meter holds them: count pairs, or as many as it reports when count < 0.
    unsigned ReadMeterValues(int count, std::vector<std::pair<float, float>>& values);
    std::string MeterValuesText();   // for the journal
    std::vector<std::pair<float, float>> Values() const;
    // Compares the meter's pairs with the table bit for bit; false (reported) when they differ.
    bool CheckReadBack(bool countRefused);
    // warnLosses: the lines and pairs a load leaves out are reported here
    // (else by the write that refuses them).
    void LoadFileBody(bool warnLosses);
    std::string FileLossText() const;
    void ForgetFileLoad();
    // False (reported) when the table must not go into the meter.
    bool MayWrite();
    void SaveFileBody();
    bool ReadPairLines(std::FILE* file);
    int Report(MsgIcon icon, const std::string& text);
    std::string MeterText() const;   // "Счетчик № " and the number
    std::string IncompleteText() const;
    std::string DefaultPath(const char* extension) const;
    bool IsTransferless() const;   // a heat meter without pair transfer
    void SetPairs(std::unique_ptr<GiGePair[]> pairs, int count);
    // Takes the information, number and pairs of other (the caller holds the locks).
    void CopyFrom(const CGiGeArray& other);

    int m_nCount = 0;
    std::unique_ptr<GiGePair[]> m_pPairs;   // exactly m_nCount elements
    mutable std::recursive_mutex m_csLock;
};
