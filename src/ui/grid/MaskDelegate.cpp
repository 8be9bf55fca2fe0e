#include "ui/grid/MaskDelegate.h"

#include "ui/grid/GridModel.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

CMaskDelegate::CMaskDelegate(MaskOf maskOf, EditStarted started, QObject* parent)
    : QStyledItemDelegate(parent), m_maskOf(std::move(maskOf)), m_started(std::move(started))
{
}

int CMaskDelegate::MaskPlaces(const std::string& mask)
{
    int places = 0;
    for (char ch : mask.substr(0, mask.find(';')))
        if (ch == '9' || ch == '0')
            ++places;
    return places;
}

QWidget* CMaskDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* model = qobject_cast<const CGridModel*>(index.model());
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    const int places = model ? MaskPlaces(m_maskOf(index.column(), model->GridRow(index))) : 0;
    if (places > 0) {
        editor->setMaxLength(places);
        editor->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("\\d{0,%1}").arg(places)), editor));
    }
    // Every change reaches the cell at once, as the form's grid hands it over.
    const QPersistentModelIndex cell(index);
    connect(editor, &QLineEdit::textEdited, editor, [cell](const QString& text) {
        if (cell.isValid())
            const_cast<QAbstractItemModel*>(cell.model())->setData(cell, text, Qt::EditRole);
    });
    return editor;
}

void CMaskDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // Once per editor: later changes of the cell come from the editor itself.
    if (editor->property("editStarted").toBool())
        return;
    editor->setProperty("editStarted", true);
    auto* model = qobject_cast<const CGridModel*>(index.model());
    if (model && m_started)
        m_started(index.column(), model->GridRow(index));
    QStyledItemDelegate::setEditorData(editor, index);
}
