#pragma once
// The verification certificate in the protocol: its number, the reference,
// the profile and rule of each meter, the water temperature, every point with
// its flow, error, uncertainty budget, limit and verdict (table 3), and each
// meter's verdict. A template without these bookmarks or table 3 still gives
// the protocol; what found no place is listed.
#include <ctime>
#include <string>
#include <vector>

class CDocxDocument;
class CMainTables;
struct MeterJudgement;
struct ReferenceInstrument;

constexpr const char* kCertificateNumberBookmark = "Номер_Протокола";
constexpr const char* kReferenceBookmark = "Эталон";
constexpr const char* kProfileBookmark = "Профиль";
constexpr const char* kRuleBookmark = "Правило";
constexpr const char* kConditionsBookmark = "Условия";
constexpr const char* kVerdictBookmark = "Заключение";
// Table 3: header row, then one row per point from row 2 on.
constexpr int kPointsTable = 3;
constexpr int kPointsColumns = 11;

struct CertificateContent {
    std::string number;   // unique protocol number
    const std::vector<MeterJudgement>& meters;
    const ReferenceInstrument& reference;
    // The same meters verified before their calibration (as found), when the
    // store links such a series: its verdicts and points beside these (as left).
    const std::vector<MeterJudgement>* asFound = nullptr;
    long long asFoundSeries = 0, asLeftSeries = 0;   // store ids, 0 unknown
};

// "ВЯ7-20261210-114512-0042": the time and the process, unique on the station.
std::string CertificateNumber(std::time_t when, long process);

// Fills the certificate's bookmarks and table 3; returns what did not fit.
std::vector<std::string> FillCertificate(CDocxDocument& doc, const CertificateContent& content);

// The protocol of the verification (as WriteProtocolReport) with the
// certificate; returns what did not fit. Throws EReportError.
std::vector<std::string> WriteVerificationCertificate(const CMainTables& tables, const CertificateContent& content,
                                                      const std::string& templatePath, const std::string& outPath,
                                                      const std::string& dateTime);
