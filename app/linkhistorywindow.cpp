#include "linkhistorywindow.h"
#include "ui_linkhistorywindow.h"

#include "antennaalignmentpage.h"
#include "historychartview.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>

using namespace QtCharts;
using historyseries::Quantity;

namespace {

constexpr int kRefreshMs = 500;
constexpr qint64 kSpansMs[] = {60 * 1000, 10 * 60 * 1000, 60 * 60 * 1000};
constexpr int kMaxLines = 4;

const char* const kQuantityNames[historyseries::QuantityCount] = {
    "RSSI", "Принято", "Ошибки", "Потеряно", "Передано", "Температура 1", "Температура 2", "Мощность"};
const char* const kUnits[] = {"дБм", "1/с", "°C", "%"};

} // namespace

LinkHistoryWindow::LinkHistoryWindow(SteppingMotor& motor, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::LinkHistoryWindow)
    , m_sweep(motor)
    , m_openAction(new QAction(QStringLiteral("Качество связи"), this))
    , m_chart(new QChart)
    , m_timeAxis(new QDateTimeAxis)
    , m_valueAxis(new QValueAxis)
{
    ui->setupUi(this);
    // Closing the main window ends the program, also while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_openAction->setShortcut(Qt::Key_F5);
    m_openAction->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_openAction, &QAction::triggered, this, &LinkHistoryWindow::open);

    m_timeAxis->setFormat(QStringLiteral("hh:mm:ss"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    for (int i = 0; i < kMaxLines; ++i) {
        auto* line = new QLineSeries;
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_valueAxis);
        m_lines.append(line);
    }
    m_view = new HistoryChartView(m_chart, ui->history_chart_w);
    m_view->setObjectName(QStringLiteral("history_chart_view"));
    ui->history_chart_w->layout()->addWidget(m_view);
    ui->history_span_cmb->setCurrentIndex(1);

    m_alignment = new AntennaAlignmentPage(m_sweep, [this] { return m_history.currentModem(); });
    ui->history_tabs->addTab(m_alignment, QStringLiteral("Юстировка антенны"));
    connect(&m_history, &LinkHistory::sampleAdded, &m_sweep, &AlignmentSweep::addSample);
    connect(&m_history, &LinkHistory::modemLost, &m_sweep, &AlignmentSweep::modemLost);

    connect(ui->history_pause_pb, &QPushButton::toggled, this, &LinkHistoryWindow::pause);
    connect(ui->history_csv_pb, &QPushButton::clicked, this, &LinkHistoryWindow::chooseCsv);
    connect(ui->history_png_pb, &QPushButton::clicked, this, &LinkHistoryWindow::choosePng);
    connect(m_view, &HistoryChartView::hovered, this, &LinkHistoryWindow::showReadout);
    for (QComboBox* box : {ui->history_modem_cmb, ui->history_quantity_cmb, ui->history_span_cmb})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &LinkHistoryWindow::refresh);
    connect(ui->history_pan_sl, &QSlider::valueChanged, this, &LinkHistoryWindow::refresh);
    // Plots are redrawn only while someone can see them.
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LinkHistoryWindow::refreshModemList);
    connect(&m_refreshTimer, &QTimer::timeout, this, &LinkHistoryWindow::refresh);
    refreshModemList();
}

LinkHistoryWindow::~LinkHistoryWindow()
{
    delete ui;
}

void LinkHistoryWindow::follow(Client& client)
{
    m_history.follow(client);
}

void LinkHistoryWindow::setCurrentModem(const QString& address, quint16 port)
{
    const ModemKey key = LinkHistory::keyOf(QHostAddress(address), port);
    m_history.setCurrentModem(key);
    m_sweep.currentModemChanged(key);
}

void LinkHistoryWindow::open()
{
    show();
    raise();
    activateWindow();
    m_refreshTimer.start();
    refresh();
}

void LinkHistoryWindow::refreshModemList()
{
    if (!isVisible())
        m_refreshTimer.stop();
    QList<ModemKey> keys = m_history.modems();
    if (keys.size() + 1 == ui->history_modem_cmb->count())
        return;
    std::sort(keys.begin(), keys.end());
    const QVariant shown = ui->history_modem_cmb->currentData();
    const QSignalBlocker quiet(ui->history_modem_cmb);
    ui->history_modem_cmb->clear();
    ui->history_modem_cmb->addItem(QStringLiteral("Текущий модем"), QVariant());
    for (ModemKey key : keys)
        ui->history_modem_cmb->addItem(LinkHistory::textOf(key), QVariant::fromValue(key));
    ui->history_modem_cmb->setCurrentIndex(qMax(0, ui->history_modem_cmb->findData(shown)));
}

ModemKey LinkHistoryWindow::shownModem() const
{
    const QVariant chosen = ui->history_modem_cmb->currentData();
    return chosen.isValid() ? chosen.value<ModemKey>() : m_history.currentModem();
}

