#include "ui/grid/GridView.h"

#include "ui/grid/GridModel.h"
#include "ui/mainwindow/ToolIcons.h"

#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

#include <QApplication>
#include <QPainter>

const QColor kFixedCellColour(175, 240, 250);

CGridHeader::CGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setStyleSheet(QStringLiteral("QHeaderView::section { background-color: rgb(175,240,250);"
                                 " border: none; border-right: 1px solid #8fb8c4;"
                                 " border-bottom: 1px solid #8fb8c4; padding-left: 2px; }"));
}

QSize CGridHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    const int lines = qMax(1, model()->headerData(logicalIndex, Qt::Horizontal).toString().count('\n') + 1);
    size.setHeight(qMax(size.height(), lines * 18));
    return size;
}

void CGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect, logicalIndex);
    const QColor mark = model()->headerData(logicalIndex, Qt::Horizontal, CGridModel::MarkRole).value<QColor>();
    if (mark.isValid())
        painter->fillRect(QRect(rect.left(), rect.bottom() - 3, rect.width() - 1, 4), mark);
    const int picture = model()->headerData(logicalIndex, Qt::Horizontal, CGridModel::PictureRole).toInt();
    if (picture < 0)
        return;
    // A square at the right end of the first header line, inside the margins.
    const int lines = qMax(1, model()->headerData(logicalIndex, Qt::Horizontal).toString().count('\n') + 1);
    const int lineHeight = rect.height() / lines;
    const int side = qMax(4, lineHeight - 4);
    const QRect square(rect.right() - 2 - side, rect.top() + 2, side, side);
    painter->save();
    ToolIcon(picture).paint(painter, square);
    painter->restore();
}

CGridView::CGridView(CGridModel* model, const QString& name, QWidget* parent) : QTableView(parent), m_model(model)
{
    setObjectName(name);
    setHorizontalHeader(new CGridHeader(this));
    setModel(model);
    const CTextGrid& grid = model->Grid();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(14);
    verticalHeader()->setDefaultSectionSize(grid.DefaultRowHeight());
    horizontalHeader()->setVisible(grid.FixedRows() > 0);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    ApplyColumnWidths();
    connect(model, &QAbstractItemModel::modelReset, this, &CGridView::ApplyColumnWidths);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(false);
    setCornerButtonEnabled(false);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!current.isValid())
            return;
        const int row = m_model->GridRow(current);
        if (m_model->Selectable(current.column(), row))
            m_model->Grid().SetCurrent(current.column(), row);
    });
    connect(qApp, &QApplication::focusChanged, this, &CGridView::OnFocusChanged);
}

void CGridView::ApplyColumnWidths()
{
    // The form's widths fit Tahoma 8 pt; a wider font widens them alike.
    const CTextGrid& grid = m_model->Grid();
    const double scale = qMax(1.0, fontMetrics().horizontalAdvance(QStringLiteral("-0.000000E+00")) / 70.0);
    for (int c = 0; c < grid.ColCount(); ++c)
        setColumnWidth(c, static_cast<int>(grid.ColWidth(c) * scale + 0.5));
}

void CGridView::EndEditing()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void CGridView::ShowGridCurrent()
{
    const CTextGrid& grid = m_model->Grid();
    const QModelIndex index = m_model->IndexOfCell(grid.Col(), grid.Row());
    if (index.isValid() && index != currentIndex())
        setCurrentIndex(index);
}

void CGridView::OnFocusChanged(QWidget* old, QWidget* now)
{
    auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
    if (inside(old) && !inside(now) && now)
        emit exited();
}

QString CGridView::CellToolTip(const QModelIndex& index) const
{
    if (!index.isValid())
        return QString();
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString tip = index.data(Qt::ToolTipRole).toString();
    QFont font = this->font();
    const QVariant cellFont = index.data(Qt::FontRole);
    if (cellFont.canConvert<QFont>())
        font = cellFont.value<QFont>();
    // The text and the item's margins on both sides.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const bool cut = !text.isEmpty() && QFontMetrics(font).horizontalAdvance(text) + 2 * margin > visualRect(index).width();
    if (cut)
        return tip.isEmpty() ? text : text + QStringLiteral("\n") + tip;
    return tip;
}

bool CGridView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = CellToolTip(indexAt(help->pos()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(indexAt(help->pos())));
        return true;
    }
    return QTableView::viewportEvent(event);
}
