#include "ui/editor/GiGeGridModel.h"

#include "workstation/TextGrid.h"

CGiGeGridModel::CGiGeGridModel(CTextGrid& grid, EditHandler onEdit, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_onEdit(std::move(onEdit))
{
    Refresh();
}

int CGiGeGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nShownRows;
}

int CGiGeGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_grid.ColCount(); }

QVariant CGiGeGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() + 1 >= m_grid.RowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return QString::fromStdString(m_grid.Cell(index.column(), index.row() + 1));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant CGiGeGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromStdString(m_grid.Cell(section, 0));
}

Qt::ItemFlags CGiGeGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_grid.FixedRows() > 0 && index.column() >= m_grid.FixedCols())
        f |= Qt::ItemIsEditable;
    return f;
}

bool CGiGeGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const std::string text = value.toString().trimmed().toStdString();
    if (text == m_grid.Cell(index.column(), index.row() + 1))
        return false;
    m_onEdit(index.column(), index.row() + 1, text);
    return true;
}

void CGiGeGridModel::Refresh()
{
    if (m_nShownRevision == m_grid.Revision())
        return;
    const int rows = m_grid.RowCount() - 1;
    if (rows != m_nShownRows) {
        beginResetModel();
        m_nShownRows = rows;
        m_nShownRevision = m_grid.Revision();
        endResetModel();
        return;
    }
    m_nShownRevision = m_grid.Revision();
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, m_grid.ColCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, m_grid.ColCount() - 1);
}