qint64 LinkHistoryWindow::spanMs() const
{
    return kSpansMs[qBound(0, ui->history_span_cmb->currentIndex(), 2)];
}

qint64 LinkHistoryWindow::shownEndMs() const
{
    if (ui->history_pause_pb->isChecked())
        return m_pausedAtMs - qint64(ui->history_pan_sl->value()) * 1000;
    const qint64 newest = m_history.newestMs(shownModem());
    return newest < 0 ? QDateTime::currentMSecsSinceEpoch() : newest;
}

QList<Quantity> LinkHistoryWindow::shownQuantities() const
{
    switch (ui->history_quantity_cmb->currentIndex()) {
    case 1: return {historyseries::Received, historyseries::Errors, historyseries::Lost, historyseries::Sent};
    case 2: return {historyseries::Temp1, historyseries::Temp2};
    case 3: return {historyseries::TxPower};
    default: return {historyseries::Rssi};
    }
}

QVector<LinkSample> LinkHistoryWindow::visibleSamples() const
{
    const qint64 end = shownEndMs();
    return m_history.samples(shownModem(), end - spanMs(), end + 1);
}

void LinkHistoryWindow::pause(bool paused)
{
    m_pausedAtMs = shownEndMs();
    ui->history_pan_sl->setEnabled(paused);
    const QSignalBlocker quiet(ui->history_pan_sl);
    ui->history_pan_sl->setRange(0, int(LinkHistory::kSpanMs / 1000));
    ui->history_pan_sl->setValue(0);
    refresh();
}

void LinkHistoryWindow::refresh()
{
    const QVector<LinkSample> samples = visibleSamples();
    const QList<Quantity> quantities = shownQuantities();
    // Two points per pixel column are all a screen can show.
    const int buckets = qMax(100, m_view->width());
    double low = INFINITY;
    double high = -INFINITY;
    for (int i = 0; i < m_lines.size(); ++i) {
        QLineSeries* line = m_lines.at(i);
        if (i >= quantities.size()) {
            line->clear();
            line->setVisible(false);
            continue;
        }
        const QVector<QPointF> points = historyseries::thin(historyseries::points(samples, quantities.at(i)), buckets);
        for (const QPointF& p : points) {
            low = qMin(low, p.y());
            high = qMax(high, p.y());
        }
        line->setName(QString::fromUtf8(kQuantityNames[quantities.at(i)]));
        line->replace(points);
        line->setVisible(true);
    }
    const qint64 end = shownEndMs();
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(end - spanMs()), QDateTime::fromMSecsSinceEpoch(end));
    m_timeAxis->setFormat(spanMs() > 10 * 60 * 1000 ? QStringLiteral("hh:mm") : QStringLiteral("hh:mm:ss"));
    if (std::isfinite(low))
        m_valueAxis->setRange(std::floor(low) - 1.0, std::ceil(high) + 1.0);
    m_valueAxis->setTitleText(QString::fromUtf8(kUnits[qBound(0, ui->history_quantity_cmb->currentIndex(), 3)]));
}

void LinkHistoryWindow::showReadout(QPointF value)
{
    const QVector<LinkSample> samples = visibleSamples();
    if (samples.isEmpty()) {
        ui->history_readout_lbl->clear();
        return;
    }
    const auto nearer = [&value](const LinkSample& a, const LinkSample& b) {
        return std::fabs(a.ms - value.x()) < std::fabs(b.ms - value.x());
    };
    const LinkSample& s = *std::min_element(samples.begin(), samples.end(), nearer);
    QStringList parts{QDateTime::fromMSecsSinceEpoch(s.ms).toString(QStringLiteral("hh:mm:ss"))};
    for (Quantity q : shownQuantities()) {
        const double v = historyseries::value(s, q);
        parts << QStringLiteral("%1 %2").arg(QString::fromUtf8(kQuantityNames[q]))
                     .arg(std::isnan(v) ? QStringLiteral("—") : QString::number(v, 'f', 1));
    }
    parts << (s.sync ? QStringLiteral("СИНХ") : QStringLiteral("----"));
    ui->history_readout_lbl->setText(parts.join(QStringLiteral(", ")));
}

bool LinkHistoryWindow::exportCsv(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(historyseries::toCsv(visibleSamples())) < 0 || !file.flush()) {
        qWarning() << "history export failed:" << path << file.errorString();
        return false;
    }
    return true;
}

bool LinkHistoryWindow::exportPng(const QString& path) const
{
    const bool saved = m_view->grab().save(path, "PNG");
    if (!saved)
        qWarning() << "history picture export failed:" << path;
    return saved;
}

void LinkHistoryWindow::chooseCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить данные"), QString(),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        ui->history_readout_lbl->setText(QStringLiteral("Не удалось сохранить %1").arg(path));
}

void LinkHistoryWindow::choosePng()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить график"), QString(),
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        ui->history_readout_lbl->setText(QStringLiteral("Не удалось сохранить %1").arg(path));
}
