#pragma once
// The stepper motor controller behind a simulated modem: its serial command stream (any number
// of bytes per datagram), the variables it reports, and a motor that moves at a set speed.

#include <QByteArray>
#include <QList>
#include <QStringList>

class StepperModel {
public:
    // Without a command for this long the controller stops the motor and needs 0x83 again.
    static constexpr int kCommandTimeoutMs = 1000;
    // The station's rotator turns the antenna 90 degrees in 2500 steps.
    static constexpr double kDegreesPerStep = 90.0 / 2500.0;

    StepperModel(int stepsPerSecond, qint64 nowMs);

    // The bytes of one datagram; returns one answer per variable read that they complete.
    QList<QByteArray> feed(const QByteArray& bytes, qint64 nowMs);

    qint32 position(qint64 nowMs);
    bool safeStartActive(qint64 nowMs);

    // A stalled motor keeps its position whatever it is told; the controller still answers.
    void setStalled(bool stalled, qint64 nowMs);

    // Lines describing what the controller did since the last call.
    QStringList takeEvents();

private:
    void advance(qint64 nowMs);
    void execute(qint64 nowMs, QList<QByteArray>& answers);
    QByteArray readVariables(int offset, int length) const;
    qint32 roundedPosition() const;
    qint32 data32() const;

    const int m_speed;
    double m_position = 0.0;
    qint32 m_target = 0;
    bool m_stalled = false;
    bool m_safeStart = true; // a controller starts up holding the motor until told 0x83
    bool m_timedOut = false;
    qint64 m_updatedMs = 0;
    qint64 m_lastCommandMs = 0;
    quint8 m_command = 0;    // command byte waiting for its data, 0 when none
    int m_dataNeeded = 0;
    QByteArray m_data;
    QStringList m_events;
};
