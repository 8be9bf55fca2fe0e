#pragma once
// One certificate per meter instead of one protocol for the rig: each made
// from the tables with that meter alone (its row of the set points, its
// column of the verification) and its own judgement, into FILE-NUMBER.docx.
#include "Certificate.h"

#include <cstdint>
#include <string>
#include <vector>

class CMainTables;

struct MeterCertificateFile {
    uint32_t number = 0;
    std::string path;
    std::string certificate;             // its number
    std::vector<std::string> warnings;   // what did not fit
};

// "DIR/Поверка-11000002.docx" of "DIR/Поверка.docx".
std::string PerMeterPath(const std::string& path, uint32_t number);

// The tables with only the meter of slot (0-based) left, moved to the first
// row of the set points and the first meter column of the verification.
CMainTables TablesOfMeter(const CMainTables& tables, int slot);

// A certificate per judged meter, numbered content.number + "-" + its number.
// Throws EReportError; then none of the files is left.
std::vector<MeterCertificateFile> WriteMeterCertificates(const CMainTables& tables, const CertificateContent& content,
                                                         const std::string& templatePath, const std::string& outPath,
                                                         const std::string& dateTime);
