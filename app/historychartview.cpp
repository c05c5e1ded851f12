#include "historychartview.h"

#include <QGraphicsLineItem>
#include <QMouseEvent>

HistoryChartView::HistoryChartView(QtCharts::QChart* chart, QWidget* parent)
    : QChartView(chart, parent)
    , m_crosshair(new QGraphicsLineItem(chart))
{
    setMouseTracking(true);
    m_crosshair->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    m_crosshair->hide();
}

void HistoryChartView::mouseMoveEvent(QMouseEvent* event)
{
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->pos()));
    if (area.contains(at)) {
        m_crosshair->setLine(at.x(), area.top(), at.x(), area.bottom());
        m_crosshair->show();
        emit hovered(chart()->mapToValue(at));
    } else {
        m_crosshair->hide();
    }
    QChartView::mouseMoveEvent(event);
}
