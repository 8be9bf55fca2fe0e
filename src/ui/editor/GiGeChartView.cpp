#include "ui/editor/GiGeChartView.h"

#include <QMouseEvent>
#include <QToolTip>
#include <QtMath>

namespace {
constexpr qreal kPickRadius = 6.0;

qreal DistanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const qreal len2 = QPointF::dotProduct(ab, ab);
    qreal t = len2 > 0 ? QPointF::dotProduct(p - a, ab) / len2 : 0;
    t = qBound<qreal>(0, t, 1);
    const QPointF d = p - (a + t * ab);
    return qSqrt(QPointF::dotProduct(d, d));
}
}

CGiGeChartView::CGiGeChartView(QChart* chart, QLineSeries* series, QWidget* parent)
    : QChartView(chart, parent), m_pSeries(series)
{
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
}

QPointF CGiGeChartView::ChartPos(const QPointF& viewPos) const
{
    return chart()->mapFromScene(mapToScene(viewPos.toPoint()));
}

QPointF CGiGeChartView::ValueAt(const QPointF& viewPos) const
{
    return chart()->mapToValue(ChartPos(viewPos), m_pSeries);
}

QPointF CGiGeChartView::PositionOf(const QPointF& value) const
{
    const QPointF scenePos = chart()->mapToScene(chart()->mapToPosition(value, m_pSeries));
    return mapFromScene(scenePos);
}

int CGiGeChartView::PointAt(const QPointF& viewPos) const
{
    int best = -1;
    qreal bestDist = kPickRadius;
    const QList<QPointF> points = m_pSeries->points();
    for (int i = 0; i < points.size(); ++i) {
        const QPointF d = PositionOf(points[i]) - viewPos;
        const qreal dist = qSqrt(QPointF::dotProduct(d, d));
        if (dist <= bestDist) {
            best = i;
            bestDist = dist;
        }
    }
    return best;
}

bool CGiGeChartView::OnCurve(const QPointF& viewPos) const
{
    if (PointAt(viewPos) >= 0)
        return true;
    const QList<QPointF> points = m_pSeries->points();
    for (int i = 1; i < points.size(); ++i)
        if (DistanceToSegment(viewPos, PositionOf(points[i - 1]), PositionOf(points[i])) <= kPickRadius)
            return true;
    return false;
}

void CGiGeChartView::mousePressEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    m_bSwallowRelease = false;
    if (ctrl && event->button() == Qt::LeftButton) {
        m_bSwallowRelease = true;
        if (OnCurve(pos) && onAddPoint) {
            const QPointF v = ValueAt(pos);
            onAddPoint(v.x(), v.y());
        }
        event->accept();
        return;
    }
    if (ctrl && event->button() == Qt::RightButton) {
        m_bSwallowRelease = true;
        const int k = PointAt(pos);
        if (k >= 0 && onDeletePoint)
            onDeletePoint(k);
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const int k = PointAt(pos);
        if (k >= 0 && onDragStart && onDragStart(k)) {
            // No rubber band while a point is dragged.
            m_bDragging = true;
            event->accept();
            return;
        }
    }
    if (event->button() == Qt::RightButton) {
        m_bSwallowRelease = true;
        if (onUndoZoom)
            onUndoZoom();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void CGiGeChartView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pos = event->position();
    if (m_bDragging) {
        if (onDragMove)
            onDragMove(ValueAt(pos).x());
        event->accept();
        return;
    }
    const int k = PointAt(pos);
    if (k >= 0 && hoverText) {
        m_sHoverText = hoverText(k);
        QToolTip::showText(event->globalPosition().toPoint(), m_sHoverText, this);
    } else if (!m_sHoverText.isEmpty()) {
        m_sHoverText.clear();
        QToolTip::hideText();
    }
    QChartView::mouseMoveEvent(event);
}

void CGiGeChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragging && event->button() == Qt::LeftButton) {
        m_bDragging = false;
        if (onDragEnd)
            onDragEnd();
        event->accept();
        return;
    }
    if (m_bSwallowRelease) {
        m_bSwallowRelease = false;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}
