#pragma once
// --report, --csv, --template, --tolerance, --per-meter and --pdf of
// calibrate, verify and history: the protocol made from the same code as the window's.
#include "Context.h"

#include <ctime>
#include <string>
#include <vector>

class CMainTables;
struct CsvJudgement;
struct MeterJudgement;

struct ReportArgs {
    std::string report;        // DOCX to write ("" none)
    std::string templatePath;  // default: Matrix/шаблон.docx beside the program
    std::string csv;           // CSV to write ("" none)
    double tolerance = 2.0;    // verdicts, ± per cent
    bool perMeter = false;     // --per-meter: FILE-NUMBER.docx per meter instead of one protocol
    bool pdf = false;          // --pdf: FILE.pdf beside each DOCX, through LibreOffice
};

// The verification before the calibration, for the certificate of the one after it.
struct AsFoundReport {
    const std::vector<MeterJudgement>* meters = nullptr;
    long long series = 0;        // its store id
    long long asLeftSeries = 0;  // the id of the series reported
};

// Reads the options; checks the template before a series starts. Returns
// EXIT_OK or the exit code of the failure, reported through ctx.
int ParseReportArgs(CtlContext& ctx, const CtlArgs& args, const char* name, ReportArgs& out);
// Writes what was asked for from the tables with the tab in front.
// judged: the verification's verdicts by profile, for the CSV and the certificate.
// at: the protocol's date (0: now).
// asFound: shown beside the certificate's verdicts and points.
int WriteReports(CtlContext& ctx, const ReportArgs& a, const CMainTables& tables, int page,
                 const CsvJudgement* judged = nullptr, std::time_t at = 0, const AsFoundReport* asFound = nullptr);
