// The reference flow dialog: what the typed text gives and shows, the keys
// and controls that close it, and the ones that do not.
#include "common/DecimalSeparator.h"
#include "support/GuiRig.h"
#include "ui/dialogs/TEditGeForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TEditGeFormTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetDecimalSeparatorFromLocale(); }

    void enteredText_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("error");
        QTest::newRow("empty") << '.' << "" << 0.0 << "0.000" << false;
        QTest::newRow("comma, point separator") << '.' << "12,5" << 12.5 << "12.500" << false;
        QTest::newRow("point, point separator") << '.' << "12.5" << 12.5 << "12.500" << false;
        QTest::newRow("point, comma separator") << ',' << "12.5" << 12.5 << "12,500" << false;
        QTest::newRow("comma, comma separator") << ',' << "12,5" << 12.5 << "12,500" << false;
        QTest::newRow("letters") << '.' << "abc" << 0.0 << "0.000" << true;
        QTest::newRow("more decimals than shown") << '.' << "12.34567" << 12.34567 << "12.346" << false;
        QTest::newRow("negative") << ',' << "-3,25" << -3.25 << "-3,250" << false;
    }
    void enteredText()
    {
        QFETCH(char, separator);
        QFETCH(QString, typed);
        QFETCH(double, value);
        QFETCH(QString, shown);
        QFETCH(bool, error);
        SetDecimalSeparator(separator);
        CRecordingQtOperator op;
        TEditGeForm form;
        form.GeValue = 7;
        form.show();
        form.EditGe()->selectAll();
        QTest::keyClick(form.EditGe(), Qt::Key_Backspace);
        QTest::keyClicks(form.EditGe(), typed);
        QTest::keyClick(form.EditGe(), Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.GeValue, value);
        QCOMPARE(form.EditGe()->text(), shown);
        QCOMPARE(op.Texts().size(), size_t(error ? 1 : 0));
    }

    // The value shown is what a dialog confirmed unchanged gives next time.
    void confirmedUnchangedTakesTheShownValue()
    {
        SetDecimalSeparator('.');
        CRecordingQtOperator op;
        TEditGeForm form;
        form.show();
        form.EditGe()->selectAll();
        QTest::keyClicks(form.EditGe(), "12.34567");
        QTest::keyClick(form.EditGe(), Qt::Key_Enter);
        QCOMPARE(form.GeValue, 12.34567);
        form.show();
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.GeValue, 12.346);
        QCOMPARE(form.EditGe()->text(), QStringLiteral("12.346"));
    }

    void onlyEnterOrOkClose()
    {
        CRecordingQtOperator op;
        TEditGeForm form;
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
        form.show();
        QTest::keyClick(form.EditGe(), Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QTest::keyClicks(form.EditGe(), "4");
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TEditGeFormTest)
#include "TEditGeFormTest.moc"
