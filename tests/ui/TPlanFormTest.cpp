// The test plan window over the simulated rig with its Modbus reference and
// drive: a calibration plan runs by itself, writes its pairs and verifies
// after them; a reference fault stops it with the reason; a plan that cannot
// run is refused before the bus.
#include "common/DecimalSeparator.h"
#include "rig/RigConfig.h"
#include "sim/ModbusRig.h"
#include "support/GuiRig.h"
#include "ui/dialogs/TEditGeForm.h"
#include "ui/mainwindow/StartupWindows.h"
#include "ui/plans/TPlanForm.h"
#include "workstation/MeasurementRows.h"
#include "workstation/PairForming.h"
#include "workstation/Workstation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <fstream>
#include <regex>

namespace {
const std::vector<uint32_t> kTen = {11000001, 11000002, 11000003, 11000004, 11000005,
                                    11000006, 11000007, 11000008, 11000009, 11000010};

// The simulator's Modbus rig beside the bus, and config.ini's [RIG] pointing at it.
struct ModbusBeside {
    explicit ModbusBeside(CGuiRig& rig)
    {
        rig.Rig().SetFlow(10);
        rig.Rig().SetSettleSeconds(0.1);
        slave = CSimModbus::Start(rig.Rig(), "127.0.0.1", 0);
        if (!slave)
            return;
        std::string text = RigSectionText("127.0.0.1", slave->Port());
        text = std::regex_replace(text, std::regex("settle_time=.*"), "settle_time=0.3");
        text = std::regex_replace(text, std::regex("settle_timeout=.*"), "settle_timeout=4");
        std::ofstream(rig.Dir() + "/config.ini", std::ios::app) << text;
    }
    std::unique_ptr<CSimModbus> slave;
};

QString MetersText(const std::vector<uint32_t>& numbers)
{
    QStringList items;
    for (uint32_t n : numbers)
        items << QString::number(CGuiRig::Number(n)) + QStringLiteral(":50");
    return items.join(QStringLiteral(", "));
}

// Counts the Ge dialog's appearances; an unattended plan never shows it.
struct DialogWatch {
    explicit DialogWatch(TEditGeForm& form)
    {
        QObject::connect(&timer, &QTimer::timeout, [&form, this] {
            if (form.isVisible()) {
                ++shown;
                QTest::keyClick(form.EditGe(), Qt::Key_Enter);
            }
        });
        timer.start(20);
    }
    QTimer timer;
    int shown = 0;
};
}

class TPlanFormTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalSeparator('.'); }
    void cleanup() { ResetDecimalSeparatorFromLocale(); }

    void calibrationPlanRunsByItselfOverTenMeters()
    {
        CRecordingQtOperator op;
        CGuiRig rig(kTen);
        QVERIFY(rig.Ok());
        ModbusBeside modbus(rig);
        QVERIFY(modbus.slave);
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        f.Ws->Pairs.m_nRebootWaitMs = 0;
        DialogWatch watch(w.EditGeForm);
        QVERIFY(ShowActive(&f));
        f.PlanClick();
        TPlanForm* form = f.PlanForm();
        QVERIFY(form && form->isVisible());

        form->KindBox()->setCurrentIndex(0);
        form->MetersEdit()->setText(MetersText(kTen));
        form->PointsEdit()->setText(QStringLiteral("20:2, 8:2, 2:2"));
        form->VerifyEdit()->setText(QStringLiteral("8:1"));
        form->WriteBox()->setChecked(true);
        QStringList progress;
        QTimer sample;
        connect(&sample, &QTimer::timeout, [&] {
            if (!form->ProgressLabel()->text().isEmpty() && !progress.contains(form->ProgressLabel()->text()))
                progress << form->ProgressLabel()->text();
        });
        sample.start(10);
        QTest::mouseClick(form->RunButton(), Qt::LeftButton);

        QVERIFY2(form->OutcomeLabel()->text() == QStringLiteral("План выполнен."),
                 qPrintable(form->OutcomeLabel()->text() + "\n" + QString::fromStdString(
                     op.Texts().empty() ? std::string() : op.Texts().back())));
        QCOMPARE(watch.shown, 0);
        QVERIFY2(progress.first() == QStringLiteral("расход 20 м3/ч задан, ждем, пока установится"),
                 qPrintable(progress.join('\n')));
        QVERIFY2(!progress.filter(QStringLiteral("точка 1 из 4, цикл 1 из 2, осталось ~")).isEmpty(),
                 qPrintable(progress.join('\n')));
        QVERIFY(progress.last().startsWith(QStringLiteral("точка 4 из 4, цикл 1 из 1")));
        QVERIFY(form->RunButton()->isEnabled());
        QVERIFY(!form->PauseButton()->isEnabled());
        // Each meter that keeps pairs got three, their Ge the flows the drive set, within the noise.
        int written = 0;
        for (uint32_t n : kTen) {
            const auto pairs = rig.Rig().Meter(CGuiRig::Number(n))->Pairs();
            if (pairs.empty())
                continue;
            ++written;
            // The older software of 11000003 has no pair count: its table keeps its length.
            QVERIFY2(pairs.size() == 3 || (n == 11000003 && pairs.size() > 3),
                     qPrintable(QStringLiteral("meter %1: %2 pairs").arg(n).arg(pairs.size())));
            const double flows[] = {2, 8, 20};
            for (size_t i = 0; i < 3; ++i)
                QVERIFY2(std::fabs(pairs[i].ge - flows[i]) < flows[i] * 0.01,
                         qPrintable(QStringLiteral("meter %1 pair %2: Ge %3").arg(n).arg(i).arg(pairs[i].ge)));
        }
        QVERIFY(written >= 9);
        // The verification after them holds its row; the pump is stopped.
        QCOMPARE(DataRowCount(f.Ws->Tables.StringGrid3), 1);
        QCOMPARE(rig.Rig().Flow(), 0.0);
    }

    void referenceFaultStopsThePlanWithItsReason()
    {
        CRecordingQtOperator op;
        CGuiRig rig({11000002, 11000004});
        QVERIFY(rig.Ok());
        ModbusBeside modbus(rig);
        QVERIFY(modbus.slave);
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        QVERIFY(ShowActive(&f));
        f.PlanClick();
        TPlanForm* form = f.PlanForm();
        form->KindBox()->setCurrentIndex(1);
        form->MetersEdit()->setText(MetersText({11000002, 11000004}));
        form->PointsEdit()->setText(QStringLiteral("10:2"));
        // 30 m3/h: a set-point the stuck reading never reaches, so the flow never settles.
        modbus.slave->SetFault(ModbusFault::Stuck);
        form->PointsEdit()->setText(QStringLiteral("30:1"));
        QTest::mouseClick(form->RunButton(), Qt::LeftButton);
        QVERIFY2(form->OutcomeLabel()->text().startsWith(QStringLiteral("План остановлен: расход не установился")),
                 qPrintable(form->OutcomeLabel()->text()));
        modbus.slave->SetFault(ModbusFault::None);
        form->PointsEdit()->setText(QStringLiteral("10:2"));
        // A reference whose values stand still at the set flow: the flow seems settled, the
        // cycle's volume does not grow, and the plan stops saying so.
        modbus.slave->SetFault(ModbusFault::Stuck);
        QTest::mouseClick(form->RunButton(), Qt::LeftButton);
        QVERIFY2(form->OutcomeLabel()->text().startsWith(QStringLiteral("План остановлен: цикл при 10 м3/ч")) &&
                     form->OutcomeLabel()->text().contains(QStringLiteral("показание стоит")),
                 qPrintable(form->OutcomeLabel()->text()));
        QCOMPARE(DataRowCount(f.Ws->Tables.StringGrid3), 0);
    }

    // Without "write" the plan asks once its pairs are saved; "Нет" leaves every meter as it was.
    void pairsAreWrittenOnlyWhenTheOperatorSaysSo()
    {
        CRecordingQtOperator op;
        op.confirmAnswer = false;
        CGuiRig rig({11000002, 11000004});
        QVERIFY(rig.Ok());
        ModbusBeside modbus(rig);
        QVERIFY(modbus.slave);
        const auto pairsBefore = rig.Rig().Meter(CGuiRig::Number(11000004))->Pairs();
        CStartupWindows w(rig.Dir());
        TForm1& f = w.Form1;
        f.Timer1->setInterval(30);
        QVERIFY(ShowActive(&f));
        f.PlanClick();
        TPlanForm* form = f.PlanForm();
        form->MetersEdit()->setText(MetersText({11000002, 11000004}));
        form->PointsEdit()->setText(QStringLiteral("20:1, 4:1"));
        form->VerifyEdit()->setText(QStringLiteral("10:1"));
        form->WriteBox()->setChecked(false);
        QTest::mouseClick(form->RunButton(), Qt::LeftButton);
        QVERIFY2(form->OutcomeLabel()->text().contains(QStringLiteral("в счетчики не записаны")),
                 qPrintable(form->OutcomeLabel()->text()));
        bool asked = false;
        for (const std::string& t : op.Texts())
            asked = asked || t.find("Записать их в счетчики") != std::string::npos;
        QVERIFY(asked);
        QVERIFY(QFile::exists(QString::fromStdString(rig.Dir() + "/Log/00110004.dat")));
        const auto pairsAfter = rig.Rig().Meter(CGuiRig::Number(11000004))->Pairs();
        QCOMPARE(pairsAfter.size(), pairsBefore.size());
        QCOMPARE(DataRowCount(f.Ws->Tables.StringGrid3), 0);
    }

    void planThatCannotRunIsRefusedBeforeTheBus()
    {
        CRecordingQtOperator op;
        TPlanForm form;
        bool ran = false;
        form.onRun = [&](const TestPlan&) { ran = true; };
        form.KindBox()->setCurrentIndex(1);
        form.MetersEdit()->setText(QStringLiteral("110002"));
        form.PointsEdit()->setText(QStringLiteral("10:2, abc"));
        QVERIFY(!form.VerifyEdit()->isEnabled());
        form.RunClick();
        QVERIFY(!ran);
        QCOMPARE(op.Texts().size(), size_t(1));
        QVERIFY2(op.Texts()[0].find("\"points\"[1]") != std::string::npos, op.Texts()[0].c_str());

        TestPlan plan;
        plan.calibration = true;
        plan.meters = {{110002, "65"}};
        plan.points = {{20, 2}, {4.5, 1}};
        plan.verifyAfter = {{10, 1}};
        plan.write = true;
        form.SetPlan(plan);
        TestPlan read;
        QVERIFY(form.ReadPlan(read));
        QCOMPARE(QString::fromStdString(TestPlanJson(read)), QString::fromStdString(TestPlanJson(plan)));
        form.RunClick();
        QVERIFY(ran);
    }
};

QTEST_MAIN(TPlanFormTest)
#include "TPlanFormTest.moc"
