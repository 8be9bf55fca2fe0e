#pragma once
// Every message of the session with its time, for the main window's message
// panel: what the boxes showed, and the notices an unattended run did not show.
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

class CMessageLog : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QDateTime time;
        QString kind;   // "Ошибка", "Предупреждение", "Информация", "Сообщение", "Вопрос"
        QString text;
        bool shown = true;   // false: logged instead of a box (unattended run)
    };

    // The session's log (lives on the GUI thread).
    static CMessageLog& Instance();

    // GUI thread only.
    void Add(const QString& kind, const QString& text, bool shown);
    const QVector<Entry>& Entries() const { return m_entries; }
    // One line of the panel: "hh:mm:ss  kind: text" with the text on one line.
    static QString LineOf(const Entry& entry);

signals:
    void added(const CMessageLog::Entry& entry);

private:
    QVector<Entry> m_entries;
};
