// The Qt operator: hand-over from another thread runs on the GUI thread and
// returns after it ran; after the event loop has quit it returns without running.
#include "ui/QtOperator.h"

#include <QApplication>
#include <QtTest>
#include <thread>

class QtOperatorTest : public QObject {
    Q_OBJECT
private slots:
    void runsOnGuiThreadFromWorker()
    {
        CQtOperator op;
        QThread* gui = QThread::currentThread();
        QThread* ranOn = nullptr;
        bool done = false;
        std::thread worker([&] {
            op.RunOnGuiThread([&] { ranOn = QThread::currentThread(); });
            done = true;
        });
        QTRY_VERIFY(done);
        worker.join();
        QCOMPARE(ranOn, gui);
    }
    void runsDirectlyOnGuiThread()
    {
        CQtOperator op;
        int calls = 0;
        op.RunOnGuiThread([&] { ++calls; });
        QCOMPARE(calls, 1);
    }
    void returnsAfterQuitWithoutRunning()
    {
        CQtOperator op;
        op.ShutDown();
        bool ran = false;
        std::thread worker([&] { op.RunOnGuiThread([&] { ran = true; }); });
        worker.join();   // would block forever if it waited for the event loop
        QVERIFY(!ran);
    }
};

QTEST_MAIN(QtOperatorTest)
#include "QtOperatorTest.moc"
