#include "ui/platform/Help.h"

#include "common/AppPaths.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

QString HelpFilePath()
{
    return QDir(QString::fromStdString(ShareDir())).filePath(QStringLiteral("DOC/help.html"));
}

void OpenHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFilePath()));
}
