// The profile dialog on a real profiles.ini in a temporary folder, through
// real key and mouse events.
#include "support/Shots.h"
#include "ui/profiles/TProfileForm.h"
#include "workstation/ProfileFile.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
std::string ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

void WriteAll(const QString& path, const char* text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void ClickSave(TProfileForm& form)
{
    QTest::mouseClick(form.Buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
}
}

class TProfileFormTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = m_dir->filePath("profiles.ini");
        WriteAll(m_path, "[default]\nstandard=tolerance\ntolerance=1.5\n"
                         "[11000002]\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\ncycle=60\n");
    }

    void showsTheSectionAndEnablesTheStandardsFields()
    {
        TProfileForm form(m_path.toStdString(), "11000002", 2.0);
        QCOMPARE(form.StandardBox->currentData().toString(), QString("EN1434"));
        QCOMPARE(form.QiEdit->text(), QString("0.015"));
        QVERIFY(form.QpEdit->isEnabled());
        QVERIFY(!form.Q1Edit->isEnabled());
        QVERIFY(!form.ToleranceEdit->isEnabled());
        form.StandardBox->setCurrentIndex(form.StandardBox->findData("R49"));
        QVERIFY(!form.QpEdit->isEnabled());
        QVERIFY(form.Q1Edit->isEnabled());
        QVERIFY(form.ClassEdit->isEnabled());
        QVERIFY(form.ErrorLabel->isHidden());
    }

    void refusal_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("qi not below qp") << "QiEdit" << "1.5" << "[11000002] qi: qi 1.5 is not below qp 1.5";
        QTest::newRow("class 4") << "ClassEdit" << "4" << "[11000002] class: EN1434 has no class 4 (1..3)";
        QTest::newRow("qs missing") << "QsEdit" << "" << "[11000002] qs: missing";
        QTest::newRow("temperature word") << "TemperatureEdit" << "warm"
                                          << "[11000002] temperature: not a number: warm";
    }
    // A refused section: the message in the dialog, the dialog open, the file as it was.
    void refusal()
    {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QString, message);
        const std::string before = ReadAll(m_path);
        TProfileForm form(m_path.toStdString(), "11000002", 2.0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Type(form.findChild<QLineEdit*>(edit), text);
        ClickSave(form);
        QVERIFY(form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(form.ErrorLabel->isVisible());
        if (QTest::currentDataTag() == QString("qi not below qp"))
            SaveShot(&form, "profile-refused");
        QVERIFY2(form.ErrorLabel->text().startsWith(message), qPrintable(form.ErrorLabel->text()));
        QVERIFY(form.ErrorLabel->text().contains("nothing written"));
        QCOMPARE(ReadAll(m_path), before);
    }

    // A good section is written, the other sections and the keys the dialog does not show kept.
    void savesAndTheJudgementReadsIt()
    {
        TProfileForm form(m_path.toStdString(), "11000002", 2.0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.StandardBox->setCurrentIndex(form.StandardBox->findData("R49"));
        Type(form.ClassEdit, "1");
        Type(form.Q1Edit, "0,1");
        Type(form.Q3Edit, "2.5");
        form.RuleBox->setCurrentIndex(form.RuleBox->findData("guarded"));
        Type(form.TemperatureEdit, "50");
        ClickSave(form);
        QVERIFY2(form.ErrorLabel->isHidden(), qPrintable(form.ErrorLabel->text()));
        QCOMPARE(form.result(), int(QDialog::Accepted));

        CProfileSet set;
        std::string error;
        QVERIFY(set.Load(m_path.toStdString(), 2.0, error));
        VerificationProfile p;
        QVERIFY2(set.ProfileFor(11000002, p, error), error.c_str());
        QCOMPARE(p.standard, EStandard::R49);
        QCOMPARE(p.q1, 0.1);
        QCOMPARE(p.rule, EDecisionRule::Guarded);
        QCOMPARE(p.temperature, 50.0);
        QCOMPARE(p.cycleSeconds, 60.0);
        QVERIFY(set.ProfileFor(0, p, error));
        QCOMPARE(p.tolerance, 1.5);
        QVERIFY(!QFile::exists(m_path + ".tmp"));
    }

    void defaultSectionOfAFileNotThereYet()
    {
        const QString path = m_dir->filePath("new.ini");
        TProfileForm form(path.toStdString(), kDefaultProfileSection, 2.0);
        QCOMPARE(form.StandardBox->currentData().toString(), QString("tolerance"));
        QVERIFY(form.windowTitle().contains("по умолчанию"));
        Type(form.ToleranceEdit, "0.8");
        QVERIFY(form.SaveClick());
        CProfileSet set;
        std::string error;
        QVERIFY(set.Load(path.toStdString(), 2.0, error));
        VerificationProfile p;
        QVERIFY(set.ProfileFor(11000099, p, error));
        QCOMPARE(p.tolerance, 0.8);
    }

    // A file that cannot be read is never overwritten from the dialog.
    void unreadableFileCannotBeSaved()
    {
        QVERIFY(QDir(m_dir->path()).mkdir("folder.ini"));
        TProfileForm form(m_dir->filePath("folder.ini").toStdString(), "11000002", 2.0);
        QVERIFY(form.ErrorLabel->text().contains("cannot be read"));
        QVERIFY(!form.Buttons->button(QDialogButtonBox::Save)->isEnabled());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_MAIN(TProfileFormTest)
#include "TProfileFormTest.moc"
