// The reference flow dialog: what the typed text gives and shows, the texts it
// refuses, Escape that drops the cycle, its frame and its size in every font.
#include "common/DecimalSeparator.h"
#include "support/GuiRig.h"
#include "ui/dialogs/TEditGeForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TEditGeFormTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { ResetDecimalSeparatorFromLocale(); }

    void acceptedText_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("comma, point separator") << '.' << "12,5" << 12.5 << "12.500";
        QTest::newRow("point, point separator") << '.' << "12.5" << 12.5 << "12.500";
        QTest::newRow("point, comma separator") << ',' << "12.5" << 12.5 << "12,500";
        QTest::newRow("comma, comma separator") << ',' << "12,5" << 12.5 << "12,500";
        QTest::newRow("more decimals than shown") << '.' << "12.34567" << 12.34567 << "12.346";
        QTest::newRow("blanks around") << '.' << " 3.25 " << 3.25 << "3.250";
    }
    void acceptedText()
    {
        QFETCH(char, separator);
        QFETCH(QString, typed);
        QFETCH(double, value);
        QFETCH(QString, shown);
        SetDecimalSeparator(separator);
        CRecordingQtOperator op;
        TEditGeForm form;
        form.GeValue = 7;
        form.show();
        Retype(form, typed);
        QTest::keyClick(form.EditGe(), Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.GeValue, value);
        QCOMPARE(form.EditGe()->text(), shown);
        QVERIFY(op.Texts().empty());
    }

    // Not a number, zero, negative or nothing: the dialog stays, says why, and records nothing.
    void refusedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byClick");
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("negative") << "-1" << false;
        QTest::newRow("zero with decimals") << "0,000" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("letters, Ок clicked") << "abc" << true;
        QTest::newRow("negative, Ок clicked") << "-1" << true;
    }
    void refusedText()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byClick);
        SetDecimalSeparator('.');
        CRecordingQtOperator op;
        TEditGeForm form;
        form.GeValue = 7;
        form.show();
        Retype(form, typed);
        if (byClick)
            QTest::mouseClick(form.Button1(), Qt::LeftButton);
        else
            QTest::keyClick(form.EditGe(), Qt::Key_Return);
        QVERIFY(form.isVisible());
        QCOMPARE(form.GeValue, 7.0);
        QCOMPARE(form.EditGe()->text(), typed);
        QCOMPARE(op.Texts().size(), size_t(1));

        // Mended, it closes.
        Retype(form, QStringLiteral("4"));
        QTest::keyClick(form.EditGe(), Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.GeValue, 4.0);
    }

    // The value shown is what a dialog confirmed unchanged gives next time.
    void confirmedUnchangedTakesTheShownValue()
    {
        SetDecimalSeparator('.');
        CRecordingQtOperator op;
        TEditGeForm form;
        form.show();
        Retype(form, QStringLiteral("12.34567"));
        QTest::keyClick(form.EditGe(), Qt::Key_Enter);
        QCOMPARE(form.GeValue, 12.34567);
        form.show();
        QTest::mouseClick(form.Button1(), Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.GeValue, 12.346);
        QCOMPARE(form.EditGe()->text(), QStringLiteral("12.346"));
    }

    // The reference's Ge comes filled in with its source shown; Enter takes it, and the
    // next manual prompt shows no source.
    void referenceValueIsFilledInAndItsSourceShown()
    {
        SetDecimalSeparator(',');
        CRecordingQtOperator op;
        TEditGeForm form;
        std::optional<double> taken;
        QTimer::singleShot(0, &form, [&] {
            QVERIFY(form.SourceLabel()->isVisible());
            QCOMPARE(form.SourceLabel()->text(), QStringLiteral("Источник: эталон по Modbus"));
            QCOMPARE(form.EditGe()->text(), QStringLiteral("9,876543"));
            QTest::keyClick(form.EditGe(), Qt::Key_Enter);
        });
        taken = form.AskWith(9.876543, QStringLiteral("эталон по Modbus"));
        QVERIFY(taken);
        QCOMPARE(*taken, 9.876543);
        QVERIFY(!form.SourceLabel()->isVisible());
        QVERIFY(op.Texts().empty());
    }

    // Escape, and only Escape, offers to drop the cycle; "no" leaves the dialog open.
    void escapeDropsTheCycle_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("onButton");
        QTest::newRow("no") << false << false;
        QTest::newRow("yes") << true << false;
        QTest::newRow("yes, focus on Ок") << true << true;
    }
    void escapeDropsTheCycle()
    {
        QFETCH(bool, yes);
        QFETCH(bool, onButton);
        SetDecimalSeparator('.');
        CRecordingQtOperator op;
        op.confirmAnswer = yes;
        TEditGeForm form;
        form.GeValue = 7;
        bool stayedOpen = false;
        QTimer::singleShot(0, &form, [&] {
            QWidget* target = onButton ? static_cast<QWidget*>(form.Button1()) : form.EditGe();
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
            stayedOpen = form.isVisible();
            if (stayedOpen) {   // the frame does not drop it either
                QVERIFY(!form.close());
                Retype(form, QStringLiteral("5"));
                QTest::keyClick(form.EditGe(), Qt::Key_Return);
            }
        });
        const std::optional<double> ge = form.Ask();
        QCOMPARE(op.Texts().size(), size_t(1));
        QVERIFY(op.Texts()[0].rfind("Отбросить этот цикл?", 0) == 0);
        QCOMPARE(stayedOpen, !yes);
        QCOMPARE(ge.has_value(), !yes);
        if (ge)
            QCOMPARE(*ge, 5.0);
        else
            QCOMPARE(form.GeValue, 7.0);
        // The next cycle asks again as usual.
        QTimer::singleShot(0, &form, [&] {
            Retype(form, QStringLiteral("6"));
            QTest::keyClick(form.EditGe(), Qt::Key_Return);
        });
        QCOMPARE(form.Ask(), std::optional<double>(6.0));
    }

    // No window-frame button: the form has none.
    void frameButtons()
    {
        TEditGeForm form;
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(flags & Qt::WindowTitleHint);
        for (Qt::WindowType button : {Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
                                      Qt::WindowMaximizeButtonHint, Qt::WindowSystemMenuHint,
                                      Qt::WindowContextHelpButtonHint})
            QVERIFY2(!(flags & button), qPrintable(QString::number(int(button), 16)));
    }

    // The label is whole and the dialog at least its form's size, whatever the font.
    void fitsItsTexts_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("8 pt") << 8;
        QTest::newRow("10 pt") << 10;
        QTest::newRow("12 pt") << 12;
    }
    void fitsItsTexts()
    {
        QFETCH(int, points);
        TEditGeForm form;
        form.setFont(QFont(QStringLiteral("DejaVu Sans"), points));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QLabel* label = form.Label1();
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        QVERIFY2(label->contentsRect().width() >= needed,
                 qPrintable(QStringLiteral("%1 < %2").arg(label->contentsRect().width()).arg(needed)));
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(form.Button1()->width() >= form.Button1()->sizeHint().width());
        QVERIFY(form.width() >= TEditGeForm::kClientWidth && form.height() >= TEditGeForm::kClientHeight);
        QVERIFY(form.size().expandedTo(form.sizeHint()) == form.size());
        if (points > 8)
            QVERIFY(form.width() > TEditGeForm::kClientWidth);
    }

private:
    static void Retype(TEditGeForm& form, const QString& text)
    {
        form.EditGe()->selectAll();
        QTest::keyClick(form.EditGe(), Qt::Key_Backspace);
        QTest::keyClicks(form.EditGe(), text);
    }
};

QTEST_MAIN(TEditGeFormTest)
#include "TEditGeFormTest.moc"
