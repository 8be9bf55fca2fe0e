#include "ui/mainwindow/ProtocolReportUi.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "report/Certificate.h"
#include "report/DocxText.h"
#include "report/MeterCertificates.h"
#include "report/PdfExport.h"
#include "report/ProtocolReport.h"
#include "report/ReportDate.h"
#include "report/ReportError.h"
#include "report/ResultsCsv.h"
#include "workstation/AsFoundJudgement.h"
#include "workstation/MainTables.h"
#include "workstation/PointVerdicts.h"
#include "workstation/WindowState.h"
#include "workstation/WorkFolders.h"

#include <QDesktopServices>
#include <QFile>
#include <QMenu>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <ctime>
#include <exception>
#include <unistd.h>
#include <filesystem>

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// A name not taken yet: "<stem>.<ext>", else "<stem> (2).<ext>", ...
std::string FreeName(const std::string& dir, const std::string& stem, const char* ext)
{
    std::error_code ec;
    std::string path = dir + "/" + stem + ext;
    for (int n = 2; std::filesystem::exists(path, ec); ++n)
        path = dir + "/" + stem + " (" + std::to_string(n) + ")" + ext;
    return path;
}

QString BlockHtml(const SDocxBlock& block)
{
    if (!block.isTable) {
        const QString text = Q(block.text).toHtmlEscaped().replace('\n', "<br>");
        if (block.style == "Title")
            return "<h2 align=\"center\">" + text + "</h2>";
        if (block.style.rfind("Heading", 0) == 0)
            return "<h3>" + text + "</h3>";
        return "<p>" + (text.isEmpty() ? QString("&nbsp;") : text) + "</p>";
    }
    QString html = "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" style=\"border-collapse:collapse\">";
    for (const auto& row : block.rows) {
        html += "<tr>";
        for (const SDocxCell& cell : row) {
            html += cell.span > 1 ? QString("<td align=\"center\" colspan=\"%1\">").arg(cell.span)
                                  : QString("<td align=\"center\">");
            html += cell.merged ? QString() : Q(cell.text).toHtmlEscaped().replace('\n', "<br>");
            html += "</td>";
        }
        html += "</tr>";
    }
    return html + "</table>";
}

// Verdict lines of the verification tab, for the PDF.
std::vector<std::string> VerdictLines(const CMainTables& tables, int page, double tolerance)
{
    std::vector<std::string> lines;
    if (page != PAGE_VERIFICATION)
        return lines;
    const std::vector<EVerdict> verdicts = VerificationVerdicts(tables.StringGrid3, tolerance);
    for (size_t c = 1; c < verdicts.size(); ++c)
        if (verdicts[c] != EVerdict::None)
            lines.push_back("Счетчик № " + tables.StringGrid3.Cell(static_cast<int>(c), 1) + ": " +
                            VerdictText(verdicts[c]));
    if (!lines.empty())
        lines.insert(lines.begin(), "Заключение (допуск ±" + FixDecimalSeparator(FormatC("%g", tolerance)) + " %):");
    return lines;
}

void RemoveQuietly(const std::string& path)
{
    std::error_code ec;
    if (!path.empty())
        std::filesystem::remove(path, ec);
}

// A base name none of whose per-meter certificates (DOCX or PDF) exist yet.
std::string FreePerMeterBase(const std::string& dir, const std::string& stem, const std::vector<MeterJudgement>& meters)
{
    for (int n = 1;; ++n) {
        const std::string base = dir + "/" + stem + (n == 1 ? std::string() : " (" + std::to_string(n) + ")") + ".docx";
        bool taken = false;
        std::error_code ec;
        for (const MeterJudgement& m : meters) {
            const std::string docx = PerMeterPath(base, m.number);
            taken = taken || std::filesystem::exists(docx, ec) || std::filesystem::exists(PdfPathOf(docx), ec);
        }
        if (!taken)
            return base;
    }
}

bool Runnable(const std::string& program) { return !program.empty() && ::access(program.c_str(), X_OK) == 0; }
}

void WriteReportPdf(const std::string& docx, const std::string& pdf, const std::vector<std::string>& extraLines)
{
    const SDocxContent content = ReadDocxContent(docx);
    QString html = "<html><body style=\"font-size:9pt\">";
    for (const SDocxBlock& block : content.blocks)
        html += BlockHtml(block);
    for (const std::string& line : extraLines)
        html += "<p>" + Q(line).toHtmlEscaped() + "</p>";
    html += "</body></html>";

    const QString temp = Q(pdf) + ".part";
    {
        QPdfWriter writer(temp);
        writer.setResolution(96);   // the text document lays out in screen units
        writer.setTitle(Q(content.title));
        writer.setCreator("vq7station");
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        QTextDocument doc;
        doc.setHtml(html);
        doc.setPageSize(writer.pageLayout().paintRectPixels(writer.resolution()).size());
        doc.print(&writer);
    }
    QFile::remove(Q(pdf));
    if (QFile(temp).size() == 0 || !QFile::rename(temp, Q(pdf))) {
        QFile::remove(temp);
        throw EReportError("не удалось записать " + pdf);
    }
}

