// Pictures of every window and dialog as a window manager frames them: run
// under X (scripts/window-shots.sh starts Xvfb and openbox), each window is
// shown over the simulated rig and taken with ImageMagick's import, frame and
// all. Argument: the folder for the PNG files.
#include "calibration/CGiGeArray.h"
#include "common/CommonUtils.h"
#include "common/OperatorInterface.h"
#include "ui/support/GuiRig.h"
#include "ui/dialogs/TAboutBox.h"
#include "ui/dialogs/TAddCurGiGePair.h"
#include "ui/dialogs/TBusMonitor.h"
#include "ui/dialogs/TSetPortDlg.h"
#include "ui/mainwindow/StartupWindows.h"
#include "ui/grid/GridView.h"
#include "measurement/CSystem.h"
#include "workstation/MeasurementRows.h"
#include "workstation/PairForming.h"
#include "workstation/Workstation.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <cstdio>

namespace {
QString g_dir;
int g_failures = 0;

// The window framed by the window manager, as import takes it.
void Shot(QWidget* window, const char* name)
{
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("not exposed: %s\n", name);
    QTest::qWait(600);   // the window manager decorates and the charts settle
    const QString file = g_dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    const int rc = QProcess::execute(QStringLiteral("import"),
                                     {QStringLiteral("-frame"), QStringLiteral("-window"),
                                      QString::number(window->window()->winId()), QStringLiteral("-colors"),
                                      QStringLiteral("192"), QStringLiteral("png8:") + file});
    std::printf("%s %s\n", rc == 0 ? "shot" : "FAILED", qPrintable(file));
    g_failures += rc != 0;
}

// A modal box of the core, taken while it waits, then answered.
void ShotOfNextModal(const char* name, bool accept)
{
    QTimer::singleShot(100, [name, accept] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        Shot(modal, name);
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            accept ? dialog->accept() : dialog->reject();
    });
}

void RunCycle(TForm1& f, CGuiRig& rig, double flow, const CTextGrid& grid)
{
    rig.Rig().SetFlow(flow);
    const int rows = DataRowCount(grid);
    ClickTool(f.ToolBar1, f.ButtonStartPause);
    QElapsedTimer clock;
    clock.start();
    while (DataRowCount(grid) == rows && clock.elapsed() < 20000)
        QTest::qWait(10);
}
}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    g_dir = QString::fromLocal8Bit(argv[1]);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CQtOperator op;   // the real boxes, taken as they wait
    CGuiRig rig({11000002, 11000004, 11000006}, 200);
    if (!rig.Ok())
        return 1;
    CStartupWindows w(rig.Dir());
    TForm1& f = w.Form1;
    f.Timer1->setInterval(50);
    f.Ws->Pairs.m_nRebootWaitMs = 0;
    CGeAnswerer answerer(w.EditGeForm, rig.Rig());
    f.move(10, 10);
    f.show();
    if (!QTest::qWaitForWindowActive(&f))
        std::printf("the main window is not active\n");

    const uint32_t meters[3] = {CGuiRig::Number(11000002), CGuiRig::Number(11000004), CGuiRig::Number(11000006)};
    for (int i = 0; i < 3; ++i) {
        TypeIntoCell(f.StringGrid1, SP_METER, i + 1, QString::number(meters[i]));
        TypeIntoCell(f.StringGrid1, SP_DIAMETER, i + 1, QStringLiteral("15"));
    }
    ClickTool(f.ToolBar1, f.ButtonUpdateInfo);
    Shot(&f, "main-setpoints");

    ClickTab(f.PageControl1, 2);
    for (double flow : {20.0, 6.0})
        RunCycle(f, rig, flow, f.Ws->Tables.StringGrid3);
    Shot(&f, "main-verification");
    ShotOfNextModal("question-series-end", false);
    ClickTool(f.ToolBar1, f.ButtonStop);   // "no": the rows stay

    // The reference flow dialog, and its answer to a typo.
    w.EditGeForm.show();
    Shot(&w.EditGeForm, "EditGeForm");
    ShotOfNextModal("EditGeForm-refused", true);
    w.EditGeForm.EditGe()->selectAll();
    QTest::keyClicks(w.EditGeForm.EditGe(), QStringLiteral("abc"));
    QTest::keyClick(w.EditGeForm.EditGe(), Qt::Key_Return);
    w.EditGeForm.EditGe()->setText(QStringLiteral("6"));
    QTest::keyClick(w.EditGeForm.EditGe(), Qt::Key_Return);
    f.Ws->Series.Reported.MarkReported(PAGE_VERIFICATION);
    ClickTool(f.ToolBar1, f.ButtonStop);

    ClickTab(f.PageControl1, 1);
    for (double flow : {30.0, 12.0, 4.0})
        for (int i = 0; i < 2; ++i)
            RunCycle(f, rig, flow, f.Ws->Tables.StringGrid2);
    ClickTool(f.ToolBar2, f.CreateGiGe);
    SetUnattendedRun(true);   // the restart notice goes to the panel
    ClickTool(f.ToolBar2, f.SaveGiGeToDevice);
    SetUnattendedRun(false);
    Shot(&f, "main-calibration");

    TSetPortDlg port(&f);
    port.FillFromConnection(f.MeterConnection);
    port.move(60, 60);
    port.show();
    Shot(&port, "TSetPortDlg");
    port.OpenPortsTreeViewExecute();
    Shot(&port, "TSetPortDlg-unfolded");
    port.hide();

    const VQ7_INFO info = f.System->GetMeterInfo(0);
    w.GIGEScaleForm.OpenForMeter(&f.MeterConnection, meters[0], &info);
    w.GIGEScaleForm.show();
    Shot(&w.GIGEScaleForm, "TGIGEScaleForm");
    w.GIGEScaleForm.hide();

    TAddCurGiGePair* add = TAddCurGiGePair::Instance(&f);
    CGiGeArray formed;
    formed.AddPair(1.0f, 1.0f);
    formed.AddPair(5.0f, 5.1f);
    if (add->Prepare(f.MeterConnection, formed)) {
        add->show();
        Shot(add, "TAddCurGiGePair");
        add->hide();
    }

    Shot(TAboutBox::ShowAbout(&f), "TAboutBox");
    TAboutBox::ShowAbout(&f)->close();
    Shot(TBusMonitor::Show(f.MeterConnection, &f), "TBusMonitor");
    TBusMonitor::Release();

    ShotOfNextModal("message-box", true);
    ShowAppMessage("Градуировочные пары и настроечные параметры записаны");
    f.close();
    return g_failures == 0 ? 0 : 1;
}
