#include "ui/Help.h"

#include "common/CommonUtils.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString HelpFilePath()
{
    const QString programDir = QString::fromStdString(GetProgramDir());
    const QString beside = QDir(programDir).filePath(QStringLiteral("DOC/help.html"));
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = QDir(programDir).filePath(QStringLiteral("../share/vq7station/DOC/help.html"));
    return QFileInfo::exists(shared) ? QDir::cleanPath(shared) : beside;
}

void OpenHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFilePath()));
}
