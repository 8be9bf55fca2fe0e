#include "ui/support/Shots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

bool ShotsWanted()
{
    return qEnvironmentVariableIsSet("VQ7_GUI_SHOTS");
}

void SaveShot(QWidget* widget, const char* name)
{
    if (!ShotsWanted())
        return;
    const QDir dir(qEnvironmentVariable("VQ7_GUI_SHOTS"));
    dir.mkpath(QStringLiteral("."));
    widget->grab().save(dir.filePath(QString::fromLatin1(name) + QStringLiteral(".png")));
}
