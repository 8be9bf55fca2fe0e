#include "ReportOutput.h"

#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "report/Certificate.h"
#include "report/DocxDocument.h"
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

int WriteReports(CtlContext& ctx, const ReportArgs& a, const CMainTables& tables, int page,
                 const CsvJudgement* judged, std::time_t at)
{
    const std::string when = ReportDateTimeText(at != 0 ? at : std::time(nullptr));
    int rc = EXIT_OK;
    if (!a.report.empty()) {
        try {
            std::vector<std::string> misses;
            if (judged && page == PAGE_VERIFICATION) {
                const CertificateContent content{CertificateNumber(std::time(nullptr), ::getpid()), judged->meters,
                                                 judged->reference};
                misses = WriteVerificationCertificate(tables, content, a.templatePath, a.report, when);
                ctx.doc["certificate"] = content.number;
            } else {
                misses = WriteProtocolReport(tables, page, a.templatePath, a.report, when);
            }
            ctx.doc["report"] = a.report;
            CtlJson& warnings = ctx.doc["report_warnings"] = CtlJson::array();
            for (const std::string& miss : misses) {
                std::fprintf(stderr, "vq7ctl: %s\n", miss.c_str());
                warnings.push_back(miss);
            }
            ctx.Print("report: " + a.report);
        } catch (const EReportError& e) {
            rc = ctx.Fail(std::string("report: ") + e.what());
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
