// The main window: its table model, the set points edit masks and edit
// tracking through real key strokes, the tab lock, and a whole calibration
// series driven through the window's controls against the simulated rig.
#include "common/CommonUtils.h"
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "measurement/CSystem.h"
#include "support/GuiRig.h"
#include "ui/platform/BusTask.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/mainwindow/MessagePanel.h"
#include "ui/mainwindow/StartupWindows.h"
#include "ui/profiles/TProfileForm.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "support/DocxReadBack.h"
#include "common/OperatorInterface.h"
#include "workstation/SeriesEnd.h"
#include "workstation/SeriesControl.h"
#include "workstation/MeasurementRows.h"
#include "workstation/PairForming.h"
#include "workstation/Workstation.h"
#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "ui/history/THistoryForm.h"

#include <QChart>
#include <QMenu>
#include <QTextBrowser>
#include <optional>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace {
// Slots 0, 1 and 3 hold meters of the default rig; slot 2 stays empty.
const std::array<uint32_t, 4> kMeters = {CGuiRig::Number(11000002), CGuiRig::Number(11000004), 0,
                                         CGuiRig::Number(11000006)};
const std::array<const char*, 4> kDiameters = {"65", "0", "", "15"};
}

class TForm1Test : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalSeparator('.'); }
    void cleanup() { ResetDecimalSeparatorFromLocale(); }

    void gridModelFollowsTheGrid()
    {
        CTextGrid grid(11, 3, 0, 2);
        grid.SetCell(0, 1, "G этал.");
        CGridModel model(grid, [](int col, int) { return col == 0; });
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("\nG этал."));

        grid.SetCell(0, 2, "10");
        AppendBlankRow(grid);
        AppendBlankRow(grid);
        model.Refresh();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("10"));
        QVERIFY(model.flags(model.index(1, 0)) & Qt::ItemIsSelectable);
        QVERIFY(!(model.flags(model.index(1, 3)) & Qt::ItemIsSelectable));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

        // A frozen model shows the texts it held; the grid may change beneath it.
        model.Freeze();
        grid.SetCell(0, 2, "20");
        grid.SetRowCount(2);
        model.Refresh();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("10"));
        model.Thaw();
        QCOMPARE(model.rowCount(), 0);

        // Edits go to the handler, which alone writes the cell.
        std::string handed;
        model.SetEditHandler([&](int, int, const std::string& text) { handed = text; });
        grid.SetRowCount(3);
        model.Refresh();
        QVERIFY(model.setData(model.index(0, 0), QStringLiteral("5"), Qt::EditRole));
        QCOMPARE(handed, std::string("5"));
        QVERIFY(grid.Cell(0, 2).empty());
        QVERIFY(!model.setData(model.index(0, 4), QStringLiteral("5"), Qt::EditRole));
    }

    void editMasks_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("stored");
        QTest::newRow("meter number, letters dropped") << int(SP_METER) << "12a3-4" << "1234";
        QTest::newRow("meter number, eight digits at most") << int(SP_METER) << "1234567890" << "12345678";
        QTest::newRow("diameter, three digits at most") << int(SP_DIAMETER) << "1500" << "150";
        QTest::newRow("diameter, no decimals") << int(SP_DIAMETER) << "6,5" << "65";
        QTest::newRow("second number, free text") << int(SP_PPR) << "A-17/3" << "A-17/3";
    }
    void editMasks()
    {
        QFETCH(int, col);
        QFETCH(QString, keys);
        QFETCH(QString, stored);
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        w.Form1.show();
        QVERIFY(!w.Form1.ButtonUpdateInfo->isEnabled());
        TypeIntoCell(w.Form1.StringGrid1, col, 3, keys);
        QCOMPARE(QString::fromStdString(w.Form1.Ws->Tables.StringGrid1.Cell(col, 3)), stored);
        QVERIFY(w.Form1.ButtonUpdateInfo->isEnabled());
    }

    void editTrackingLocksTheTabs()
    {
        CRecordingQtOperator op;
        CGuiRig rig({});
        QVERIFY(rig.Ok());
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        QVERIFY(ShowActive(&f));
        ClickTab(f.PageControl1, 1);
        QCOMPARE(f.PageControl1->currentIndex(), 1);
        QVERIFY(f.ButtonStartPause->isEnabled());
        ClickTab(f.PageControl1, 0);
        QVERIFY(!f.ButtonStartPause->isEnabled());

        // A digit typed and deleted again still counts as a change.
        TypeIntoCell(f.StringGrid1, SP_METER, 5, QStringLiteral("7\b"));
        QVERIFY(f.Ws->Tables.StringGrid1.Cell(SP_METER, 5).empty());
        QVERIFY(f.ButtonUpdateInfo->isEnabled());
        ClickTab(f.PageControl1, 2);
        QCOMPARE(f.PageControl1->currentIndex(), 0);

        // Applying the (empty) list frees the tabs; it needs no meter.
        ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
        QVERIFY(!f.ButtonUpdateInfo->isEnabled());
        ClickTab(f.PageControl1, 2);
        QCOMPARE(f.PageControl1->currentIndex(), 2);
        QVERIFY(!f.InvertGiGeButton->isEnabled());
        QVERIFY(op.Texts().empty());
    }

    void wholeSeriesThroughTheWindow()
    {
        CRecordingQtOperator op;
        op.confirmAnswer = true;   // the series end with rows in no report
        CGuiRig rig({11000002, 11000004, 11000006});
        QVERIFY(rig.Ok());
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        f.Ws->Pairs.m_nRebootWaitMs = 0;
        CGeAnswerer answerer(w.EditGeForm, rig.Rig());
        QVERIFY(ShowActive(&f));
        QVERIFY(f.StatusPanels[0]->text().startsWith(QStringLiteral("TCP/IP 127.0.0.1:")));

        for (size_t slot = 0; slot < kMeters.size(); ++slot) {
            const int row = static_cast<int>(slot) + 1;
            if (kMeters[slot] != 0)
                TypeIntoCell(f.StringGrid1, SP_METER, row, QString::number(kMeters[slot]));
            if (*kDiameters[slot])
                TypeIntoCell(f.StringGrid1, SP_DIAMETER, row, QString::fromLatin1(kDiameters[slot]));
        }
        ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
        QVERIFY2(op.Texts().empty(), op.Texts().empty() ? "" : op.Texts().front().c_str());
        QCOMPARE(f.Ws->Tables.StringGrid1.Cell(SP_MODEL, 2), std::string("ФЖ-7"));
        QCOMPARE(f.StringGrid3->GridModel()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("4\n110006"));
        QVERIFY(QFile::exists(QString::fromStdString(rig.Dir() + "/BACKUP/00110004.dat")));

        const std::vector<double> checkFlows{20, 6, 1.5};
        std::array<double, 4> before{}, after{};
        Verify(f, rig, checkFlows, before);
        QCOMPARE(f.VerdictRow().Cell(3, 0), std::string());

        // Calibration: two cycles per flow point, pairs formed, saved and written.
        ClickTab(f.PageControl1, 1);
        QCOMPARE(f.PageControl1->currentIndex(), 1);
        for (double flow : {30.0, 12.0, 4.0, 0.8})
            for (int i = 0; i < 2; ++i)
                RunCycle(f, rig, flow, f.Ws->Tables.StringGrid2);
        QCOMPARE(DataRowCount(f.Ws->Tables.StringGrid2), 8);
        QCOMPARE(f.StringGrid2->model()->rowCount(), 9);
        ClickTool(f.ToolBar2, f.CreateGiGe);
        QCOMPARE(PairRowCount(f.Ws->Tables.StringGrid4), 4);
        SaveScreenshot(f, "calibration");
        ClickTool(f.ToolBar2, f.SaveGiGeToFile);
        QVERIFY(QFile::exists(QString::fromStdString(rig.Dir() + "/Log/00110006.dat")));
        op.Clear();
        ClickTool(f.ToolBar2, f.SaveGiGeToDevice);
        QVERIFY(!op.Texts().empty());
        QVERIFY(op.Texts().back().rfind("Сейчас произойдет перезагрузка", 0) == 0);
        QCOMPARE(rig.Rig().Meter(kMeters[1])->Pairs().size(), size_t(4));
        QCOMPARE(rig.Rig().Meter(kMeters[0])->ParamFloat(79), 0.015f);
        ClickTool(f.ToolBar1, f.ButtonStop);
        QCOMPARE(f.Ws->Tables.StringGrid2.RowCount(), 3);
        QCOMPARE(rig.Rig().Meter(kMeters[0])->ParamByte(0), uint8_t(70));

        // The converter restarts after its write; give it time to come back.
        QTest::qWait(2000);
        // The report of the verification after the calibration holds the one before it.
        QStringList reports;
        f.ReportOpener = [&](const QString& path) {
            reports << path;
            return true;
        };
        Verify(f, rig, checkFlows, after, [&] { f.MakeReport(REPORT_DOCX); });
        QVERIFY2(reports.size() == 1, op.Texts().empty() ? "no report" : op.Texts().back().c_str());
        const std::string verdicts = CDocxReadBack(reports[0].toStdString()).BookmarkText("Заключение");
        QVERIFY2(verdicts.find("после градуировки (серия 3)") != std::string::npos, verdicts.c_str());
        QVERIFY2(verdicts.find("до градуировки (серия 1)") != std::string::npos, verdicts.c_str());
        QVERIFY(s_picturesSeen > 0);
        int dataRows = 0;
        for (int slot : {0, 1, 3}) {
            const size_t s = static_cast<size_t>(slot);
            std::printf("meter %u: worst error before %.3f %%, after %.3f %%\n", kMeters[s], before[s], after[s]);
            QVERIFY2(after[s] < before[s] / 2, qPrintable(QStringLiteral("slot %1").arg(slot)));
            ++dataRows;
        }
        std::printf("series: %d verification rows before and after, %d calibration rows, 4 pairs, %d Ge answers\n",
                    int(checkFlows.size()), 8, answerer.Answers());
    }

    // Refused reference flows and a dropped cycle add no row; ending the series
    // or closing the window asks while rows are in no report, and "no" keeps them.
    void seriesKeepsTheOperatorsWork()
    {
        CRecordingQtOperator op;
        CGuiRig rig({11000002, 11000004});
        QVERIFY(rig.Ok());
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        CGeAnswerer answerer(w.EditGeForm, rig.Rig());
        QVERIFY(ShowActive(&f));
        TypeIntoCell(f.StringGrid1, SP_METER, 1, QString::number(kMeters[0]));
        TypeIntoCell(f.StringGrid1, SP_METER, 2, QString::number(kMeters[1]));
        ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
        ClickTab(f.PageControl1, 1);
        const CTextGrid& calibration = f.Ws->Tables.StringGrid2;
        const CTextGrid& verification = f.Ws->Tables.StringGrid3;
        RunCycle(f, rig, 10, calibration);
        QCOMPARE(DataRowCount(calibration), 1);

        op.Clear();
        op.confirmAnswer = true;   // "yes" to dropping the cycle
        answerer.Script({QStringLiteral("abc"), QStringLiteral("0"), QStringLiteral("-1"), CGeAnswerer::kEscape});
        rig.Rig().SetFlow(12);
        ClickTool(f.ToolBar1, f.ButtonStartPause);
        QElapsedTimer clock;
        clock.start();
        while (f.ButtonStartPause->data().toInt() != 1 && clock.elapsed() < 20000)
            QTest::qWait(10);
        QCOMPARE(f.ButtonStartPause->data().toInt(), 1);
        QTest::qWait(100);
        QCOMPARE(DataRowCount(calibration), 1);
        QCOMPARE(DataRowCount(verification), 0);
        QCOMPARE(f.StatusPanels[0]->text(), QString::fromUtf8(kCycleDroppedText));
        const std::vector<std::string> texts = op.Texts();
        QCOMPARE(texts.size(), size_t(4));   // three refusals and the question
        QVERIFY(texts[3].rfind("Отбросить этот цикл?", 0) == 0);
        QVERIFY(!w.EditGeForm.isVisible());

        // The series goes on: the next cycle counts.
        RunCycle(f, rig, 12, calibration);
        QCOMPARE(DataRowCount(calibration), 2);

        op.Clear();
        op.confirmAnswer = false;
        ClickTool(f.ToolBar1, f.ButtonStop);
        QCOMPARE(op.Texts(), std::vector<std::string>{SeriesEndQuestion(2, f.Ws->Results.SeriesStored())});
        QCOMPARE(DataRowCount(calibration), 2);
        QVERIFY(f.Ws->State.ModelSet);
        QCOMPARE(rig.Rig().Meter(kMeters[0])->ParamByte(0), uint8_t(0));   // still on the base model
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QCOMPARE(op.Texts().size(), size_t(2));
        QCOMPARE(DataRowCount(calibration), 2);

        op.Clear();
        op.confirmAnswer = true;
        ClickTool(f.ToolBar1, f.ButtonStop);
        QCOMPARE(op.Texts().size(), size_t(1));
        QCOMPARE(DataRowCount(calibration), 0);
        QCOMPARE(rig.Rig().Meter(kMeters[0])->ParamByte(0), uint8_t(70));
        op.Clear();
        QVERIFY(f.close());   // no series: nothing to ask
        QVERIFY(op.Texts().empty());
    }

    // Notices of an unattended run go only into the panel, errors still ask; in
    // manual work every message is a box and the panel keeps a copy.
    void messagePanelAndUnattendedRun()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        f.show();
        auto lastLine = [&] { return f.MessagePanel->item(f.MessagePanel->count() - 1)->text(); };
        const struct {
            bool unattended;
            int kind;   // 0 notice, 1 information, 2 error, 3 warning
            bool boxed;
        } cases[] = {{true, 0, false}, {true, 1, false}, {true, 2, true}, {true, 3, true},
                     {false, 0, true}, {false, 1, true},  {false, 2, true}};
        int n = 0;
        for (const auto& c : cases) {
            SetUnattendedRun(c.unattended);
            op.Clear();
            const std::string text = "сообщение " + std::to_string(++n) + "\nвторая строка";
            const int before = f.MessagePanel->count();
            if (c.kind == 0)
                ShowNotice(text);
            else
                Operator().MessageDialog(c.kind == 1 ? MsgIcon::Information
                                         : c.kind == 2 ? MsgIcon::Error
                                                       : MsgIcon::Warning,
                                         text);
            QCOMPARE(op.Texts().size(), size_t(c.boxed ? 1 : 0));
            QCOMPARE(f.MessagePanel->count(), before + 1);
            QVERIFY2(lastLine().contains(QStringLiteral("сообщение %1 вторая строка").arg(n)), qPrintable(lastLine()));
            QVERIFY(QTime::fromString(lastLine().left(8), QStringLiteral("HH:mm:ss")).isValid());
        }
        SetUnattendedRun(false);
        // A window opened later shows the whole session.
        CMessagePanel later;
        QCOMPARE(later.count(), f.MessagePanel->count());
    }

    // A cell whose text the column cuts shows it whole as its tip.
    void cutCellsShowTheirTextAsTip()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        CTextGrid& t = f.Ws->Tables.StringGrid1;
        const std::string longType = "ЗЮ-А-3 (расходомер с длинным названием)";
        t.SetCell(SP_MODEL, 1, longType);
        t.SetCell(SP_VERSION, 1, "03.10.07");
        t.SetCell(SP_MODEL, 2, "ФЖ");
        f.syncFromState();
        const CGridModel* m = f.StringGrid1->GridModel();
        QCOMPARE(f.StringGrid1->CellToolTip(m->IndexOfCell(SP_MODEL, 1)), QString::fromStdString(longType));
        QCOMPARE(f.StringGrid1->CellToolTip(m->IndexOfCell(SP_MODEL, 2)), QString());
        f.StringGrid1->setColumnWidth(SP_VERSION, 20);
        QCOMPARE(f.StringGrid1->CellToolTip(m->IndexOfCell(SP_VERSION, 1)), QStringLiteral("03.10.07"));
        f.StringGrid1->setColumnWidth(SP_VERSION, 200);
        QCOMPARE(f.StringGrid1->CellToolTip(m->IndexOfCell(SP_VERSION, 1)), QString());
    }

    // Size and place of the window and the splitter come back in the next run.
    void windowKeepsItsPlace()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        const QRect place(45, 35, 900, 760);
        QList<int> panes;
        {
            CStartupWindows w(dir.path().toStdString());
            TForm1& f = w.Form1;
            f.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f));
            f.setGeometry(place);
            ClickTab(f.PageControl1, 1);
            f.Splitter1->setSizes({200, 400});
            panes = f.Splitter1->sizes();
            QVERIFY(f.close());
        }
        CStartupWindows again(dir.path().toStdString());
        TForm1& f = again.Form1;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.geometry(), place);
        ClickTab(f.PageControl1, 1);
        QCOMPARE(f.Splitter1->sizes(), panes);
        // A broken entry is ignored, not obeyed.
        f.close();
        QFile ini(dir.filePath(QStringLiteral("config.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(ini.readAll());
        ini.close();
        text.replace(QRegularExpression(QStringLiteral("Form1\\s*=\\s*[^\\n]*")), QStringLiteral("Form1=1,2,x,4,0"));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text.toUtf8());
        ini.close();
        CStartupWindows third(dir.path().toStdString());
        QVERIFY(third.Form1.geometry() != place);
    }

    // Cancel ends a long bus operation with 1018 and the window goes on.
    void cancelEndsABusOperation()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        f.show();
        bool cancelShown = false;
        QTimer::singleShot(50, &f, [&] {
            cancelShown = f.CancelButton->isVisible();
            QTest::mouseClick(f.CancelButton, Qt::LeftButton);
        });
        const int result = f.BusTasks->Run([] {
            // A transaction loop that only the abort flag ends (or, failing that, ten seconds).
            for (int i = 0; i < 2000 && !g_bAbortAll; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return g_bAbortAll ? 1018 : 0;
        });
        QVERIFY(cancelShown);
        QCOMPARE(result, 1018);
        QVERIFY(!g_bAbortAll);
        QVERIFY(!f.CancelButton->isVisible());
        QVERIFY(f.PageControl1->isEnabled());
    }

    void meterStatesMarkTheirColumns()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        f.Ws->State.SlotNoAnswer[1] = true;
        f.Ws->State.SlotResultMissing[3] = true;
        f.Ws->State.CycleMessage = "Счетчик № 11000004 не отвечает";
        f.syncFromState();
        for (CGridView* view : {f.StringGrid2, f.StringGrid3}) {
            const CGridModel* m = view->GridModel();
            const QColor noAnswer = m->headerData(2, Qt::Horizontal, CGridModel::MarkRole).value<QColor>();
            const QColor missing = m->headerData(4, Qt::Horizontal, CGridModel::MarkRole).value<QColor>();
            QVERIFY(noAnswer.isValid() && missing.isValid() && noAnswer != missing);
            QVERIFY(!m->headerData(1, Qt::Horizontal, CGridModel::MarkRole).value<QColor>().isValid());
            QVERIFY(!m->headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty());
        }
        QCOMPARE(f.StatusPanels[0]->text(), QStringLiteral("Счетчик № 11000004 не отвечает"));
        f.Ws->State.SlotNoAnswer[1] = false;
        f.Ws->State.CycleMessage.clear();
        f.syncFromState();
        QVERIFY(!f.StringGrid2->GridModel()->headerData(2, Qt::Horizontal, CGridModel::MarkRole).value<QColor>().isValid());
        QVERIFY(f.StatusPanels[0]->text() != QStringLiteral("Счетчик № 11000004 не отвечает"));
    }

    void toleranceColoursAndIsKept()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        {
            CStartupWindows w(dir.path().toStdString());
            TForm1& f = w.Form1;
            QCOMPARE(f.Tolerance(), 2.0);
            CTextGrid& t = f.Ws->Tables.StringGrid3;
            t.SetRowCount(5);
            t.SetRowCells(2, {"10", "0.990", "-2.500", "", "1000.000"});
            t.SetRowCells(3, {"5", "-1.010", "1.500", "", "0.100"});
            f.syncFromState();
            QCOMPARE(f.VerdictRow().Cell(1, 0), std::string("годен"));
            QCOMPARE(f.VerdictRow().Cell(2, 0), std::string("не годен"));
            QCOMPARE(f.VerdictRow().Cell(3, 0), std::string());
            QCOMPARE(f.VerdictRow().Cell(4, 0), std::string("не годен"));
            CGridModel* m = f.StringGrid3->GridModel();
            const QColor pass = m->data(m->IndexOfCell(1, 2), Qt::BackgroundRole).value<QColor>();
            const QColor fail = m->data(m->IndexOfCell(2, 2), Qt::BackgroundRole).value<QColor>();
            QVERIFY(pass.isValid() && fail.isValid() && pass != fail);
            QVERIFY(!m->data(m->IndexOfCell(3, 2), Qt::BackgroundRole).value<QColor>().isValid());
            QCOMPARE(QString::fromStdString(t.Cell(2, 2)), QStringLiteral("-2.500"));

            f.ToleranceEdit->setValue(3.0);
            QCOMPARE(f.VerdictRow().Cell(2, 0), std::string("годен"));
            f.close();
        }
        CStartupWindows again(dir.path().toStdString());
        QCOMPARE(again.Form1.Tolerance(), 3.0);
        // Both sections of config.ini survive the close.
        QFile ini(dir.filePath(QStringLiteral("config.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.contains("[CONNECTION]") && text.contains("[VERIFICATION]"));
    }

    void conditionalPointShowsTheThirdColour()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        std::ofstream(dir.filePath(QStringLiteral("profiles.ini")).toStdString())
            << "[11000002]\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\nrule=guarded\n";
        std::ofstream(dir.filePath(QStringLiteral("config.ini")).toStdString()) << "[REFERENCE]\nu=0.2\n";
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        CTextGrid& t = f.Ws->Tables.StringGrid3;
        t.SetCell(1, 1, "11000002");
        t.SetCell(2, 1, "11000004");
        t.SetRowCount(6);
        // At 1.5 m³/h: errors 1.7, 1.8, 1.9, U = 0.231, limit 2.02: 1.8 + 0.231 > 2.02 >= 1.8 - 0.231.
        t.SetRowCells(2, {"1.5", "1.700", "0.500"});
        t.SetRowCells(3, {"1.5", "1.800", "-2.500"});
        t.SetRowCells(4, {"1.5", "1.900", "0.100"});
        f.syncFromState();
        QCOMPARE(f.VerdictRow().Cell(1, 0), std::string("условно"));
        QCOMPARE(f.VerdictRow().Cell(2, 0), std::string("не годен"));
        QCOMPARE(f.PointsRow().Cell(1, 1), std::string("1.800 ±0.231 ≤2.020"));
        CGridModel* m = f.StringGrid3->GridModel();
        const QColor conditional = m->data(m->IndexOfCell(1, 3), Qt::BackgroundRole).value<QColor>();
        const QColor pass = m->data(m->IndexOfCell(2, 2), Qt::BackgroundRole).value<QColor>();
        const QColor fail = m->data(m->IndexOfCell(2, 3), Qt::BackgroundRole).value<QColor>();
        QVERIFY(conditional.isValid() && pass.isValid() && fail.isValid());
        QVERIFY(conditional != pass && conditional != fail && pass != fail);
        CGridModel* verdicts = f.VerdictGrid->GridModel();
        QCOMPARE(verdicts->data(verdicts->IndexOfCell(1, 0), Qt::BackgroundRole).value<QColor>(), conditional);
    }

    // The default profile from the set points tab: a refusal stays in the
    // dialog, a saved profile judges the table at once.
    void defaultProfileFromTheSetPointsTab()
    {
        CRecordingQtOperator op;
        QTemporaryDir dir;
        CStartupWindows w(dir.path().toStdString());
        TForm1& f = w.Form1;
        CTextGrid& t = f.Ws->Tables.StringGrid3;
        t.SetCell(1, 1, "11000002");
        t.SetRowCount(4);
        t.SetRowCells(2, {"10", "1.500"});
        f.syncFromState();
        QCOMPARE(f.VerdictRow().Cell(1, 0), std::string("годен"));

        QStringList refusals;
        bool sawDialog = false;
        QTimer::singleShot(0, &f, [&] {
            auto* form = qobject_cast<TProfileForm*>(QApplication::activeModalWidget());
            if (!form)
                return;
            sawDialog = true;
            form->ToleranceEdit->setText("abc");
            QTest::mouseClick(form->Buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
            refusals << form->ErrorLabel->text();
            form->ToleranceEdit->setText("1");
            QTest::mouseClick(form->Buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
        });
        QTest::mouseClick(f.DefaultProfileButton, Qt::LeftButton);
        QVERIFY(sawDialog);
        QCOMPARE(refusals.size(), 1);
        QVERIFY2(refusals[0].startsWith("[default] tolerance: not a number: abc"), qPrintable(refusals[0]));
        QCOMPARE(f.VerdictRow().Cell(1, 0), std::string("не годен"));   // 1.5 beyond ±1 %
        CProfileSet kept;
        std::string error;
        QVERIFY(kept.Load(dir.filePath("profiles.ini").toStdString(), 2.0, error));
        VerificationProfile p;
        QVERIFY(kept.ProfileFor(11000002, p, error));
        QCOMPARE(p.tolerance, 1.0);

        // The meter's own section from the context menu of its row.
        f.Ws->Tables.StringGrid1.SetCell(SP_METER, 1, "11000002");
        f.Ws->Tables.StringGrid1.SetCurrent(SP_METER, 1);
        QString title;
        QTimer::singleShot(0, &f, [&] {
            auto* form = qobject_cast<TProfileForm*>(QApplication::activeModalWidget());
            if (!form)
                return;
            title = form->windowTitle();
            form->StandardBox->setCurrentIndex(form->StandardBox->findData("EN1434"));
            form->ClassEdit->setText("2");
            form->QpEdit->setText("10");
            form->QiEdit->setText("0.4");
            form->QsEdit->setText("20");
            QTest::mouseClick(form->Buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
        });
        f.MenuItemProfile->trigger();
        QCOMPARE(title, QString("Профиль поверки счетчика 11000002"));
        QVERIFY(kept.Load(dir.filePath("profiles.ini").toStdString(), 2.0, error));
        QVERIFY(kept.ProfileFor(11000002, p, error));
        QCOMPARE(p.standard, EStandard::EN1434);
        QVERIFY(kept.ProfileFor(11000009, p, error));
        QCOMPARE(p.tolerance, 1.0);   // [default] kept
        QCOMPARE(f.Ws->Profiles.SectionFor(11000002), std::string("11000002"));   // the window reloaded
    }

    // [RESULTS] ask_operator=1: the name asked once before the run's first series
    // (a refusal starts nothing) and recorded with every series; the selected
    // meter's card from the store after a series; the history from the menu.
    void theOperatorTheCardAndTheHistory()
    {
        CRecordingQtOperator op;
        op.confirmAnswer = true;
        CGuiRig rig({11000002});
        QVERIFY(rig.Ok());
        std::ofstream(rig.Dir() + "/config.ini", std::ios::app) << "[RESULTS]\nask_operator=1\n";
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        CGeAnswerer answerer(w.EditGeForm, rig.Rig());
        int asked = 0;
        std::string suggested;
        std::optional<std::string> answer;
        f.askOperatorName = [&](const std::string& name) {
            ++asked;
            suggested = name;
            return answer;
        };
        QVERIFY(ShowActive(&f));
        TypeIntoCell(f.StringGrid1, SP_METER, 1, QString::number(kMeters[0]));
        ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
        const QString card = QStringLiteral("Счетчик № %1").arg(kMeters[0]);
        QTRY_VERIFY(f.MeterCard->toPlainText().contains(card));
        QVERIFY(f.MeterCard->toPlainText().contains(QStringLiteral("нет серий")));

        ClickTab(f.PageControl1, 2);
        ClickTool(f.ToolBar1, f.ButtonStartPause);
        QCOMPARE(asked, 1);
        QCOMPARE(suggested, DefaultOperatorName());
        QCOMPARE(f.ButtonStartPause->data().toInt(), int(PICTURE_IDLE));
        QVERIFY(!f.Results->InSeries());
        answer = "sidorova";
        RunCycle(f, rig, 10, f.Ws->Tables.StringGrid3);
        RunCycle(f, rig, 3, f.Ws->Tables.StringGrid3);   // a second cycle of the series: not asked
        ClickTool(f.ToolBar1, f.ButtonStop);
        RunCycle(f, rig, 10, f.Ws->Tables.StringGrid3);   // the next series: not asked either
        ClickTool(f.ToolBar1, f.ButtonStop);
        QCOMPARE(asked, 2);

        StoreLocation where;
        std::string error;
        QVERIFY(ParseStoreLocation(rig.Dir() + "/results.sqlite", where, error));
        HistoryFilter filter;
        filter.number = kMeters[0];
        std::vector<SeriesSummary> list;
        {
            CResultStore store(where);
            list = store.ListSeries(filter);
        }
        QCOMPARE(list.size(), size_t(2));
        for (const SeriesSummary& s : list)
            QCOMPARE(s.series.operatorName, std::string("sidorova"));
        // The card was read again when the series ended.
        const QString last = QStringLiteral("Последняя поверка: ") + QString::fromStdString(list[1].series.started.substr(0, 16));
        QTRY_VERIFY2(f.MeterCard->toPlainText().contains(last), qPrintable(f.MeterCard->toPlainText()));
        QVERIFY(f.MeterCard->toPlainText().contains(QStringLiteral("(sidorova)")));
        ClickTab(f.PageControl1, 0);
        SaveScreenshot(f, "card");
        // Another row, no meter: no card.
        f.StringGrid1->setCurrentIndex(f.StringGrid1->GridModel()->IndexOfCell(SP_METER, 2));
        QTRY_VERIFY(f.MeterCard->toPlainText().isEmpty());
        QCOMPARE(f.CardNumber(), uint32_t(0));
        f.StringGrid1->setCurrentIndex(f.StringGrid1->GridModel()->IndexOfCell(SP_METER, 1));
        QTRY_VERIFY(f.MeterCard->toPlainText().contains(last));

        // Nothing waits for the store: nothing in the status bar.
        QVERIFY(f.StoreStatus->isHidden());
        // Файл → История… shows the selected meter's series.
        QVERIFY(f.N1->actions().contains(f.HistoryItem));
        QCOMPARE(f.HistoryItem->text(), QStringLiteral("История…"));
        f.HistoryItem->trigger();
        QVERIFY(f.HistoryForm);
        QVERIFY(f.HistoryForm->isVisible());
        QTRY_COMPARE(f.HistoryForm->SeriesList().RowCount(), 3);
        QTRY_COMPARE(f.HistoryForm->DriftChart->series().count(), 2);
        for (const std::string& text : op.Texts())   // only the questions at the series' ends
            QVERIFY2(text.rfind("Завершить серию?", 0) == 0, text.c_str());
    }

    // A store that cannot be reached: the records wait in the spool and the
    // status bar says how many; the card tells the store's error.
    void recordsWaitingForTheStoreShowInTheStatusBar()
    {
        CRecordingQtOperator op;
        op.confirmAnswer = true;
        CGuiRig rig({11000002});
        QVERIFY(rig.Ok());
        std::ofstream(rig.Dir() + "/config.ini", std::ios::app)
            << "[RESULTS]\ndatabase=postgresql://127.0.0.1:1/results?connect_timeout=1\n";
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        CGeAnswerer answerer(w.EditGeForm, rig.Rig());
        QVERIFY(ShowActive(&f));
        QTRY_VERIFY(!f.StoreStatus->isVisible());
        TypeIntoCell(f.StringGrid1, SP_METER, 1, QString::number(kMeters[0]));
        ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
        QTRY_VERIFY_WITH_TIMEOUT(f.MeterCard->toPlainText().startsWith(QStringLiteral("База результатов: ")), 10000);
        ClickTab(f.PageControl1, 2);
        RunCycle(f, rig, 10, f.Ws->Tables.StringGrid3);
        ClickTool(f.ToolBar1, f.ButtonStop);
        QTRY_VERIFY_WITH_TIMEOUT(f.StoreStatus->isVisible(), 10000);
        const QString expected = QString::fromStdString(f.Results->StatusText());
        QVERIFY(expected.startsWith(QStringLiteral("база результатов: нет связи, ждут ")));
        // The end of the series is counted too, though a tick's answer was still out then.
        QTRY_COMPARE(f.StoreStatus->text(), expected);
    }

private:
    static void RunCycle(TForm1& f, CGuiRig& rig, double flow, const CTextGrid& grid)
    {
        rig.Rig().SetFlow(flow);
        const int rows = DataRowCount(grid);
        ClickTool(f.ToolBar1, f.ButtonStartPause);
        QCOMPARE(f.ButtonStartPause->data().toInt(), 0);
        // While it runs, the first meter's header shows its state.
        const CGridModel* model = (&grid == &f.Ws->Tables.StringGrid2 ? f.StringGrid2 : f.StringGrid3)->GridModel();
        QElapsedTimer clock;
        clock.start();
        while (DataRowCount(grid) == rows && clock.elapsed() < 20000) {
            QTest::qWait(5);
            if (model->headerData(1, Qt::Horizontal, CGridModel::PictureRole).toInt() >= 0)
                ++s_picturesSeen;
        }
        QVERIFY(DataRowCount(grid) > rows);
        QCOMPARE(f.ButtonStartPause->data().toInt(), 1);
        QCOMPARE(model->headerData(3, Qt::Horizontal, CGridModel::PictureRole).toInt(), -1);
    }
    static inline int s_picturesSeen = 0;

    // One cycle per flow on the verification tab; each slot's largest |error| in per cent.
    static void Verify(TForm1& f, CGuiRig& rig, const std::vector<double>& flows, std::array<double, 4>& worst,
                       const std::function<void()>& beforeStop = {})
    {
        worst = {};
        ClickTab(f.PageControl1, 2);
        QCOMPARE(f.PageControl1->currentIndex(), 2);
        for (double flow : flows)
            RunCycle(f, rig, flow, f.Ws->Tables.StringGrid3);
        const CTextGrid& t = f.Ws->Tables.StringGrid3;
        for (int row = 2; row < t.RowCount() - 1; ++row) {
            for (size_t slot = 0; slot < kMeters.size(); ++slot) {
                const std::string& cell = t.Cell(static_cast<int>(slot) + 1, row);
                if (kMeters[slot] == 0) {
                    QVERIFY(cell.empty());
                    continue;
                }
                worst[slot] = std::max(worst[slot], std::fabs(StrToFloat(cell)));
            }
        }
        // A verdict for every meter, from the same cells.
        for (size_t slot = 0; slot < kMeters.size(); ++slot)
            QCOMPARE(f.VerdictRow().Cell(static_cast<int>(slot) + 1, 0).empty(), kMeters[slot] == 0);
        SaveScreenshot(f, "verification");
        if (beforeStop)
            beforeStop();
        ClickTool(f.ToolBar1, f.ButtonStop);
    }

    // The README's pictures, when asked for (scripts/screenshot.sh).
    static void SaveScreenshot(TForm1& f, const char* tab)
    {
        if (const char* dir = std::getenv("VQ7_SCREENSHOT_DIR"))
            f.grab().save(QStringLiteral("%1/main-%2.png").arg(QString::fromLocal8Bit(dir), QLatin1String(tab)));
    }
};

QTEST_MAIN(TForm1Test)
#include "TForm1Test.moc"
