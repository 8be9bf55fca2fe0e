#include "ui/mainwindow/ProtocolReportUi.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "report/Certificate.h"
#include "report/DocxText.h"
#include "report/ProtocolReport.h"
#include "report/ReportDate.h"
#include "report/ReportError.h"
#include "report/ResultsCsv.h"
#include "workstation/MainTables.h"
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
    try {
        if (request.formats & (REPORT_DOCX | REPORT_PDF)) {
            const std::string docx = FreeName(dir, stem, ".docx");
            if (request.judged && page == PAGE_VERIFICATION) {
                const CertificateContent content{CertificateNumber(now, ::getpid()), request.judged->meters,
                                                 request.judged->reference};
                files.warnings = WriteVerificationCertificate(tables, content, request.templatePath, docx, when);
            } else {
                files.warnings = WriteProtocolReport(tables, page, request.templatePath, docx, when);
            }
            files.docx = docx;
        }
        if (request.formats & REPORT_PDF) {
            const std::string pdf = FreeName(dir, stem, ".pdf");
            WriteReportPdf(files.docx, pdf, VerdictLines(tables, page, request.tolerance));
            files.pdf = pdf;
        }
        if (request.formats & REPORT_CSV) {
            const std::string csv = FreeName(dir, stem, ".csv");
            WriteResultsCsv(tables, when, request.tolerance, csv, request.judged);
            files.csv = csv;
        }
    } catch (...) {
        // No half of a request: the DOCX made for a PDF that failed goes too.
        RemoveQuietly(files.docx);
        RemoveQuietly(files.pdf);
        throw;
    }
    return files;
}

bool OpenWithDesktop(const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

bool WordReportButtonClick(const CMainTables& tables, int page, const CReportRequest& request,
                           const ReportFileOpener& open)
{
    CReportFiles files;
    try {
        files = MakeReportFiles(tables, page, request);
    } catch (const std::exception& e) {
        Operator().MessageDialog(MsgIcon::Error, std::string("Отчет не сформирован.\n") + e.what());
        return false;
    }
    for (const std::string& warning : files.warnings)
        Operator().MessageDialog(MsgIcon::Warning, warning);
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
    for (const Item& item : {Item{"Отчет DOCX", REPORT_DOCX}, Item{"Отчет DOCX и PDF", REPORT_DOCX | REPORT_PDF},
                             Item{"Таблицы CSV", REPORT_CSV}}) {
        const unsigned formats = item.formats;
        QObject::connect(menu->addAction(QString::fromUtf8(item.text)), &QAction::triggered, menu,
                         [make, formats] { make(formats); });
    }
    return menu;
}
