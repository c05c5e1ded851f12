#pragma once
// Aims the directional antenna: turns the rotator step by step over a sector, takes the
// modem's RSSI during a dwell at each step, and finds the angle of the main lobe.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

class SteppingMotor;

struct SweepPlan {
    double from = 0.0;
    double to = 90.0;
    double step = 5.0;
    int dwellMs = 2000;
};

struct SweepPoint {
    double angle = 0.0;
    double rssiDbm = 0.0; // median of the dwell
    double syncShare = 0.0;
    int samples = 0;
};

class AlignmentSweep : public QObject {
    Q_OBJECT

public:
    // A dwell that heard nothing waits this long for the modem's next report.
    static constexpr int kReportWaitMs = 6000;
    // A move with no word from the rotator this long is given up.
    static constexpr int kMoveTimeoutMs = 60000;

    explicit AlignmentSweep(SteppingMotor& motor, QObject* parent = nullptr);

    // The step angles of a plan; empty when the plan is not one (outside −90..90, step ≤ 0).
    static QVector<double> anglesOf(const SweepPlan& plan);
    // The centre of the strongest lobe: the mean angle of the points around the strongest one
    // that stay within 3 dB of it. NaN without points.
    static double bestAngleOf(const QVector<SweepPoint>& points);
    // A finer sweep around `best`: one coarse step either side at a fifth of the step.
    static SweepPlan refinedPlan(const SweepPlan& coarse, double best);

    // False with a reason when the plan is bad, a sweep runs or the controller is silent.
    bool start(quint64 modem, const SweepPlan& plan, QString& error);
    bool isRunning() const { return m_state != State::Idle; }
    const QVector<SweepPoint>& points() const { return m_points; }
    double bestAngle() const { return bestAngleOf(m_points); }
    // Turns to the best angle found; false when there is none or a sweep runs.
    bool goToBest();

public slots:
    // Stops the sweep and the motor where it is.
    void cancel();
    void addSample(quint64 modem, double rssiDbm, bool sync);
    void modemLost(quint64 modem);
    // Another modem chosen: the rotator and the reports are no longer the swept modem's.
    void currentModemChanged(quint64 modem);

signals:
    void moving(double angle);
    void pointMeasured(double angle, double rssiDbm, double syncShare);
    void finished(double bestAngle);
    void failed(const QString& message);
    void cancelled();

private slots:
    void targetReached(double angle);
    void positionError(bool stalled);
    void controllerLost();
    void controllerBack();
    void dwellOver();
    void moveTimedOut();

private:
    enum class State { Idle, Moving, Dwelling, Waiting };

    void moveTo(int index);
    void beginDwell();
    void recordStep();
    void stop();
    void halt();
    void fail(const QString& message, const char* logText);
    int stepsOf(double angle) const;

    SteppingMotor& m_motor;
    State m_state = State::Idle;
    quint64 m_modem = 0;
    SweepPlan m_plan;
    QVector<double> m_angles;
    int m_index = 0;
    QVector<double> m_rssi;
    int m_synced = 0;
    QVector<SweepPoint> m_points;
    QTimer m_dwell;
    QTimer m_moveWatch;
};
