#pragma once
// The characteristic's chart: turns mouse gestures into the editor's point
// operations. Ctrl + left click on the curve adds, Ctrl + right click on a
// point deletes, a left drag moves a point, a left drag elsewhere zooms, and a
// plain right click undoes the zoom. Hovering a point shows its values.
#include <QChartView>
#include <QLineSeries>

#include <functional>

class CGiGeChartView : public QChartView {
    Q_OBJECT
public:
    explicit CGiGeChartView(QChart* chart, QLineSeries* series, QWidget* parent = nullptr);

    // Index of the series point within a few pixels of a view position, -1 when none.
    int PointAt(const QPointF& viewPos) const;
    // True when the position lies on a point or on the line between two points.
    bool OnCurve(const QPointF& viewPos) const;
    // Axis values at a view position.
    QPointF ValueAt(const QPointF& viewPos) const;
    // View position of an axis value.
    QPointF PositionOf(const QPointF& value) const;

    // The editor's handlers.
    std::function<void(double x, double y)> onAddPoint;
    std::function<void(int k)> onDeletePoint;
    std::function<bool(int k)> onDragStart;   // true: a drag began
    std::function<void(double x)> onDragMove;
    std::function<void()> onDragEnd;
    std::function<void()> onUndoZoom;
    // Text shown when the cursor rests on point k.
    std::function<QString(int k)> hoverText;

    const QString& LastHoverText() const { return m_sHoverText; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointF ChartPos(const QPointF& viewPos) const;

    QLineSeries* m_pSeries;
    bool m_bDragging = false;
    bool m_bSwallowRelease = false;
    QString m_sHoverText;
};
