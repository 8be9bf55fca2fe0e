#pragma once
// The tables of the work as CSV for a spreadsheet: ';'-separated, UTF-8 with a
// byte order mark, CR LF, every text as the window shows it.
#include <string>
#include <vector>

class CMainTables;
struct MeterJudgement;
struct ReferenceInstrument;

// How the meters were judged, for the verdicts and the table of points.
struct CsvJudgement {
    const std::vector<MeterJudgement>& meters;
    const ReferenceInstrument& reference;
};

// The meter list, the measurements, the pairs and the verification errors,
// each under its title, without rows that hold nothing beside their first cell; under the errors the verdict
// of each meter against ±tolerancePercent when there are errors.
// With judged: each meter's verdict by its profile, and after it a table of
// every meter's points: flow, error, U, limit and verdict, and the reference.
std::string ResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent,
                       const CsvJudgement* judged = nullptr);
// One CSV field, quoted when it must be.
std::string CsvField(const std::string& text);
// Writes ResultsCsv to path (temporary file and rename); throws EReportError.
void WriteResultsCsv(const CMainTables& tables, const std::string& dateTime, double tolerancePercent,
                     const std::string& path, const CsvJudgement* judged = nullptr);
