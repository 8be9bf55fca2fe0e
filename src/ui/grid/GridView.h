#pragma once
// A view of a CGridModel shaped like the form's string grid: column widths and
// row height from the grid, fixed rows as a light-blue header that also shows
// the meter state pictures, the grid's current cell kept in step.
#include <QHeaderView>
#include <QTableView>

class CGridModel;

// Fixed cells of every table: red 175, green 240, blue 250.
extern const QColor kFixedCellColour;

class CGridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CGridHeader(QWidget* parent);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
};

class CGridView : public QTableView {
    Q_OBJECT
public:
    CGridView(CGridModel* model, const QString& name, QWidget* parent = nullptr);

    CGridModel* GridModel() const { return m_model; }
    // Stores the text of an open editor and closes it.
    void EndEditing();
    // The grid's column widths, scaled to the font (again after the model was reshaped).
    void ApplyColumnWidths();
    // Makes the grid's current cell the view's current cell.
    void ShowGridCurrent();
    // The cell's tool tip: its full text where the column cuts it, else the model's tip ("" for none).
    QString CellToolTip(const QModelIndex& index) const;

signals:
    // The view and its editor lost the focus to another widget.
    void exited();

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void OnFocusChanged(QWidget* old, QWidget* now);

    CGridModel* m_model;
};
