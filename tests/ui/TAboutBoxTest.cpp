// The About box shows the version stamped into the program file, or keeps
// "Версия " for a file without one, and stays non-modal.
#include "ui/dialogs/TAboutBox.h"
#include "ui/support/Shots.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TAboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheVersionOfTheRunningProgram()
    {
        TAboutBox* box = TAboutBox::ShowAbout();
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(box->windowTitle(), QString("О программе"));
        QCOMPARE(box->Version->text(), QString("Версия: ") + VQ7_EXPECTED_VERSION);
        // The full title, the main window's caption, and all of it within the box.
        QCOMPARE(box->ProductName->text(), QString("Программа градуировки и поверки ВЯ-7, ФЖ-7, ФЖ-7-Т-И"));
        QVERIFY(box->ProductName->heightForWidth(box->ProductName->width()) <= box->ProductName->height());
        QVERIFY(!box->ProgramIcon->pixmap().isNull());
        SaveShot(box, "TAboutBox");
        QCOMPARE(TAboutBox::ShowAbout(), box);   // one box for the run
        QTest::mouseClick(box->OKButton, Qt::LeftButton);
        QVERIFY(!box->isVisible());
    }

    void aFileWithoutVersionKeepsTheDesignText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("plain");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a program");
        file.close();
        TAboutBox box(nullptr, path.toStdString());
        QCOMPARE(box.Version->text(), QString("Версия "));
    }
};

QTEST_MAIN(TAboutBoxTest)
#include "TAboutBoxTest.moc"
