#include "ui/platform/MessageLog.h"

CMessageLog& CMessageLog::Instance()
{
    static CMessageLog log;
    return log;
}

void CMessageLog::Add(const QString& kind, const QString& text, bool shown)
{
    Entry entry{QDateTime::currentDateTime(), kind, text, shown};
    m_entries.push_back(entry);
    emit added(entry);
}

QString CMessageLog::LineOf(const Entry& entry)
{
    QString text = entry.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return entry.time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + entry.kind +
           QStringLiteral(": ") + text.simplified();
}
