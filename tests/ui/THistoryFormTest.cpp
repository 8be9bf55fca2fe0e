// The history window over a real SQLite store holding two verifications of one
// meter and one of another: the series list, the chosen series' points, the
// drift chart's lines, the filter typed in, the series' protocol made again,
// and a store that is broken or a server that never answers.
#include "report/ProtocolReport.h"
#include "report/ReportDate.h"
#include "report/StoredSeriesReport.h"
#include "results/ResultStore.h"
#include "support/DocxReadBack.h"
#include "support/GuiRig.h"
#include "support/LoopbackServer.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"
#include "ui/history/THistoryForm.h"
#include "workstation/HistoryTables.h"

#include <QChart>
#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <fstream>
#include <thread>

namespace {
constexpr uint32_t kMeter = 11000001;

StoredSeries Verification(const std::string& uid, const std::string& started, uint32_t number,
                          const std::vector<std::pair<double, double>>& flowErrors)
{
    StoredSeries s;
    s.series.station = "rig-1";
    s.series.uid = uid;
    s.series.kind = "verification";
    s.series.started = started;
    s.series.ended = started.substr(0, 11) + "12:30:00";
    s.series.operatorName = "petrova";
    s.series.reference = "РМ-5 № 17";
    s.series.state = SeriesState::Complete;
    s.meters = {{0, number, "ВЯ-7-1", "2.14", "15"}};
    int no = 0;
    for (const auto& [flow, error] : flowErrors) {
        PointRecord p;
        p.pointNo = ++no;
        p.setFlow = flow;
        p.ge = flow;
        p.time = started;
        p.readings = {{0, number, flow / 8, flow * (1 + error / 100), error, 0}};
        s.points.push_back(p);
    }
    s.verdicts = {{0, number, "годен", 0.5}};
    return s;
}

StoreLocation Location(const std::string& text)
{
    StoreLocation where;
    std::string error;
    if (!ParseStoreLocation(text, where, error))
        qFatal("%s", error.c_str());
    return where;
}

int Rows(CGridView* view) { return view->model()->rowCount(); }
QString Cell(CGridView* view, int row, int col) { return view->model()->index(row, col).data().toString(); }
}

class THistoryFormTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::string m_store;

    bool Settled(THistoryForm& form)
    {
        // Every answer asked for is in, whatever order they came in.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000) {
            QTest::qWait(20);
            if (!form.Loading())
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_store = m_dir.filePath("results.sqlite").toStdString();
        CResultStore store(Location(m_store));
        store.PutStoredSeries(Verification("a", "2026-03-01 09:00:00", kMeter, {{10, 0.4}, {2.5, 1.1}}));
        store.PutStoredSeries(Verification("b", "2026-03-08 09:00:00", kMeter, {{10, 0.6}, {2.5, 1.5}}));
        store.PutStoredSeries(Verification("c", "2026-03-05 09:00:00", 11000005, {{20, -0.3}}));
    }

    void theMetersSeriesPointsAndDrift()
    {
        CRecordingQtOperator op;
        THistoryForm form(Location(m_store), m_dir.path().toStdString(), VQ7_TEMPLATE_PATH);
        form.ShowForMeter(kMeter);
        QVERIFY(Settled(form));
        QCOMPARE(form.StoreMessage->text(), QStringLiteral("Серий: 2"));
        QCOMPARE(Rows(form.SeriesGrid), 2);
        QCOMPARE(Cell(form.SeriesGrid, 0, HL_DATE), QStringLiteral("2026-03-01 09:00"));
        QCOMPARE(Cell(form.SeriesGrid, 1, HL_DATE), QStringLiteral("2026-03-08 09:00"));
        QCOMPARE(Cell(form.SeriesGrid, 1, HL_OPERATOR), QStringLiteral("petrova"));
        QCOMPARE(Cell(form.SeriesGrid, 1, HL_VERDICT), QStringLiteral("годен"));
        // The latest series is chosen: its two points, the meter's errors.
        QCOMPARE(form.SeriesGrid->currentIndex().row(), 1);
        QCOMPARE(Rows(form.PointsGrid), 2);
        QCOMPARE(form.PointsGrid->model()->columnCount(), 4);
        QCOMPARE(Cell(form.PointsGrid, 0, 3), QStringLiteral("0.600"));
        QCOMPARE(Cell(form.PointsGrid, 1, 3), QStringLiteral("1.500"));
        QVERIFY(form.ReportButton->isEnabled());
        // A line per flow, a point per series.
        QCOMPARE(form.DriftChart->series().count(), 2);
        auto* low = qobject_cast<QLineSeries*>(form.DriftChart->series().at(0));
        QVERIFY(low);
        QCOMPARE(low->name(), QStringLiteral("Q = 2.5 м3/ч"));
        QCOMPARE(low->count(), 2);
        QCOMPARE(low->at(1).y(), 1.5);

        // A click on the older series shows its points.
        const QRect first = form.SeriesGrid->visualRect(form.SeriesGrid->model()->index(0, HL_KIND));
        QTest::mouseClick(form.SeriesGrid->viewport(), Qt::LeftButton, {}, first.center());
        QVERIFY(Settled(form));
        QCOMPARE(form.Chosen()->series.uid, std::string("a"));
        QCOMPARE(Cell(form.PointsGrid, 0, 3), QStringLiteral("0.400"));
        QVERIFY(op.Texts().empty());
        if (const char* dir = std::getenv("VQ7_SCREENSHOT_DIR"))
            form.grab().save(QStringLiteral("%1/history.png").arg(QString::fromLocal8Bit(dir)));
    }

    void everyMeterAndTheDatesTypedIn()
    {
        CRecordingQtOperator op;
        THistoryForm form(Location(m_store), m_dir.path().toStdString(), VQ7_TEMPLATE_PATH);
        form.show();
        QTest::keyClicks(form.NumberEdit, QStringLiteral("x11"));   // letters are refused
        QCOMPARE(form.NumberEdit->text(), QStringLiteral("11"));
        form.NumberEdit->clear();
        QTest::mouseClick(form.FindButton, Qt::LeftButton);
        QVERIFY(Settled(form));
        QCOMPARE(Rows(form.SeriesGrid), 3);
        QCOMPARE(Cell(form.SeriesGrid, 1, HL_DATE), QStringLiteral("2026-03-05 09:00"));
        // Every meter: the chart follows the chosen series' meter.
        QCOMPARE(form.Chosen()->series.uid, std::string("b"));
        QCOMPARE(form.DriftChart->series().count(), 2);

        form.FromCheck->setChecked(true);
        form.FromDate->setDate(QDate(2026, 3, 2));
        form.ToCheck->setChecked(true);
        form.ToDate->setDate(QDate(2026, 3, 5));
        QTest::mouseClick(form.FindButton, Qt::LeftButton);
        QVERIFY(Settled(form));
        QCOMPARE(Rows(form.SeriesGrid), 1);
        QCOMPARE(form.Chosen()->series.uid, std::string("c"));
        QCOMPARE(form.DriftChart->series().count(), 1);
        QCOMPARE(Cell(form.PointsGrid, 0, 3), QStringLiteral("-0.300"));

        form.ToDate->setDate(QDate(2026, 3, 1));
        QTest::mouseClick(form.FindButton, Qt::LeftButton);
        QVERIFY(form.StoreMessage->text().contains(QStringLiteral("раньше")));
    }

    void theChosenSeriesProtocolIsMadeAgainWithItsOwnDate()
    {
        CRecordingQtOperator op;
        QTemporaryDir out;
        THistoryForm form(Location(m_store), out.path().toStdString(), VQ7_TEMPLATE_PATH);
        QStringList opened;
        form.openReport = [&](const QString& path) {
            opened << path;
            return true;
        };
        form.ShowForMeter(kMeter);
        QVERIFY(Settled(form));
        QTest::mouseClick(form.ReportButton, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].startsWith(out.filePath("Reports/Поверка 2026-03-08 12-30-00")));
        QVERIFY(QFile::exists(opened[0]));
        const CDocxReadBack doc(opened[0].toStdString());
        QCOMPARE(doc.BookmarkText(kReportBookmark), ReportDateTimeText(RecordTime("2026-03-08 12:30:00")));
        QCOMPARE(doc.Cell(2, 2, 2), std::string("11000001"));
        QCOMPARE(doc.Cell(2, 3, 1), std::string("10"));
        QVERIFY(op.Texts().empty());
    }

    void aDamagedStoreIsToldInTheWindow()
    {
        CRecordingQtOperator op;
        const std::string bad = m_dir.filePath("damaged.sqlite").toStdString();
        std::ofstream(bad) << std::string(8192, 'x');
        THistoryForm form(Location(bad), m_dir.path().toStdString(), VQ7_TEMPLATE_PATH);
        form.ShowForMeter(kMeter);
        QVERIFY(Settled(form));
        QVERIFY2(form.StoreMessage->text().startsWith(QStringLiteral("Ошибка базы результатов")),
                 qPrintable(form.StoreMessage->text()));
        QCOMPARE(Rows(form.SeriesGrid), 0);
        QVERIFY(!form.ReportButton->isEnabled());
        QCOMPARE(form.DriftChart->series().count(), 0);
    }

    void aServerThatNeverAnswersLeavesTheWindowLive()
    {
        CRecordingQtOperator op;
        // Takes the connection and says nothing: libpq waits for its time-out.
        LoopbackServer silent([](LoopbackServer::Peer& peer) {
            while (!peer.Stopped())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        THistoryForm form(Location("postgresql://127.0.0.1:" + silent.PortText() + "/results?connect_timeout=2"),
                          m_dir.path().toStdString(), VQ7_TEMPLATE_PATH);
        QElapsedTimer t;
        t.start();
        form.ShowForMeter(kMeter);
        QVERIFY2(t.elapsed() < 500, "the search waited for the server");
        QVERIFY(form.Loading());
        QVERIFY(form.StoreMessage->text().startsWith(QStringLiteral("Загрузка")));
        // The event loop runs meanwhile: a timer fires on time.
        bool fired = false;
        QTimer::singleShot(50, &form, [&] { fired = true; });
        QTRY_VERIFY_WITH_TIMEOUT(fired, 1000);
        QVERIFY(form.Loading());
        QTRY_VERIFY_WITH_TIMEOUT(!form.Loading(), 10000);
        QVERIFY2(form.StoreMessage->text().startsWith(QStringLiteral("Ошибка базы результатов")),
                 qPrintable(form.StoreMessage->text()));
        QVERIFY(silent.Accepted() >= 1);
    }
};

QTEST_MAIN(THistoryFormTest)
#include "THistoryFormTest.moc"
