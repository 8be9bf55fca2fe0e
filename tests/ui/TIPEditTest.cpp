// The IPv4 edit through real key events, and its text conversions.
#include "ui/dialogs/TIPEdit.h"

#include <QLineEdit>
#include <QtTest>

class TIPEditTest : public QObject {
    Q_OBJECT
private slots:
    void conversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "192.168.0.1" << quint32(0xC0A80001) << "192.168.0.1";
        QTest::newRow("zeros") << "0.0.0.0" << quint32(0) << "0.0.0.0";
        QTest::newRow("leading zeros") << "010.001.000.009" << quint32(0x0A010009) << "10.1.0.9";
        QTest::newRow("part above 255") << "1.2.3.256" << quint32(0xFFFFFFFF) << "255.255.255.255";
        QTest::newRow("three parts") << "1.2.3" << quint32(0xFFFFFFFF) << "255.255.255.255";
        QTest::newRow("five parts") << "1.2.3.4.5" << quint32(0xFFFFFFFF) << "255.255.255.255";
        QTest::newRow("name") << "localhost" << quint32(0xFFFFFFFF) << "255.255.255.255";
        QTest::newRow("empty") << "" << quint32(0xFFFFFFFF) << "255.255.255.255";
        QTest::newRow("blank inside") << "1. 2.3.4" << quint32(0xFFFFFFFF) << "255.255.255.255";
    }
    void conversions()
    {
        QFETCH(QString, text);
        QFETCH(quint32, address);
        QFETCH(QString, shown);
        QCOMPARE(TIPEdit::StringToIP(text.toStdString()), address);
        TIPEdit edit;
        edit.SetIP(text.toStdString());
        QCOMPARE(QString::fromStdString(edit.GetIP()), shown);
        QCOMPARE(QString::fromStdString(TIPEdit::IPToString(address)), shown);
    }

    void typingMovesBetweenTheFields()
    {
        TIPEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.Clear();
        QVERIFY(edit.GetIsEmpty());
        edit.Field(0)->setFocus();
        // A full field moves on; a point moves on; letters and a 4th digit are refused.
        QTest::keyClicks(edit.Field(0), "192");
        QVERIFY(edit.Field(1)->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), "16x8.");
        QVERIFY(edit.Field(2)->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), "0.");
        QTest::keyClicks(QApplication::focusWidget(), "77");
        QVERIFY(!edit.GetIsEmpty());
        QCOMPARE(QString::fromStdString(edit.GetIP()), QString("192.168.0.77"));
        QTest::keyClicks(QApplication::focusWidget(), "9");   // 779 > 255: refused
        QCOMPARE(edit.Field(3)->text(), QString("77"));
    }

    void arrowsAndBackspaceCrossFieldEdges()
    {
        TIPEdit edit;
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.SetIP("1.22.3.4");
        edit.Field(1)->setFocus();
        edit.Field(1)->setCursorPosition(0);
        QTest::keyClick(edit.Field(1), Qt::Key_Right);   // inside the field
        QVERIFY(edit.Field(1)->hasFocus());
        QTest::keyClick(edit.Field(1), Qt::Key_Right);
        QTest::keyClick(edit.Field(1), Qt::Key_Right);   // past its end: next field
        QVERIFY(edit.Field(2)->hasFocus());
        QTest::keyClick(edit.Field(2), Qt::Key_Left);    // at its start: back
        QVERIFY(edit.Field(1)->hasFocus());
        QTest::keyClick(edit.Field(1), Qt::Key_Backspace);
        QCOMPARE(edit.Field(1)->text(), QString("2"));
        QTest::keyClick(edit.Field(1), Qt::Key_Backspace);
        QTest::keyClick(edit.Field(1), Qt::Key_Backspace);   // empty: to the field before
        QVERIFY(edit.Field(0)->hasFocus());
        QCOMPARE(QString::fromStdString(edit.GetIP()), QString("1.0.3.4"));
        edit.Field(0)->setCursorPosition(0);
        QTest::keyClick(edit.Field(0), Qt::Key_Left);    // no field before the first
        QVERIFY(edit.Field(0)->hasFocus());
    }
};

QTEST_MAIN(TIPEditTest)
#include "TIPEditTest.moc"
