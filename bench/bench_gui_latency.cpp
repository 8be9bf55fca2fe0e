// How the main window answers while bus operations run: a 5 ms probe timer on
// the GUI thread records the longest gap between its ticks, and the window is
// repainted every 50 ms and the longest repaint noted. Ten simulated meters
// answer each request after a delay, so every operation takes seconds.
// For comparison the list is also applied once directly on the GUI thread.
#include "ui/support/GuiRig.h"
#include "ui/grid/GridView.h"
#include "ui/mainwindow/StartupWindows.h"
#include "workstation/Workstation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
struct Figures {
    qint64 totalMs = 0;
    qint64 maxGapMs = 0;
    qint64 maxPaintMs = 0;
    int ticks = 0;
};

Figures Measure(QWidget& window, const std::function<void()>& operation)
{
    Figures f;
    QElapsedTimer clock, sinceTick, sincePaint;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        f.maxGapMs = std::max(f.maxGapMs, sinceTick.restart());
        ++f.ticks;
        if (sincePaint.elapsed() >= 50) {
            QElapsedTimer paint;
            paint.start();
            window.repaint();
            f.maxPaintMs = std::max(f.maxPaintMs, paint.elapsed());
            sincePaint.restart();
        }
    });
    clock.start();
    sinceTick.start();
    sincePaint.start();
    probe.start();
    operation();
    // The gap up to the end of the operation counts too.
    f.maxGapMs = std::max(f.maxGapMs, sinceTick.elapsed());
    probe.stop();
    f.totalMs = clock.elapsed();
    return f;
}

void Print(const char* what, const Figures& f)
{
    std::printf("%-46s %7lld ms  longest gap %5lld ms  longest repaint %3lld ms  %5d probe ticks\n", what,
                static_cast<long long>(f.totalMs), static_cast<long long>(f.maxGapMs),
                static_cast<long long>(f.maxPaintMs), f.ticks);
}
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const unsigned delayMs = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 20;
    CRecordingQtOperator op;
    std::vector<uint32_t> meters;
    for (uint32_t n = 11000001; n <= 11000010; ++n)
        meters.push_back(n);
    CGuiRig rig(meters);
    if (!rig.Ok())
        return 1;
    for (uint32_t n : meters)
        rig.Rig().Meter(CGuiRig::Number(n))->SetResponseDelay(delayMs);

    CStartupWindows windows(rig.Dir());
    TForm1& f = windows.Form1;
    f.Ws->Pairs.m_nRebootWaitMs = 0;
    f.show();
    f.FormActivate();
    for (int row = 1; row <= 10; ++row) {
        f.Ws->MeterList.StringGrid1GetEditText(SP_METER, row);
        f.Ws->MeterList.StringGrid1SetEditText(SP_METER, row, std::to_string(CGuiRig::Number(meters[row - 1])));
        f.Ws->MeterList.StringGrid1SetEditText(SP_DIAMETER, row, "50");
    }
    f.syncFromState();
    std::printf("ten meters, each answer delayed %u ms\n", delayMs);

    Print("idle, for reference", Measure(f, [] {
              QEventLoop idle;
              QTimer::singleShot(2000, &idle, &QEventLoop::quit);
              idle.exec();
          }));

    Print("apply the list and back up, off the GUI thread", Measure(f, [&] { f.ButtonUpdateInfoClick(); }));
    f.Ws->Tables.StringGrid1.SetCurrent(SP_METER, 2);
    Print("restore one meter's backup, off the GUI thread", Measure(f, [&] { f.PopupMenu3RestoreGiGeClick(); }));
    CTextGrid& pairs = f.Ws->Tables.StringGrid4;
    pairs.SetRowCount(4);
    std::vector<std::string> high{"10"}, low{"1.0000000"};
    for (int s = 0; s < 10; ++s) {
        high.push_back("1.010000E+01");
        low.push_back("1.020000E+00");
    }
    pairs.SetRowCells(1, high);
    pairs.SetRowCells(2, low);
    Print("write pairs and parameters, off the GUI thread", Measure(f, [&] { f.SaveGiGeToDeviceClick(); }));
    Print("apply the list on the GUI thread (blocking)",
          Measure(f, [&] { f.Ws->MeterList.ButtonUpdateInfoClick(); }));
    std::printf("messages from the core: %zu\n", op.Texts().size());
    for (const std::string& t : op.Texts())
        std::printf("  %s\n", t.c_str());
    return 0;
}
