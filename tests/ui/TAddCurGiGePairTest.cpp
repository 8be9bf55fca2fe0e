// The add-current-pairs dialog against the simulated rig: the meter's pairs shown,
// moved left in Gi order, removed, and written into the meter.
#include "common/DecimalSeparator.h"
#include "support/RecordingOperator.h"
#include "support/SimRig.h"
#include "ui/dialogs/TAddCurGiGePair.h"
#include "ui/support/Shots.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

constexpr uint32_t kMeter = 4711;

QStringList Gi(const QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(2);
    return texts;
}

QStringList Gi(std::initializer_list<float> values)
{
    QStringList texts;
    for (float v : values)
        texts << QString::fromStdString(CGiGeArray::PairValueText(v));
    return texts;
}

void Tick(QTreeWidget* list, std::initializer_list<int> rows)
{
    for (int row : rows)
        list->topLevelItem(row)->setCheckState(0, Qt::Checked);
}

SimMeterConfig MeterWithPairs(std::vector<SimPair> pairs)
{
    SimMeterConfig c = FlowMeter(kMeter);
    c.pairs = std::move(pairs);
    return c;
}

}  // namespace

class TAddCurGiGePairTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalSeparator('.'); }

    void mergesTheMeterPairsAndWritesThemIntoTheMeter()
    {
        CRecordingOperator op;
        SimRig rig({MeterWithPairs({{1, 1.1f}, {3, 3.3f}, {5, 5.5f}})});
        CGiGeArray formed(&rig.Conn(), kMeter);   // identified, with the meter's pairs
        QCOMPARE(formed.m_nResult, 0);
        formed.Clear();
        formed.AddPair(2, 2.2f);
        formed.AddPair(4, 4.4f);
        formed.AddPair(6, 6.6f);

        TAddCurGiGePair dlg;
        QVERIFY(dlg.Prepare(rig.Conn(), formed));
        QCOMPARE(Gi(dlg.ListView1), Gi({2, 4, 6}));
        QCOMPARE(Gi(dlg.ListView2), Gi({1, 3, 5}));

        Tick(dlg.ListView2, {1});   // Gi 3 lies between the formed 2 and 4
        QTest::mouseClick(dlg.BtnAddTo, Qt::LeftButton);
        QCOMPARE(Gi(dlg.ListView1), Gi({2, 3, 4, 6}));
        QCOMPARE(dlg.ListView2->topLevelItem(1)->checkState(0), Qt::Unchecked);
        QCOMPARE(dlg.ListView2->topLevelItemCount(), 3);   // the meter's list keeps its items
        Tick(dlg.ListView2, {1});   // the same pair again: twice, side by side
        QTest::mouseClick(dlg.BtnAddTo, Qt::LeftButton);
        QCOMPARE(Gi(dlg.ListView1), Gi({2, 3, 3, 4, 6}));
        SaveShot(&dlg, "TAddCurGiGePair");

        Tick(dlg.ListView1, {1, 3});   // 2nd and 4th
        QTest::mouseClick(dlg.BitBtn1, Qt::LeftButton);
        QCOMPARE(Gi(dlg.ListView1), Gi({2, 3, 6}));
        QCOMPARE(dlg.ListView1->topLevelItem(0)->text(0), QString("1"));

        dlg.SaveGiGeToDevice->trigger();
        std::vector<SimPair> inMeter = rig.Meter(kMeter).Pairs();
        QCOMPARE(inMeter.size(), size_t(3));
        QCOMPARE(inMeter[0].gi, 2.0f);
        QCOMPARE(inMeter[1].ge, 3.3f);
        QCOMPARE(inMeter[2].gi, 6.0f);
        for (const RecordedMessage& m : op.Messages())
            QVERIFY2(m.kind != RecordedMessage::Error, m.text.c_str());
    }

    void aMeterWithoutPairsOpensNoDialog()
    {
        CRecordingOperator op;
        SimRig rig({MeterWithPairs({})});
        CGiGeArray formed(&rig.Conn(), kMeter);
        formed.AddPair(2, 2.2f);
        TAddCurGiGePair dlg;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = QApplication::activeModalWidget() != nullptr;
            if (shown)
                QApplication::activeModalWidget()->close();
        });
        QCOMPARE(dlg.Execute(rig.Conn(), formed), 0);
        QCoreApplication::processEvents();
        QVERIFY(!shown);
        QCOMPARE(dlg.ListView2->topLevelItemCount(), 0);
    }

    void aHeatMeterIsNotReadAndABadTextKeepsTheFormedPairs()
    {
        CRecordingOperator op;
        VQ7_INFO info;
        info.m_sType = "VQ7I";
        CGiGeArray formed(info, kMeter);
        formed.AddPair(1, 1.5f);
        formed.AddPair(2, 2.5f);
        connection nowhere;   // never opened: a heat meter's pairs are not transferred
        TAddCurGiGePair dlg;
        QVERIFY(dlg.Prepare(nowhere, formed));
        QCOMPARE(Gi(dlg.ListView2), Gi(dlg.ListView1));

        dlg.ListView2->topLevelItem(0)->setText(2, "abc");
        Tick(dlg.ListView2, {0, 1});
        QTest::mouseClick(dlg.BtnAddTo, Qt::LeftButton);
        QCOMPARE(Gi(dlg.ListView1), Gi({1, 2, 2}));   // the good one added, none lost
        QVERIFY(op.Texts().size() == 1 && op.Texts()[0] == "Ошибка перобразования String->float");

        dlg.SaveGiGeToDevice->trigger();   // sends nothing, reports nothing
        QCOMPARE(op.Texts().size(), size_t(1));
        QCOMPARE(nowhere.m_nSent, 0u);
    }
};

QTEST_MAIN(TAddCurGiGePairTest)
#include "TAddCurGiGePairTest.moc"
