#pragma once
// The rows of the bus monitor as a table: time, direction, meter, command, bytes,
// error; rows with an error are painted red. Keeps at most a fixed number of
// rows, dropping the oldest.
#include "protocol/vq7prot/MonitorFeed.h"

#include <QAbstractTableModel>
#include <deque>

class CMonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColTime, ColDirection, ColMeter, ColCommand, ColBytes, ColError, ColumnCount };

    explicit CMonitorModel(size_t maxRows = 50000, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void Append(std::vector<CMonitorRow>& rows);
    void Clear();
    const CMonitorRow& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    // One text line of a row, with its cells separated by two blanks.
    QString RowText(int row) const;
    uint64_t ErrorCount() const { return m_nErrors; }

private:
    QString Cell(const CMonitorRow& row, int column) const;

    size_t m_nMaxRows;
    std::deque<CMonitorRow> m_rows;
    uint64_t m_nErrors = 0;
};
