#include "ui/grid/GridModel.h"

CGridModel::CGridModel(CTextGrid& grid, SelectRule selectable, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_selectable(std::move(selectable)), m_nRows(GridDataRows()),
      m_nRevision(grid.Revision())
{
    m_pictures.fill(-1);
}

int CGridModel::GridDataRows() const
{
    const int rows = m_grid.RowCount() - m_grid.FixedRows();
    return rows < 0 ? 0 : rows;
}

void CGridModel::SetHeaderPictures(const std::array<int, 10>& pictures)
{
    if (pictures == m_pictures)
        return;
    m_pictures = pictures;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void CGridModel::SetHeaderMarks(const std::array<HeaderMark, 10>& marks)
{
    if (marks == m_marks)
        return;
    m_marks = marks;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QModelIndex CGridModel::IndexOfCell(int col, int gridRow) const
{
    return index(gridRow - m_grid.FixedRows(), col);
}

bool CGridModel::Selectable(int col, int gridRow) const
{
    return !m_selectable || m_selectable(col, gridRow);
}

void CGridModel::Freeze()
{
    m_frozen.clear();
    for (int r = 0; r < m_grid.RowCount(); ++r) {
        std::vector<QString> row;
        for (int c = 0; c < m_grid.ColCount(); ++c)
            row.push_back(QString::fromStdString(m_grid.Cell(c, r)));
        m_frozen.push_back(std::move(row));
    }
    m_bFrozen = true;
}

void CGridModel::Thaw()
{
    m_bFrozen = false;
    m_frozen.clear();
    m_nRevision = m_grid.Revision() + 1;   // repaint everything
    Refresh();
}

QString CGridModel::Text(int col, int gridRow) const
{
    if (!m_bFrozen)
        return QString::fromStdString(m_grid.Cell(col, gridRow));
    if (gridRow < 0 || gridRow >= static_cast<int>(m_frozen.size()) || col < 0 || col >= m_grid.ColCount())
        return {};
    return m_frozen[static_cast<size_t>(gridRow)][static_cast<size_t>(col)];
}

void CGridModel::Refresh()
{
    if (m_bFrozen)
        return;
    const int rows = GridDataRows();
    if (rows > m_nRows) {
        beginInsertRows(QModelIndex(), m_nRows, rows - 1);
        m_nRows = rows;
        endInsertRows();
    } else if (rows < m_nRows) {
        beginRemoveRows(QModelIndex(), rows, m_nRows - 1);
        m_nRows = rows;
        endRemoveRows();
    }
    if (m_grid.Revision() == m_nRevision)
        return;
    m_nRevision = m_grid.Revision();
    if (m_nRows > 0)
        emit dataChanged(index(0, 0), index(m_nRows - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void CGridModel::Reshape()
{
    beginResetModel();
    m_bFrozen = false;
    m_frozen.clear();
    m_nRows = GridDataRows();
    m_nRevision = m_grid.Revision();
    endResetModel();
}

int CGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nRows;
}

int CGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_grid.ColCount();
}

QVariant CGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int col = index.column();
    const int row = GridRow(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Text(col, row);
    case Qt::BackgroundRole:
        if (m_colour && !m_bFrozen) {
            const QColor c = m_colour(col, row);
            if (c.isValid())
                return c;
        }
        return {};
    default:
        return {};
    }
}

QVariant CGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_grid.ColCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        QStringList lines;
        for (int r = 0; r < m_grid.FixedRows(); ++r)
            lines << Text(section, r);
        return lines.join(QLatin1Char('\n'));
    }
    if (role == PictureRole)
        return section >= 1 && section <= 10 ? m_pictures[static_cast<size_t>(section - 1)] : -1;
    if ((role == MarkRole || role == Qt::ToolTipRole) && section >= 1 && section <= 10) {
        const HeaderMark& mark = m_marks[static_cast<size_t>(section - 1)];
        if (role == MarkRole)
            return mark.Colour;
        return mark.Hint.isEmpty() ? QVariant() : QVariant(mark.Hint);
    }
    return {};
}

Qt::ItemFlags CGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (Selectable(index.column(), GridRow(index))) {
        f |= Qt::ItemIsSelectable;
        if (m_edit)
            f |= Qt::ItemIsEditable;
    }
    return f;
}

bool CGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !m_edit || m_bFrozen || !(flags(index) & Qt::ItemIsEditable))
        return false;
    // The handler stores the text; the model only passes it on.
    m_edit(index.column(), GridRow(index), value.toString().toStdString());
    Refresh();
    return true;
}
