#pragma once
// The history plot's view: tells where the mouse points in plot values and draws a vertical
// crosshair line there.

#include <QtCharts/QChartView>

class QGraphicsLineItem;

class HistoryChartView : public QtCharts::QChartView {
    Q_OBJECT

public:
    explicit HistoryChartView(QtCharts::QChart* chart, QWidget* parent = nullptr);

signals:
    // x in ms since the epoch, y in the plotted unit.
    void hovered(QPointF value);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QGraphicsLineItem* m_crosshair;
};
