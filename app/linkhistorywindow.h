#pragma once
// The link quality window: the chosen modem's last hour plotted over a chosen span, with pause,
// pan, crosshair and export, and the antenna alignment page beside it.

#include "alignmentsweep.h"
#include "historyseries.h"
#include "linkhistory.h"

#include <QTimer>
#include <QWidget>

class AntennaAlignmentPage;
class Client;
class HistoryChartView;
class QAction;
class SteppingMotor;

namespace QtCharts {
class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
}

namespace Ui {
class LinkHistoryWindow;
}

class LinkHistoryWindow : public QWidget {
    Q_OBJECT

public:
    explicit LinkHistoryWindow(SteppingMotor& motor, QWidget* parent = nullptr);
    ~LinkHistoryWindow() override;

    // Opens the window (F5); for a menu.
    QAction* openAction() const { return m_openAction; }

    LinkHistory& history() { return m_history; }
    AlignmentSweep& sweep() { return m_sweep; }
    AntennaAlignmentPage* alignmentPage() const { return m_alignment; }
    HistoryChartView* chartView() const { return m_view; }

    // Takes the reports of every modem from the link.
    void follow(Client& client);
    void setCurrentModem(const QString& address, quint16 port);

    // The samples the plot shows now: the shown modem over the span, up to the shown end.
    QVector<LinkSample> visibleSamples() const;
    bool exportCsv(const QString& path) const;
    bool exportPng(const QString& path) const;

public slots:
    void open();
    // Redraws the plot from the history.
    void refresh();

private slots:
    void chooseCsv();
    void choosePng();
    void showReadout(QPointF value);
    void pause(bool paused);
    void refreshModemList();

private:
    ModemKey shownModem() const;
    qint64 shownEndMs() const;
    qint64 spanMs() const;
    QList<historyseries::Quantity> shownQuantities() const;

    Ui::LinkHistoryWindow* ui;
    LinkHistory m_history;
    AlignmentSweep m_sweep;
    AntennaAlignmentPage* m_alignment;
    QAction* m_openAction;
    QtCharts::QChart* m_chart;
    HistoryChartView* m_view;
    QtCharts::QDateTimeAxis* m_timeAxis;
    QtCharts::QValueAxis* m_valueAxis;
    QList<QtCharts::QLineSeries*> m_lines;
    QTimer m_refreshTimer;
    qint64 m_pausedAtMs = 0;
};
