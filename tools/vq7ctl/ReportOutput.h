#pragma once
// --report, --csv, --template and --tolerance of calibrate and verify: the
// protocol made from the same code as the window's.
#include "Context.h"

#include <ctime>
#include <string>

class CMainTables;
struct CsvJudgement;

struct ReportArgs {
    std::string report;        // DOCX to write ("" none)
    std::string templatePath;  // default: Matrix/шаблон.docx beside the program
    std::string csv;           // CSV to write ("" none)
    double tolerance = 2.0;    // verdicts, ± per cent
};

// Reads the options; checks the template before a series starts. Returns
// EXIT_OK or the exit code of the failure, reported through ctx.
int ParseReportArgs(CtlContext& ctx, const CtlArgs& args, const char* name, ReportArgs& out);
// Writes what was asked for from the tables with the tab in front.
// judged: the verification's verdicts by profile, for the CSV and the certificate.
// at: the protocol's date (0: now).
int WriteReports(CtlContext& ctx, const ReportArgs& a, const CMainTables& tables, int page,
                 const CsvJudgement* judged = nullptr, std::time_t at = 0);
