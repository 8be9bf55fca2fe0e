// The Qt operator: hand-over from another thread runs on the GUI thread and
// returns after it ran; after the event loop has quit it returns without running;
// a question is answered by the button pressed.
#include "support/Shots.h"
#include "ui/platform/QtOperator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <atomic>
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
    // A question from the worker is a modal box on the GUI thread; its answer
    // is the button pressed.
    void confirmAnswersTheButtonPressed_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << QStringLiteral("Да") << true;
        QTest::newRow("no") << QStringLiteral("Нет") << false;
    }
    void confirmAnswersTheButtonPressed()
    {
        QFETCH(QString, button);
        QFETCH(bool, answer);
        CQtOperator op;
        // The box runs its own event loop: the button is pressed from a timer in it.
        QString shown;
        QTimer presser;
        connect(&presser, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            shown = box->text();
            if (answer)
                SaveShot(box, "Confirm");
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button)
                    b->click();
        });
        presser.start(10);
        std::atomic<int> result{-1};
        std::thread worker([&] { result = op.Confirm("Восстановить?") ? 1 : 0; });
        QTRY_VERIFY(result != -1);
        worker.join();
        QCOMPARE(shown, QStringLiteral("Восстановить?"));
        QCOMPARE(result == 1, answer);
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
