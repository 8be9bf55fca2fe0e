#include "ui/mainwindow/ToolIcons.h"

#include <QString>

// Static libraries register their resources only when asked.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

QIcon ToolIcon(int index)
{
    static const bool registered = (InitIconResources(), true);
    (void)registered;
    if (index < 0 || index >= kToolIconCount)
        return {};
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(index));
}
