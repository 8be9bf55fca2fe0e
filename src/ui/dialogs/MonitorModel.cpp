#include "ui/dialogs/MonitorModel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

CMonitorModel::CMonitorModel(size_t maxRows, QObject* parent) : QAbstractTableModel(parent), m_nMaxRows(maxRows) {}

int CMonitorModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CMonitorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CMonitorModel::Cell(const CMonitorRow& row, int column) const
{
    const CDecodedFrame& f = row.m_Frame;
    switch (column) {
    case ColTime:
        return QDateTime::fromMSecsSinceEpoch(row.m_nTimeMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case ColDirection:
        return f.m_bReceived ? QStringLiteral("ответ") : QStringLiteral("запрос");
    case ColMeter:
        return f.m_bHasMeter ? QString::number(f.m_dwMeter) : QString();
    case ColCommand:
        return QString::fromStdString(f.m_sCommand);
    case ColBytes:
        return QString::fromStdString(HexBytes(f.m_abBytes));
    case ColError:
        return QString::fromStdString(f.m_sError);
    default:
        return QString();
    }
}

QVariant CMonitorModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const CMonitorRow& row = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return Cell(row, index.column());
    case Qt::ToolTipRole:
        return index.column() == ColBytes || index.column() == ColError ? Cell(row, index.column()) : QVariant();
    case Qt::ForegroundRole:
        if (!row.m_Frame.m_sError.empty())
            return QBrush(QColor(170, 0, 0));
        return row.m_Frame.m_bReceived ? QVariant() : QVariant(QBrush(QColor(0, 70, 140)));
    case Qt::BackgroundRole:
        return row.m_Frame.m_sError.empty() ? QVariant() : QVariant(QBrush(QColor(255, 220, 220)));
    default:
        return QVariant();
    }
}

QVariant CMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const titles[] = {"Время", "Кадр", "Счетчик", "Команда", "Байты", "Ошибка"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

void CMonitorModel::Append(std::vector<CMonitorRow>& rows)
{
    if (rows.empty())
        return;
    // Keep the newest m_nMaxRows of old and new together.
    const size_t incoming = std::min(rows.size(), m_nMaxRows);
    const size_t keepOld = std::min(m_rows.size(), m_nMaxRows - incoming);
    if (keepOld < m_rows.size()) {
        const int drop = static_cast<int>(m_rows.size() - keepOld);
        beginRemoveRows(QModelIndex(), 0, drop - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + drop);
        endRemoveRows();
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(incoming) - 1);
    for (size_t i = rows.size() - incoming; i < rows.size(); ++i) {
        if (!rows[i].m_Frame.m_sError.empty())
            ++m_nErrors;
        m_rows.push_back(std::move(rows[i]));
    }
    endInsertRows();
}

void CMonitorModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_nErrors = 0;
    endResetModel();
}

QString CMonitorModel::RowText(int row) const
{
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells << Cell(m_rows[static_cast<size_t>(row)], c);
    while (!cells.isEmpty() && cells.back().isEmpty())
        cells.removeLast();
    return cells.join(QStringLiteral("  "));
}
