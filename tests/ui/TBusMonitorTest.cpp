// The bus monitor on the simulated rig: real frames decoded into rows, a damaged
// answer highlighted, the meter filter, pause, clear, and saving what is shown.
#include "support/SimRig.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "ui/dialogs/MonitorModel.h"
#include "ui/dialogs/TBusMonitor.h"
#include "ui/support/Shots.h"

#include <QAction>
#include <QBrush>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr uint32_t kA = 4711, kB = 815;

QString Cell(const TBusMonitor& m, int row, int column)
{
    return m.Shown()->index(row, column).data().toString();
}

// Status of both meters, then the rig closes the link so the trace has handed everything over.
void PollBoth(SimRig& rig)
{
    uint8_t status[8];
    rig.Conn().Open();
    QCOMPARE(ReadStatus(&rig.Conn(), kA, status), 0u);
    ReadStatus(&rig.Conn(), kB, status);
    rig.Conn().Close();
}

}  // namespace

class TBusMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { g_nRetryPauseMs = 1; }

    void showsDecodedFramesAndHighlightsErrors()
    {
        // Every answer of meter B comes with a broken check byte.
        SimRig rig({FlowMeter(kA), FlowMeter(kB)}, 150, SimRig::TcpGateway);
        rig.Gateway().SetAnswerHook([](const std::vector<uint8_t>& request, std::vector<uint8_t>& answer) {
            if (request[0] == 0x15 && request[1] == 0x08)
                answer.back() ^= 0xFF;
        });
        TBusMonitor* monitor = TBusMonitor::Show(rig.Conn());
        PollBoth(rig);
        monitor->PollNow();

        const int rows = monitor->Shown()->rowCount();
        QVERIFY(rows >= 4);
        QCOMPARE(Cell(*monitor, 0, CMonitorModel::ColDirection), QString("запрос"));
        QCOMPARE(Cell(*monitor, 0, CMonitorModel::ColMeter), QString("4711"));
        QCOMPARE(Cell(*monitor, 0, CMonitorModel::ColCommand), QString("Чтение статуса"));
        QCOMPARE(Cell(*monitor, 0, CMonitorModel::ColBytes).left(14), QString("11 47 00 00 08"));
        QCOMPARE(Cell(*monitor, 1, CMonitorModel::ColDirection), QString("ответ"));
        QCOMPARE(Cell(*monitor, 1, CMonitorModel::ColError), QString());
        QVERIFY(!monitor->Shown()->index(1, 0).data(Qt::BackgroundRole).isValid());
        QCOMPARE(Cell(*monitor, 3, CMonitorModel::ColMeter), QString("815"));
        QCOMPARE(Cell(*monitor, 3, CMonitorModel::ColError), QString("неверная контрольная сумма"));
        QVERIFY(monitor->Shown()->index(3, 0).data(Qt::BackgroundRole).value<QBrush>().color().red() == 255);
        SaveShot(monitor, "TBusMonitor");

        QTest::keyClicks(monitor->MeterFilter, "815");
        QVERIFY(monitor->Shown()->rowCount() > 0 && monitor->Shown()->rowCount() < rows);
        for (int i = 0; i < monitor->Shown()->rowCount(); ++i)
            QCOMPARE(Cell(*monitor, i, CMonitorModel::ColMeter), QString("815"));

        QTemporaryDir dir;
        const QString path = dir.filePath("bus.txt");
        QVERIFY(monitor->SaveToFile(path));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), monitor->Shown()->rowCount());
        QVERIFY(lines[0].contains("запрос  815  Чтение статуса  15 08 00 00 08"));
        QVERIFY(lines.last().contains("неверная контрольная сумма"));
        QVERIFY(!monitor->SaveToFile(dir.filePath("no/such/folder/bus.txt")));

        monitor->MeterFilter->clear();
        monitor->ClearAction->trigger();
        QCOMPARE(monitor->Shown()->rowCount(), 0);
        monitor->close();
    }

    void pauseHoldsTheViewAndTracingStopsWhenClosed()
    {
        SimRig rig({FlowMeter(kA), FlowMeter(kB)});
        TBusMonitor* monitor = TBusMonitor::Show(rig.Conn());
        monitor->Model()->Clear();
        monitor->PauseAction->setChecked(true);
        PollBoth(rig);
        QTest::qWait(300);   // several ticks of the window's timer
        QCOMPARE(monitor->Model()->rowCount(), 0);
        monitor->PauseAction->setChecked(false);
        QTRY_VERIFY(monitor->Model()->rowCount() >= 4);

        monitor->close();   // stops tracing: later traffic is not shown
        const int shown = monitor->Model()->rowCount();
        PollBoth(rig);
        monitor->PollNow();
        QCOMPARE(monitor->Model()->rowCount(), shown);
        QVERIFY(monitor->StatusLabel->text().contains("Потеряно строк: 0"));
    }
};

QTEST_MAIN(TBusMonitorTest)
#include "TBusMonitorTest.moc"