CReportFiles MakeReportFiles(const CMainTables& tables, int page, const CReportRequest& request)
{
    const std::time_t now = std::time(nullptr);
    const std::string when = ReportDateTimeText(now);
    const std::string dir = CWorkFolders(request.baseDir).BaseDir() + "/Reports";
    if (!MakeFolders(dir))
        throw EReportError("не удалось создать папку " + dir);
    const std::string stem = ReportKindWord(page) + " " + ReportFileStamp(now);
    CReportFiles files;
    const bool perMeter = (request.formats & REPORT_PER_METER) && request.judged && page == PAGE_VERIFICATION;
    try {
        if (request.formats & (REPORT_DOCX | REPORT_PDF)) {
            const std::string docx =
                perMeter ? FreePerMeterBase(dir, stem, request.judged->meters) : FreeName(dir, stem, ".docx");
            if (request.judged && page == PAGE_VERIFICATION) {
                CertificateContent content{CertificateNumber(now, ::getpid()), request.judged->meters,
                                           request.judged->reference};
                if (request.asFound) {
                    content.asFound = &request.asFound->meters;
                    content.asFoundSeries = request.asFound->asFoundId;
                    content.asLeftSeries = request.asFound->asLeftId;
                }
                if (perMeter) {
                    for (const MeterCertificateFile& f :
                         WriteMeterCertificates(tables, content, request.templatePath, docx, when)) {
                        files.docs.push_back(f.path);
                        files.warnings.insert(files.warnings.end(), f.warnings.begin(), f.warnings.end());
                    }
                } else {
                    files.warnings = WriteVerificationCertificate(tables, content, request.templatePath, docx, when);
                    files.docs.push_back(docx);
                }
            } else {
                files.warnings = WriteProtocolReport(tables, page, request.templatePath, docx, when);
                files.docs.push_back(docx);
            }
            if (!files.docs.empty())
                files.docx = files.docs.front();
        }
        if (request.formats & REPORT_PDF) {
            const std::string office = request.office.empty() ? FindOffice() : request.office;
            const bool soffice = Runnable(office);
            if (!soffice)
                files.warnings.push_back("LibreOffice (soffice) не найден: PDF сделан встроенным средством, без "
                                         "оформления шаблона. Для PDF как в документе установите libreoffice-writer.");
            for (const std::string& docx : files.docs) {
                const std::filesystem::path d(docx);
                const std::string pdf =
                    perMeter ? PdfPathOf(docx) : FreeName(dir, d.stem().string(), ".pdf");
                if (soffice)
                    ConvertDocxToPdf(docx, pdf, kPdfTimeLimitSeconds, office);
                else
                    WriteReportPdf(docx, pdf, VerdictLines(tables, page, request.tolerance));
                files.pdfs.push_back(pdf);
            }
            if (!files.pdfs.empty())
                files.pdf = files.pdfs.front();
        }
        if (request.formats & REPORT_CSV) {
            const std::string csv = FreeName(dir, stem, ".csv");
            WriteResultsCsv(tables, when, request.tolerance, csv, request.judged);
            files.csv = csv;
        }
    } catch (...) {
        // No half of a request: the DOCX made for a PDF that failed goes too.
        for (const std::string& f : files.docs)
            RemoveQuietly(f);
        for (const std::string& f : files.pdfs)
            RemoveQuietly(f);
        throw;
    }
    return files;
}

bool OpenWithDesktop(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool WordReportButtonClick(const CMainTables& tables, int page, const CReportRequest& request,
                           const ReportFileOpener& open, const ReportMaker& beside)
{
    CReportFiles files;
    try {
        // An office program converting to PDF takes seconds: the window keeps answering meanwhile.
        std::exception_ptr failure;
        const std::function<void()> make = [&] {
            try {
                files = MakeReportFiles(tables, page, request);
            } catch (...) {
                failure = std::current_exception();
            }
        };
        beside ? beside(make) : make();
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        Operator().MessageDialog(MsgIcon::Error, std::string("Отчет не сформирован.\n") + e.what());
        return false;
    }
    for (const std::string& warning : files.warnings)
        Operator().MessageDialog(MsgIcon::Warning, warning);
    if (files.docs.size() > 1) {
        std::string list;
        for (const std::string& d : files.docs)
            list += "\n" + d;
        for (const std::string& p : files.pdfs)
            list += "\n" + p;
        Operator().MessageDialog(MsgIcon::Information,
                                 FormatC("Свидетельства по счетчикам: %zu", files.docs.size()) + list);
    }
    const std::string& shown = !files.pdf.empty() ? files.pdf : (!files.docx.empty() ? files.docx : files.csv);
    if (!shown.empty() && !(open && open(Q(shown))))
        Operator().MessageDialog(MsgIcon::Information,
                                 "Отчет сохранен в файл\n" + shown + "\nПрограмма для его открытия не найдена.");
    return true;
}

QMenu* BuildReportMenu(QWidget* parent, const std::function<void(unsigned formats)>& make)
{
    auto* menu = new QMenu(parent);
    struct Item {
        const char* text;
        unsigned formats;
    };
    for (const Item& item :
         {Item{"Отчет DOCX", REPORT_DOCX}, Item{"Отчет DOCX и PDF", REPORT_DOCX | REPORT_PDF},
          Item{"Таблицы CSV", REPORT_CSV},
          Item{"Свидетельства по счетчикам DOCX", REPORT_DOCX | REPORT_PER_METER},
          Item{"Свидетельства по счетчикам DOCX и PDF", REPORT_DOCX | REPORT_PDF | REPORT_PER_METER}}) {
        const unsigned formats = item.formats;
        QObject::connect(menu->addAction(QString::fromUtf8(item.text)), &QAction::triggered, menu,
                         [make, formats] { make(formats); });
    }
    return menu;
}
