#pragma once
// The antenna alignment page: the operator's sector, dwell and buttons for the sweep, and the
// RSSI against angle plot with the best angle marked.

#include "alignmentsweep.h"

#include <QWidget>
#include <functional>

namespace QtCharts {
class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
}

namespace Ui {
class AntennaAlignmentPage;
}

class AntennaAlignmentPage : public QWidget {
    Q_OBJECT

public:
    // `currentModem` names the modem whose reports the sweep reads; 0 when none is chosen.
    AntennaAlignmentPage(AlignmentSweep& sweep, std::function<quint64()> currentModem, QWidget* parent = nullptr);
    ~AntennaAlignmentPage() override;

    QString statusText() const;

public slots:
    void startSweep();
    void refineSweep();

private slots:
    void showMoving(double angle);
    void addPoint(double angle, double rssiDbm, double syncShare);
    void showFinished(double bestAngle);
    void showFailed(const QString& message);
    void showCancelled();

private:
    void begin(const SweepPlan& plan);
    void setRunning(bool running);
    void markBest(double bestAngle);

    Ui::AntennaAlignmentPage* ui;
    AlignmentSweep& m_sweep;
    std::function<quint64()> m_currentModem;
    QtCharts::QChart* m_chart;
    QtCharts::QLineSeries* m_curve;
    QtCharts::QScatterSeries* m_best;
    QtCharts::QValueAxis* m_angleAxis;
    QtCharts::QValueAxis* m_rssiAxis;
};
