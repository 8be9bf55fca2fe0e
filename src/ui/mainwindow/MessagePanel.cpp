#include "ui/mainwindow/MessagePanel.h"

CMessagePanel::CMessagePanel(QWidget* parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("MessagePanel"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    for (const CMessageLog::Entry& entry : CMessageLog::Instance().Entries())
        Append(entry);
    connect(&CMessageLog::Instance(), &CMessageLog::added, this, &CMessagePanel::Append);
}

void CMessagePanel::Append(const CMessageLog::Entry& entry)
{
    auto* item = new QListWidgetItem(CMessageLog::LineOf(entry), this);
    item->setToolTip(entry.time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + QStringLiteral("\n") + entry.text);
    if (entry.kind == QStringLiteral("Ошибка"))
        item->setForeground(QColor(170, 0, 0));
    scrollToBottom();
}
