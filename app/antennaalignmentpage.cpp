#include "antennaalignmentpage.h"
#include "ui_antennaalignmentpage.h"

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

using namespace QtCharts;

AntennaAlignmentPage::AntennaAlignmentPage(AlignmentSweep& sweep, std::function<quint64()> currentModem, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::AntennaAlignmentPage)
    , m_sweep(sweep)
    , m_currentModem(std::move(currentModem))
    , m_chart(new QChart)
    , m_curve(new QLineSeries)
    , m_best(new QScatterSeries)
    , m_angleAxis(new QValueAxis)
    , m_rssiAxis(new QValueAxis)
{
    ui->setupUi(this);
    m_curve->setName(QStringLiteral("RSSI, дБм"));
    m_curve->setPointsVisible(true);
    m_best->setName(QStringLiteral("Лучший угол"));
    m_best->setColor(Qt::red);
    m_chart->addSeries(m_curve);
    m_chart->addSeries(m_best);
    m_angleAxis->setTitleText(QStringLiteral("Угол, °"));
    m_rssiAxis->setTitleText(QStringLiteral("RSSI, дБм"));
    m_chart->addAxis(m_angleAxis, Qt::AlignBottom);
    m_chart->addAxis(m_rssiAxis, Qt::AlignLeft);
    for (QXYSeries* series : {static_cast<QXYSeries*>(m_curve), static_cast<QXYSeries*>(m_best)}) {
        series->attachAxis(m_angleAxis);
        series->attachAxis(m_rssiAxis);
    }
    auto* view = new QChartView(m_chart, ui->align_chart_w);
    view->setObjectName(QStringLiteral("align_chart_view"));
    view->setRenderHint(QPainter::Antialiasing);
    ui->align_chart_w->layout()->addWidget(view);

    connect(ui->align_start_pb, &QPushButton::clicked, this, &AntennaAlignmentPage::startSweep);
    connect(ui->align_refine_pb, &QPushButton::clicked, this, &AntennaAlignmentPage::refineSweep);
    connect(ui->align_cancel_pb, &QPushButton::clicked, &m_sweep, &AlignmentSweep::cancel);
    connect(ui->align_best_pb, &QPushButton::clicked, &m_sweep, &AlignmentSweep::goToBest);
    connect(&m_sweep, &AlignmentSweep::moving, this, &AntennaAlignmentPage::showMoving);
    connect(&m_sweep, &AlignmentSweep::pointMeasured, this, &AntennaAlignmentPage::addPoint);
    connect(&m_sweep, &AlignmentSweep::finished, this, &AntennaAlignmentPage::showFinished);
    connect(&m_sweep, &AlignmentSweep::failed, this, &AntennaAlignmentPage::showFailed);
    connect(&m_sweep, &AlignmentSweep::cancelled, this, &AntennaAlignmentPage::showCancelled);
}

AntennaAlignmentPage::~AntennaAlignmentPage()
{
    delete ui;
}

QString AntennaAlignmentPage::statusText() const
{
    return ui->align_status_lbl->text();
}

void AntennaAlignmentPage::startSweep()
{
    SweepPlan plan;
    plan.from = ui->align_from_dsb->value();
    plan.to = ui->align_to_dsb->value();
    plan.step = ui->align_step_dsb->value();
    plan.dwellMs = ui->align_dwell_spb->value();
    begin(plan);
}

void AntennaAlignmentPage::refineSweep()
{
    const double best = m_sweep.bestAngle();
    if (std::isnan(best))
        return;
    SweepPlan coarse;
    coarse.step = ui->align_step_dsb->value();
    coarse.dwellMs = ui->align_dwell_spb->value();
    begin(AlignmentSweep::refinedPlan(coarse, best));
}

void AntennaAlignmentPage::begin(const SweepPlan& plan)
{
    QString error;
    if (!m_sweep.start(m_currentModem(), plan, error)) {
        ui->align_status_lbl->setText(error);
        return;
    }
    m_curve->clear();
    m_best->clear();
    m_angleAxis->setRange(qMin(plan.from, plan.to), qMax(plan.from, plan.to));
    setRunning(true);
}

void AntennaAlignmentPage::setRunning(bool running)
{
    ui->align_start_pb->setEnabled(!running);
    ui->align_cancel_pb->setEnabled(running);
    const bool haveBest = !running && !std::isnan(m_sweep.bestAngle());
    ui->align_refine_pb->setEnabled(haveBest);
    ui->align_best_pb->setEnabled(haveBest);
}

void AntennaAlignmentPage::showMoving(double angle)
{
    ui->align_status_lbl->setText(QStringLiteral("Поворот к %1°").arg(angle, 0, 'f', 1));
}

void AntennaAlignmentPage::addPoint(double angle, double rssiDbm, double syncShare)
{
    m_curve->append(angle, rssiDbm);
    const QVector<QPointF> points = m_curve->pointsVector();
    double low = rssiDbm;
    double high = rssiDbm;
    for (const QPointF& p : points) {
        low = qMin(low, p.y());
        high = qMax(high, p.y());
    }
    m_rssiAxis->setRange(std::floor(low) - 1.0, std::ceil(high) + 1.0);
    ui->align_status_lbl->setText(QStringLiteral("%1°: %2 дБм, синхронизация %3 %")
                                      .arg(angle, 0, 'f', 1)
                                      .arg(rssiDbm, 0, 'f', 1)
                                      .arg(qRound(syncShare * 100)));
    markBest(m_sweep.bestAngle());
}

void AntennaAlignmentPage::markBest(double bestAngle)
{
    m_best->clear();
    if (std::isnan(bestAngle))
        return;
    // The marker sits on the curve where the best angle falls between two measured points.
    const QVector<QPointF> points = m_curve->pointsVector();
    double level = points.first().y();
    double nearest = 1e9;
    for (const QPointF& p : points) {
        if (std::fabs(p.x() - bestAngle) < nearest) {
            nearest = std::fabs(p.x() - bestAngle);
            level = p.y();
        }
    }
    m_best->append(bestAngle, level);
}

void AntennaAlignmentPage::showFinished(double bestAngle)
{
    setRunning(false);
    ui->align_status_lbl->setText(QStringLiteral("Лучший угол %1°").arg(bestAngle, 0, 'f', 1));
}

void AntennaAlignmentPage::showFailed(const QString& message)
{
    setRunning(false);
    ui->align_status_lbl->setText(QStringLiteral("Юстировка остановлена: %1").arg(message));
}

void AntennaAlignmentPage::showCancelled()
{
    setRunning(false);
    ui->align_status_lbl->setText(QStringLiteral("Юстировка отменена"));
}
