// "Описание" opens the guide copied beside the program, through the desktop's handler.
#include "ui/platform/Help.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void opensTheGuideBesideTheProgram()
    {
        const QString path = HelpFilePath();
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), QCoreApplication::applicationDirPath() + "/DOC");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        for (const char* section : {"Подключение установки", "Резервные копии и восстановление", "Сообщения программы"})
            QVERIFY2(html.contains(QString::fromUtf8(section)), section);

        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        OpenHelp();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls[0].toLocalFile(), path);
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
