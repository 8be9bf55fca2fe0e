// vq7station: creates the windows and runs the event loop.
#include "common/CommonUtils.h"
#include "common/FileVersion.h"
#include "ui/platform/Application.h"
#include "ui/platform/QtOperator.h"
#include "ui/mainwindow/StartupWindows.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstring>
#include <exception>

namespace {
// --help and --version are answered before the window's application exists,
// which needs a display.
bool AsksForHelpOrVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(a, option) == 0)
                return true;
    }
    return false;
}
}  // namespace

int main(int argc, char* argv[])
{
    SetProgramName("vq7station");
    QCoreApplication::setApplicationName(QStringLiteral("vq7station"));
    QCoreApplication::setApplicationVersion(QString::fromStdString(ProgramVersionText()));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Calibration and verification of the flow channel of meters."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("Folder of config.ini, Log/ and BACKUP/ (default: the data folder, see README)."),
                                 QStringLiteral("path"));
    parser.addOption(dir);

    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication text(argc, argv);
        // Window options (-platform ...) are no fault here: the answer is the same.
        parser.parse(QCoreApplication::arguments());
        if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
            parser.showHelp(0);
        if (parser.isSet(version))
            parser.showVersion();
    }

    CApplication app(argc, argv);
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
