#pragma once
// The calibration editor's grid shown through a table model: row 0 of the text
// grid is the header, the columns left of the grid's fixed columns are read-only,
// and an edit goes to a handler instead of the cell.
#include <QAbstractTableModel>

#include <functional>
#include <string>

class CTextGrid;

class CGiGeGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using EditHandler = std::function<void(int col, int row, const std::string& text)>;
    CGiGeGridModel(CTextGrid& grid, EditHandler onEdit, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Re-reads the grid when it changed since the last refresh.
    void Refresh();

private:
    CTextGrid& m_grid;
    EditHandler m_onEdit;
    uint64_t m_nShownRevision = ~0ull;
    int m_nShownRows = -1;
};
