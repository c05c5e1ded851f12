#pragma once
// One simulated modem on its own loopback address: its control port with periodic status
// reports and service actions, and the stepper controller behind it on port 30000.

#include "faultylink.h"
#include "modemmodel.h"
#include "simconfig.h"
#include "steppermodel.h"

#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>
#include <QUdpSocket>

class PcapWriter;

class SimModem : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kControlPort = 40005;
    static constexpr quint16 kStepperPort = 30000;

    SimModem(int number, const SimConfig& config, const RadioEnvironment& radio, QObject* parent = nullptr);

    // Binds both ports; false with the reason when a port cannot be bound.
    bool start(QString& error);

    // Sends the status reports when their time has come; the network calls it every few ms.
    void tick(qint64 nowMs);

    StepperModel& stepper() { return m_stepper; }
    FaultyLink& link() { return m_link; }

    // Service actions, as the control protocol or the control lines ask for them.
    void reboot();
    void disconnectStation();

    void setControllerSilent(bool silent) { m_controllerSilent = silent; }
    // NaN: the RSSI does not depend on the antenna.
    void setBearing(double degrees);

    // Every datagram the modem and its controller send or receive also goes into this capture.
    void setCapture(PcapWriter* capture) { m_capture = capture; }

signals:
    void event(const QString& line);

private slots:
    void readControl();
    void readController();

private:
    void note(const QString& text);
    bool isDown() const;
    void goDown();
    void hardReset();
    void reportStatus(qint64 nowMs);
    int nextReportInterval();
    void capture(const QHostAddress& from, quint16 fromPort, const QHostAddress& to, quint16 toPort,
                 const QByteArray& datagram);

    const int m_number;
    const QHostAddress m_address;
    const SimConfig& m_config;
    const RadioEnvironment& m_radio;
    ModemModel m_model;
    StepperModel m_stepper;
    QUdpSocket m_control;
    QUdpSocket m_controller;
    FaultyLink m_link;
    QRandomGenerator m_clockDrift;
    qint64 m_nextReportMs = 0;
    qint64 m_downUntilMs = 0;
    qint64 m_reportsPausedUntilMs = 0;
    bool m_controllerSilent = false;
    PcapWriter* m_capture = nullptr;
    double m_bearing;
};
