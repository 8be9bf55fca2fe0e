// The report from the window: DOCX, PDF and CSV under Reports/, the file
// opened or its place told, failures shown and nothing half made.
#include "support/RecordingOperator.h"
#include "report/DocxText.h"
#include "report/PdfExport.h"
#include "report/ResultsCsv.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "ui/platform/BusTask.h"
#include "workstation/MainTables.h"
#include "workstation/PointVerdicts.h"
#include "workstation/ProfileFile.h"
#include "workstation/WindowState.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

class ProtocolReportUiTest : public QObject {
    Q_OBJECT
private:
    static void Fill(CMainTables& t)
    {
        t.StringGrid1.SetRowCells(1, {"1", "ВЯ-7П", "11000002", "", "40", "04.02.01"});
        t.StringGrid3.SetCell(1, 1, "11000002");
        t.StringGrid3.SetRowCount(4);
        t.StringGrid3.SetRowCells(2, {"25.0074", "2.664"});
        t.StringGrid4.SetRowCount(3);
        t.StringGrid4.SetRowCells(1, {"20", "19.71"});
    }
    static QStringList Reports(const QTemporaryDir& dir)
    {
        return QDir(dir.filePath("Reports")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void menuItemsAskForTheirFormats()
    {
        std::vector<unsigned> asked;
        QMenu* menu = BuildReportMenu(nullptr, [&](unsigned f) { asked.push_back(f); });
        for (QAction* a : menu->actions())
            a->trigger();
        QCOMPARE(asked, (std::vector<unsigned>{REPORT_DOCX, REPORT_DOCX | REPORT_PDF, REPORT_CSV,
                                               REPORT_DOCX | REPORT_PER_METER,
                                               REPORT_DOCX | REPORT_PDF | REPORT_PER_METER}));
        delete menu;
    }

    void allFormatsSideBySide_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("kind");
        QTest::newRow("verification") << int(PAGE_VERIFICATION) << "Поверка";
        QTest::newRow("calibration") << int(PAGE_CALIBRATION) << "Градуировка";
        QTest::newRow("set points") << int(PAGE_SET_POINTS) << "Уставки";
    }
    void allFormatsSideBySide()
    {
        QFETCH(int, page);
        QFETCH(QString, kind);
        QTemporaryDir dir;
        CMainTables tables;
        Fill(tables);
        CReportRequest req;
        req.baseDir = dir.path().toStdString();
        req.templatePath = VQ7_TEMPLATE_PATH;
        req.formats = REPORT_DOCX | REPORT_PDF | REPORT_CSV;
        CRecordingOperator op;
        QStringList opened;
        // Made beside the GUI thread, as the window does it, while the GUI thread keeps turning.
        CBusTaskRunner runner;
        std::thread::id madeOn;
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(5);
        QVERIFY(WordReportButtonClick(
            tables, page, req,
            [&](const QString& p) {
                opened << p;
                return true;
            },
            [&](const std::function<void()>& make) {
                runner.Run([&] {
                    madeOn = std::this_thread::get_id();
                    make();
                    return 0;
                });
            }));
        timer.stop();
        QVERIFY(madeOn != std::thread::id() && madeOn != std::this_thread::get_id());
        if (!FindOffice().empty())   // seconds of LibreOffice: the GUI thread answered meanwhile
            QVERIFY2(ticks > 10, qPrintable(QString::number(ticks)));
        // Without LibreOffice the PDF comes from the built-in writer, and the window says so.
        const size_t warnings = FindOffice().empty() ? 1 : 0;
        QVERIFY2(op.Texts().size() == warnings, op.Texts().empty() ? "" : op.Texts().front().c_str());
        const QStringList files = Reports(dir);
        QCOMPARE(files.size(), 3);
        for (const QString& f : files)
            QVERIFY2(f.startsWith(kind + " "), qPrintable(f));
        const QString base = dir.filePath("Reports/" + QFileInfo(files[0]).completeBaseName());
        QCOMPARE(opened, QStringList{base + ".pdf"});
        QFile pdf(base + ".pdf");
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 2000);
        QVERIFY(ReadDocxContent((base + ".docx").toStdString()).blocks.size() > 4);
        QFile csv(base + ".csv");
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().startsWith("\xEF\xBB\xBF"));
    }

    void noApplicationToOpenTellsWhereTheFileIs()
    {
        QTemporaryDir dir;
        CMainTables tables;
        CReportRequest req;
        req.baseDir = dir.path().toStdString();
        req.templatePath = VQ7_TEMPLATE_PATH;
        CRecordingOperator op;
        QVERIFY(WordReportButtonClick(tables, PAGE_SET_POINTS, req, [](const QString&) { return false; }));
        QCOMPARE(op.Messages().size(), size_t(1));
        QCOMPARE(op.Messages()[0].kind, RecordedMessage::Information);
        const QString docx = dir.filePath("Reports/" + Reports(dir).value(0));
        QVERIFY(docx.endsWith(".docx"));
        QVERIFY(QString::fromStdString(op.Messages()[0].text).contains(docx));
    }

    void missingTemplateIsShownAndNothingIsLeft()
    {
        QTemporaryDir dir;
        CMainTables tables;
        CReportRequest req;
        req.baseDir = dir.path().toStdString();
        req.templatePath = dir.filePath("Matrix/шаблон.docx").toStdString();
        req.formats = REPORT_DOCX | REPORT_PDF | REPORT_CSV;
        CRecordingOperator op;
        bool opened = false;
        QVERIFY(!WordReportButtonClick(tables, PAGE_VERIFICATION, req, [&](const QString&) { return opened = true; }));
        QVERIFY(!opened);
        QCOMPARE(op.Messages().size(), size_t(1));
        QCOMPARE(op.Messages()[0].kind, RecordedMessage::Error);
        QVERIFY(QString::fromStdString(op.Messages()[0].text).contains("шаблон.docx"));
        QCOMPARE(Reports(dir), QStringList{});
    }

    // One certificate per meter of a judged verification, each with its PDF.
    void perMeterCertificates()
    {
        QTemporaryDir dir;
        CMainTables tables;
        Fill(tables);
        tables.StringGrid1.SetRowCells(2, {"2", "ВЯ-7П", "11000004", "", "40", "04.02.01"});
        tables.StringGrid3.SetCell(2, 1, "11000004");
        tables.StringGrid3.SetCell(2, 2, "0.512");
        CProfileSet profiles;
        std::string error;
        QVERIFY(profiles.Load(dir.filePath("absent.ini").toStdString(), 2.0, error));
        ReferenceInstrument reference;
        const std::vector<MeterJudgement> judged = JudgeVerification(tables.StringGrid3, profiles, reference);
        QCOMPARE(judged.size(), size_t(2));
        const CsvJudgement judgement{judged, reference};
        CReportRequest req;
        req.baseDir = dir.path().toStdString();
        req.templatePath = VQ7_TEMPLATE_PATH;
        req.formats = REPORT_DOCX | REPORT_PDF | REPORT_PER_METER;
        req.judged = &judgement;
        CRecordingOperator op;
        QStringList opened;
        for (int run = 0; run < 2; ++run)   // the second run takes new names, never the first's
            QVERIFY(WordReportButtonClick(tables, PAGE_VERIFICATION, req, [&](const QString& p) {
                opened << p;
                return true;
            }));
        const QStringList files = Reports(dir);
        QCOMPARE(files.size(), 8);
        QCOMPARE(files.filter("-11000002.docx").size(), 2);
        QCOMPARE(files.filter("-11000004.pdf").size(), 2);
        QCOMPARE(opened.size(), 2);
        QVERIFY2(opened[0].endsWith("-11000002.pdf"), qPrintable(opened[0]));
        QVERIFY(opened[0] != opened[1]);
        const QString first = dir.filePath("Reports/" + files.filter("-11000004.docx").value(0));
        const SDocxContent content = ReadDocxContent(first.toStdString());
        std::string all;
        for (const SDocxBlock& b : content.blocks) {
            all += b.text;
            for (const auto& row : b.rows)
                for (const SDocxCell& c : row)
                    all += c.text + "|";
        }
        QVERIFY(all.find("11000004") != std::string::npos);
        QVERIFY(all.find("11000002") == std::string::npos);
        // The list of what was made, once per run.
        bool listed = false;
        for (const std::string& t : op.Texts())
            listed = listed || QString::fromStdString(t).startsWith("Свидетельства по счетчикам: 2");
        QVERIFY(listed);
    }

    void pdfWithoutLibreOfficeSaysSo()
    {
        QTemporaryDir dir;
        CMainTables tables;
        Fill(tables);
        CReportRequest req;
        req.baseDir = dir.path().toStdString();
        req.templatePath = VQ7_TEMPLATE_PATH;
        req.formats = REPORT_DOCX | REPORT_PDF;
        req.office = dir.filePath("no-soffice").toStdString();
        CRecordingOperator op;
        QVERIFY(WordReportButtonClick(tables, PAGE_VERIFICATION, req, [](const QString&) { return true; }));
        QCOMPARE(op.Messages().size(), size_t(1));
        QCOMPARE(op.Messages()[0].kind, RecordedMessage::Warning);
        QVERIFY(QString::fromStdString(op.Messages()[0].text).contains("LibreOffice (soffice) не найден"));
        QCOMPARE(Reports(dir).filter(".pdf").size(), 1);
    }
};

QTEST_MAIN(ProtocolReportUiTest)
#include "ProtocolReportUiTest.moc"
