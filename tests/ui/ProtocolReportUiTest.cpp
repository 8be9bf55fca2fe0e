// The report from the window: DOCX, PDF and CSV under Reports/, the file
// opened or its place told, failures shown and nothing half made.
#include "support/RecordingOperator.h"
#include "report/DocxText.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "workstation/MainTables.h"
#include "workstation/WindowState.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

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
        QCOMPARE(asked, (std::vector<unsigned>{REPORT_DOCX, REPORT_DOCX | REPORT_PDF, REPORT_CSV}));
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
        QVERIFY(WordReportButtonClick(tables, page, req, [&](const QString& p) {
            opened << p;
            return true;
        }));
        QVERIFY2(op.Texts().empty(), op.Texts().empty() ? "" : op.Texts().front().c_str());
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
};

QTEST_MAIN(ProtocolReportUiTest)
#include "ProtocolReportUiTest.moc"
