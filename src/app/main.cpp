// vq7station: creates the windows and runs the event loop.
#include "ui/platform/Application.h"
#include "ui/platform/QtOperator.h"
#include "ui/mainwindow/StartupWindows.h"

#include <QCommandLineParser>
#include <exception>

int main(int argc, char* argv[])
{
    CApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vq7station"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Calibration and verification of the flow channel of meters."));
    parser.addHelpOption();
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("Folder of config.ini, Log/ and BACKUP/ (default: the data folder, see README)."),
                                 QStringLiteral("path"));
    parser.addOption(dir);
    parser.process(app);

    CQtOperator op;
    try {
        CStartupWindows windows(parser.value(dir).toStdString());
        windows.Form1.show();
        return app.exec();
    } catch (const std::exception& e) {
        CApplication::ShowException(e.what());
        return 1;
    }
}
