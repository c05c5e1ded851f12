#include "alignmentsweep.h"

#include "stepping_motor.h"

#include <QDebug>
#include <algorithm>
#include <cmath>

namespace {

// The rotator's own scale: 90 degrees are 2500 steps, limited to ±90.
constexpr double kStepsPerDegree = 2500.0 / 90.0;
constexpr double kLimitDegrees = 90.0;
constexpr int kMaxSteps = 1000;
constexpr double kLobeDb = 3.0;

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

AlignmentSweep::AlignmentSweep(SteppingMotor& motor, QObject* parent)
    : QObject(parent)
    , m_motor(motor)
{
    m_dwell.setSingleShot(true);
    m_moveWatch.setSingleShot(true);
    m_moveWatch.setInterval(kMoveTimeoutMs);
    connect(&m_dwell, &QTimer::timeout, this, &AlignmentSweep::dwellOver);
    connect(&m_moveWatch, &QTimer::timeout, this, &AlignmentSweep::moveTimedOut);
    connect(&m_motor, &SteppingMotor::signal_TargetReached, this, &AlignmentSweep::targetReached);
    connect(&m_motor, &SteppingMotor::signal_PositionErrorState, this, &AlignmentSweep::positionError);
    connect(&m_motor, &SteppingMotor::signal_InterfaceError, this, &AlignmentSweep::controllerLost);
    connect(&m_motor, &SteppingMotor::signal_InterfaceReinit, this, &AlignmentSweep::controllerBack);
}

QVector<double> AlignmentSweep::anglesOf(const SweepPlan& plan)
{
    QVector<double> angles;
    const auto inRange = [](double a) { return std::isfinite(a) && std::fabs(a) <= kLimitDegrees; };
    if (!inRange(plan.from) || !inRange(plan.to) || !(plan.step > 0.0) || plan.dwellMs < 0)
        return angles;
    const double direction = plan.to >= plan.from ? 1.0 : -1.0;
    const double span = std::fabs(plan.to - plan.from);
    // A hair of tolerance so that 0..90 by 5 ends at 90 despite rounding.
    const int steps = int(std::floor(span / plan.step + 1e-9));
    if (steps + 1 > kMaxSteps)
        return angles;
    for (int i = 0; i <= steps; ++i)
        angles.append(plan.from + direction * i * plan.step);
    return angles;
}

double AlignmentSweep::bestAngleOf(const QVector<SweepPoint>& points)
{
    if (points.isEmpty())
        return NAN;
    QVector<SweepPoint> sorted = points;
    std::sort(sorted.begin(), sorted.end(), [](const SweepPoint& a, const SweepPoint& b) { return a.angle < b.angle; });
    int peak = 0;
    for (int i = 1; i < sorted.size(); ++i) {
        if (sorted[i].rssiDbm > sorted[peak].rssiDbm)
            peak = i;
    }
    const double floor = sorted[peak].rssiDbm - kLobeDb;
    int first = peak;
    while (first > 0 && sorted[first - 1].rssiDbm >= floor)
        --first;
    int last = peak;
    while (last + 1 < sorted.size() && sorted[last + 1].rssiDbm >= floor)
        ++last;
    double sum = 0.0;
    for (int i = first; i <= last; ++i)
        sum += sorted[i].angle;
    return sum / (last - first + 1);
}

SweepPlan AlignmentSweep::refinedPlan(const SweepPlan& coarse, double best)
{
    constexpr double kDivisor = 5.0;
    SweepPlan plan = coarse;
    plan.from = qMax(-kLimitDegrees, best - coarse.step);
    plan.to = qMin(kLimitDegrees, best + coarse.step);
    plan.step = coarse.step / kDivisor;
    return plan;
}

int AlignmentSweep::stepsOf(double angle) const
{
    return int(std::lround(angle * kStepsPerDegree));
}

bool AlignmentSweep::start(quint64 modem, const SweepPlan& plan, QString& error)
{
    const QVector<double> angles = anglesOf(plan);
    if (isRunning())
        error = QStringLiteral("Юстировка уже идёт");
    else if (angles.isEmpty())
        error = QStringLiteral("Неверный сектор: углы от −90 до 90, шаг больше нуля, не более 1000 шагов");
    else if (modem == 0)
        error = QStringLiteral("Не выбран модем");
    else if (std::isnan(m_motor.get_angle()))
        error = QStringLiteral("Контроллер поворотного устройства не отвечает");
    if (!error.isEmpty())
        return false;
    m_modem = modem;
    m_plan = plan;
    m_angles = angles;
    m_points.clear();
    moveTo(0);
    return true;
}

void AlignmentSweep::moveTo(int index)
{
    m_index = index;
    m_state = State::Moving;
    const double angle = m_angles.at(index);
    emit moving(angle);
    m_moveWatch.start();
    m_motor.set_angle(angle);
    // The rotator says nothing when it already stands there.
    const double now = m_motor.get_angle();
    if (!std::isnan(now) && stepsOf(now) == stepsOf(angle))
        beginDwell();
}

void AlignmentSweep::targetReached(double angle)
{
    if (m_state == State::Moving && stepsOf(angle) == stepsOf(m_angles.at(m_index)))
        beginDwell();
}

void AlignmentSweep::beginDwell()
{
    m_moveWatch.stop();
    m_state = State::Dwelling;
    m_rssi.clear();
    m_synced = 0;
    m_dwell.start(m_plan.dwellMs);
}

void AlignmentSweep::addSample(quint64 modem, double rssiDbm, bool sync)
{
    if (modem != m_modem || (m_state != State::Dwelling && m_state != State::Waiting))
        return;
    m_rssi.append(rssiDbm);
    m_synced += sync ? 1 : 0;
    if (m_state == State::Waiting)
        recordStep();
}

void AlignmentSweep::dwellOver()
{
    if (m_state == State::Dwelling && m_rssi.isEmpty()) {
        m_state = State::Waiting;
        m_dwell.start(kReportWaitMs);
        return;
    }
    if (m_state == State::Waiting) {
        fail(QStringLiteral("Модем не присылает отчётов о состоянии"), "alignment stopped: no status reports");
        return;
    }
    if (m_state == State::Dwelling)
        recordStep();
}

void AlignmentSweep::recordStep()
{
    m_dwell.stop();
    SweepPoint point;
    point.angle = m_angles.at(m_index);
    point.rssiDbm = median(m_rssi);
    point.samples = m_rssi.size();
    point.syncShare = double(m_synced) / m_rssi.size();
    m_points.append(point);
    emit pointMeasured(point.angle, point.rssiDbm, point.syncShare);
    if (m_index + 1 < m_angles.size()) {
        moveTo(m_index + 1);
        return;
    }
    stop();
    emit finished(bestAngle());
}

bool AlignmentSweep::goToBest()
{
    const double best = bestAngle();
    if (isRunning() || std::isnan(best))
        return false;
    m_motor.set_angle(best);
    emit moving(best);
    return true;
}

void AlignmentSweep::stop()
{
    m_state = State::Idle;
    m_dwell.stop();
    m_moveWatch.stop();
}

void AlignmentSweep::halt()
{
    stop();
    // A target at the present position halts the motor there.
    const double here = m_motor.get_angle();
    if (!std::isnan(here))
        m_motor.set_angle(here);
}

void AlignmentSweep::cancel()
{
    if (!isRunning())
        return;
    halt();
    emit cancelled();
}

void AlignmentSweep::fail(const QString& message, const char* logText)
{
    if (!isRunning())
        return;
    qWarning() << logText;
    halt();
    emit failed(message);
}

void AlignmentSweep::positionError(bool stalled)
{
    if (stalled)
        fail(QStringLiteral("Двигатель поворотного устройства застрял"), "alignment stopped: rotator stalled");
}

void AlignmentSweep::controllerLost()
{
    fail(QStringLiteral("Контроллер поворотного устройства не отвечает"), "alignment stopped: rotator controller silent");
}

void AlignmentSweep::controllerBack()
{
    // A reinit makes the controller's position the target: the step's angle is asked again.
    if (isRunning())
        m_motor.set_angle(m_angles.at(m_index));
}

void AlignmentSweep::modemLost(quint64 modem)
{
    if (modem == m_modem)
        fail(QStringLiteral("Текущий модем потерян"), "alignment stopped: modem lost");
}

void AlignmentSweep::currentModemChanged(quint64 modem)
{
    if (modem != m_modem)
        fail(QStringLiteral("Выбран другой модем"), "alignment stopped: another modem chosen");
}

void AlignmentSweep::moveTimedOut()
{
    fail(QStringLiteral("Поворотное устройство не дошло до угла"), "alignment stopped: rotator did not reach its target");
}
