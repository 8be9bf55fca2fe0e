#pragma once
// One table model for every text grid of the windows: the grid's fixed rows
// are the header, its other rows the model's rows. The cells stay in the grid;
// edits go to a handler, which writes them, and Refresh() brings the views in
// step after the grid changed.
#include "workstation/TextGrid.h"

#include <QAbstractTableModel>
#include <QColor>
#include <array>
#include <functional>
#include <string>
#include <vector>

class CGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Header role carrying the meter state picture of a column (-1: none).
    static constexpr int PictureRole = Qt::UserRole + 1;
    // Header role carrying the colour of a column's state mark (invalid: none).
    static constexpr int MarkRole = Qt::UserRole + 2;

    // A meter's state shown on its column header: a coloured bar and a hint.
    struct HeaderMark {
        QColor Colour;
        QString Hint;
        bool operator==(const HeaderMark& o) const { return Colour == o.Colour && Hint == o.Hint; }
    };

    using SelectRule = std::function<bool(int col, int gridRow)>;
    using EditHandler = std::function<void(int col, int gridRow, const std::string& text)>;
    using CellColour = std::function<QColor(int col, int gridRow)>;

    CGridModel(CTextGrid& grid, SelectRule selectable, QObject* parent = nullptr);

    CTextGrid& Grid() { return m_grid; }
    // Selectable cells become editable; the handler stores the text.
    void SetEditHandler(EditHandler handler) { m_edit = std::move(handler); }
    // Background of data cells (an invalid colour: the view's own).
    void SetCellColour(CellColour colour) { m_colour = std::move(colour); }
    // Pictures in the header cells of columns 1..10 (slot order).
    void SetHeaderPictures(const std::array<int, 10>& pictures);
    // Marks on the header cells of columns 1..10 (slot order).
    void SetHeaderMarks(const std::array<HeaderMark, 10>& marks);

    int GridRow(const QModelIndex& index) const { return index.row() + m_grid.FixedRows(); }
    QModelIndex IndexOfCell(int col, int gridRow) const;
    bool Selectable(int col, int gridRow) const;

    // After the grid changed: rows added or removed at the end, every text repainted.
    void Refresh();
    // After the grid was replaced, its columns too: the views start again.
    void Reshape();
    // While another thread writes the grid, the view shows the texts as they
    // were when Freeze() was called; Thaw() shows the grid again.
    void Freeze();
    void Thaw();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    int GridDataRows() const;
    QString Text(int col, int gridRow) const;

    CTextGrid& m_grid;
    SelectRule m_selectable;
    EditHandler m_edit;
    CellColour m_colour;
    std::array<int, 10> m_pictures;
    std::array<HeaderMark, 10> m_marks;
    int m_nRows;
    uint64_t m_nRevision;
    bool m_bFrozen = false;
    std::vector<std::vector<QString>> m_frozen;   // grid rows, fixed rows first
};
