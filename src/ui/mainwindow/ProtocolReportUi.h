#pragma once
// The protocol report from the main window: DOCX from the template, and on
// request its PDF (LibreOffice headless; Qt's PDF writer of the same content
// when LibreOffice is missing) and the tables as CSV, under Reports/; one
// certificate per meter instead of one protocol for the rig; the tool button's menu. The window calls
// WordReportButtonClick(Tables, State.ActivePage) from its button.
#include "common/AppPaths.h"
#include "report/Verdicts.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class CMainTables;
struct AsFoundJudgement;
struct CsvJudgement;
class QMenu;
class QWidget;

enum ReportFormat : unsigned { REPORT_DOCX = 1, REPORT_PDF = 2, REPORT_CSV = 4, REPORT_PER_METER = 8 };

struct CReportRequest {
    std::string baseDir = DataDir();                                    // Reports/ is made here
    std::string templatePath = ShareDir() + "/Matrix/шаблон.docx";
    double tolerance = kDefaultTolerancePercent;                        // verdicts, ± per cent
    unsigned formats = REPORT_DOCX;                                     // a PDF comes with its DOCX
    // The verification judged by profile: the certificate in the DOCX, the points in the CSV.
    const CsvJudgement* judged = nullptr;
    std::string office;   // the LibreOffice program; "": found on PATH
    // The verification before the calibration, beside the certificate's verdicts and points.
    const AsFoundJudgement* asFound = nullptr;
};

struct CReportFiles {
    std::string docx, pdf, csv;          // "" when not made; the first meter's with REPORT_PER_METER
    std::vector<std::string> docs, pdfs; // every DOCX and PDF made
    std::vector<std::string> warnings;   // what did not fit into the template
};

// Writes Reports/<Поверка|Градуировка|Уставки> <date time>.<ext>; throws
// EReportError with a clear text, leaving no file of a failed format.
CReportFiles MakeReportFiles(const CMainTables& tables, int page, const CReportRequest& request);

// A PDF of the DOCX's paragraphs and tables, then the extra lines; throws EReportError.
void WriteReportPdf(const std::string& docx, const std::string& pdf, const std::vector<std::string>& extraLines);

// Opens a file with the desktop's default application; false when none did.
bool OpenWithDesktop(const QString& path);
using ReportFileOpener = std::function<bool(const QString&)>;
// Runs the making of the files off the GUI thread and returns when it ended
// (the window's bus task runner); none: on the calling thread.
using ReportMaker = std::function<void(const std::function<void()>& make)>;

// The tool button's handler: makes the files, tells what did not fit, opens
// the PDF, else the DOCX, else the CSV; with nothing to open it says where
// the file is. Failures are shown, never thrown. True when the files exist.
bool WordReportButtonClick(const CMainTables& tables, int page, const CReportRequest& request = {},
                           const ReportFileOpener& open = OpenWithDesktop, const ReportMaker& beside = {});

// The menu of the tool button: each item calls make with its formats.
QMenu* BuildReportMenu(QWidget* parent, const std::function<void(unsigned formats)>& make);
