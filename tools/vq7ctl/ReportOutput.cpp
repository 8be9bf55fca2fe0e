#include "ReportOutput.h"

#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "report/Certificate.h"
#include "report/DocxDocument.h"
#include "report/MeterCertificates.h"
#include "report/PdfExport.h"
#include "report/ProtocolReport.h"
#include "report/ReportDate.h"
#include "report/ReportError.h"
#include "report/ResultsCsv.h"
#include "workstation/WindowState.h"

#include <cmath>
#include <ctime>
#include <unistd.h>

int ParseReportArgs(CtlContext& ctx, const CtlArgs& args, const char* name, ReportArgs& out)
{
    out.report = args.Get("report");
    out.csv = args.Get("csv");
    out.templatePath = args.Get("template", ShareDir() + "/Matrix/шаблон.docx");
    if ((args.Has("report") && out.report.empty()) || (args.Has("csv") && out.csv.empty()))
        return ctx.Usage(std::string(name) + ": --report and --csv take a file name");
    out.perMeter = args.Has("per-meter");
    out.pdf = args.Has("pdf");
    if ((out.perMeter || out.pdf) && out.report.empty())
        return ctx.Usage(std::string(name) + ": --per-meter and --pdf go with --report FILE.docx");
    if (args.Has("tolerance")) {
        double t = 0;
        if (!ParseFloatPoint(CommaToPoint(args.Get("tolerance")), t) || !std::isfinite(t) || t <= 0 || t > 100)
            return ctx.Usage(std::string(name) + ": --tolerance takes a per cent above 0 up to 100");
        out.tolerance = t;
    }
    if (!out.report.empty()) {
        try {
            CDocxDocument probe(out.templatePath);
        } catch (const EReportError& e) {
            return ctx.Fail(e.what());
        }
    }
    return EXIT_OK;
}

namespace {
void Warn(CtlContext& ctx, const std::vector<std::string>& misses)
{
    CtlJson& warnings = ctx.doc["report_warnings"];
    if (!warnings.is_array())
        warnings = CtlJson::array();
    for (const std::string& miss : misses) {
        std::fprintf(stderr, "vq7ctl: %s\n", miss.c_str());
        warnings.push_back(miss);
    }
}

// The PDF beside a DOCX made; false (reported) when it could not be made.
bool WritePdf(CtlContext& ctx, const std::string& docx, CtlJson& list)
{
    try {
        const std::string pdf = PdfPathOf(docx);
        ConvertDocxToPdf(docx, pdf);
        list.push_back(pdf);
        ctx.Print("pdf: " + pdf);
        return true;
    } catch (const EReportError& e) {
        ctx.Fail(std::string("pdf: ") + e.what());
        return false;
    }
}
}

int WriteReports(CtlContext& ctx, const ReportArgs& a, const CMainTables& tables, int page,
                 const CsvJudgement* judged, std::time_t at, const AsFoundReport* asFound)
{
    const std::string when = ReportDateTimeText(at != 0 ? at : std::time(nullptr));
    int rc = EXIT_OK;
    if (!a.report.empty()) {
        std::vector<std::string> docs;
        try {
            if (judged && page == PAGE_VERIFICATION) {
                CertificateContent content{CertificateNumber(std::time(nullptr), ::getpid()), judged->meters,
                                           judged->reference};
                if (asFound && asFound->meters) {
                    content.asFound = asFound->meters;
                    content.asFoundSeries = asFound->series;
                    content.asLeftSeries = asFound->asLeftSeries;
                    ctx.doc["as_found"] = asFound->series;
                }
                if (a.perMeter) {
                    // Built apart: a key added to the document moves the others.
                    CtlJson certificates = CtlJson::array();
                    for (const MeterCertificateFile& f :
                         WriteMeterCertificates(tables, content, a.templatePath, a.report, when)) {
                        certificates.push_back(CtlJson{{"number", f.number}, {"file", f.path},
                                                       {"certificate", f.certificate}});
                        Warn(ctx, f.warnings);
                        docs.push_back(f.path);
                    }
                    ctx.doc["certificates"] = certificates;
                } else {
                    Warn(ctx, WriteVerificationCertificate(tables, content, a.templatePath, a.report, when));
                    ctx.doc["certificate"] = content.number;
                    docs.push_back(a.report);
                }
            } else {
                Warn(ctx, WriteProtocolReport(tables, page, a.templatePath, a.report, when));
                docs.push_back(a.report);
            }
            if (!ctx.doc.contains("report_warnings"))
                ctx.doc["report_warnings"] = CtlJson::array();
            ctx.doc["report"] = docs.size() == 1 && !a.perMeter ? CtlJson(docs[0]) : CtlJson(docs);
            for (const std::string& d : docs)
                ctx.Print("report: " + d);
        } catch (const EReportError& e) {
            rc = ctx.Fail(std::string("report: ") + e.what());
        }
        if (a.pdf && rc == EXIT_OK) {
            CtlJson pdfs = CtlJson::array();
            for (const std::string& d : docs)
                if (!WritePdf(ctx, d, pdfs))
                    rc = EXIT_FAILED;
            ctx.doc["pdf"] = pdfs;
        }
    }
    if (!a.csv.empty()) {
        try {
            WriteResultsCsv(tables, when, a.tolerance, a.csv, judged);
            ctx.doc["csv"] = a.csv;
            ctx.Print("tables: " + a.csv);
        } catch (const EReportError& e) {
            rc = ctx.Fail(std::string("csv: ") + e.what());
        }
    }
    return rc;
}
