#include "simmodem.h"

#include "pcapwriter.h"
#include "protocol.h"
#include "simclock.h"

#include <QNetworkDatagram>
#include <chrono>
#include <cmath>

namespace {

// Seeds of a modem's random sources, distinct per modem and per source.
quint32 seedFor(quint32 seed, int number, quint32 source)
{
    return seed * 1000003u + quint32(number) * 7919u + source;
}

} // namespace

SimModem::SimModem(int number, const SimConfig& config, const RadioEnvironment& radio, QObject* parent)
    : QObject(parent)
    , m_number(number)
    , m_address(config.firstAddress + quint32(number - 1))
    , m_config(config)
    , m_radio(radio)
    , m_model(number - 1, config.firstAddress + quint32(number - 1), config.profile, seedFor(config.seed, number, 1))
    , m_stepper(config.stepperSpeed, simclock::nowMs())
    , m_link(
          [this](const QByteArray& d, const QHostAddress& to, quint16 port) {
              m_control.writeDatagram(d, to, port);
              capture(m_address, kControlPort, to, port, d);
          },
          seedFor(config.seed, number, 2), this)
    , m_clockDrift(seedFor(config.seed, number, 3))
{
    m_link.setFaults(config.faults);
    const int bearings = config.bearings.size();
    setBearing(bearings == 1 ? config.bearings.first() : number <= bearings ? config.bearings.at(number - 1) : NAN);
    connect(&m_link, &FaultyLink::event, this, &SimModem::note);
    connect(&m_control, &QUdpSocket::readyRead, this, &SimModem::readControl);
    connect(&m_controller, &QUdpSocket::readyRead, this, &SimModem::readController);
}

bool SimModem::start(QString& error)
{
    const auto mode = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    for (QUdpSocket* socket : {&m_control, &m_controller}) {
        const quint16 port = socket == &m_control ? kControlPort : kStepperPort;
        if (!socket->bind(m_address, port, mode)) {
            error = QStringLiteral("cannot bind %1:%2: %3").arg(m_address.toString()).arg(port).arg(socket->errorString());
            return false;
        }
    }
    // Modems started together report at spread-out moments, as independent devices would.
    m_nextReportMs = simclock::nowMs() + m_clockDrift.bounded(m_config.periodMs);
    return true;
}

void SimModem::tick(qint64 nowMs)
{
    if (nowMs < m_nextReportMs)
        return;
    // A modem that fell far behind (a stalled process) reports once, not once per missed period.
    m_nextReportMs = qMax(m_nextReportMs + nextReportInterval(), nowMs + m_config.periodMs / 2);
    reportStatus(nowMs);
}

int SimModem::nextReportInterval()
{
    // Each modem keeps its own clock, a little off, so that no two stay in step for long.
    const int drift = m_config.periodMs / 50;
    return m_config.periodMs + m_clockDrift.bounded(-drift, drift + 1);
}

void SimModem::note(const QString& text)
{
    emit event(QStringLiteral("modem %1: %2").arg(m_number).arg(text));
}

bool SimModem::isDown() const
{
    return simclock::nowMs() < m_downUntilMs;
}

void SimModem::goDown()
{
    m_downUntilMs = simclock::nowMs() + m_config.rebootMs;
    m_reportsPausedUntilMs = 0;
    note(QStringLiteral("down for %1 ms").arg(m_config.rebootMs));
}

void SimModem::reboot()
{
    m_model.reboot();
    goDown();
}

void SimModem::hardReset()
{
    m_model.factoryReset();
    goDown();
}

void SimModem::disconnectStation()
{
    m_reportsPausedUntilMs = simclock::nowMs() + m_config.disconnectMs;
    note(QStringLiteral("no reports to %1 for %2 ms").arg(m_config.stationAddress.toString()).arg(m_config.disconnectMs));
}

void SimModem::readControl()
{
    while (m_control.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_control.receiveDatagram();
        capture(datagram.senderAddress(), quint16(datagram.senderPort()), m_address, kControlPort, datagram.data());
        // Nothing ever goes beyond loopback, not even an answer.
        if (isDown() || !datagram.senderAddress().isLoopback())
            continue;
        const ModemModel::Outcome outcome = m_model.handle(datagram.data());
        note(outcome.event);
        for (const QByteArray& reply : outcome.replies)
            m_link.send(reply, datagram.senderAddress(), quint16(datagram.senderPort()));
        switch (outcome.service) {
        case ModemModel::Service::Reboot:
            reboot();
            break;
        case ModemModel::Service::HardReset:
            hardReset();
            break;
        case ModemModel::Service::Disconnect:
            if (datagram.senderAddress().isEqual(m_config.stationAddress, QHostAddress::TolerantConversion))
                disconnectStation();
            else
                note(QStringLiteral("disconnect from another station, reports go on"));
            break;
        case ModemModel::Service::Setup:
        case ModemModel::Service::None:
            break;
        }
    }
}

void SimModem::readController()
{
    while (m_controller.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_controller.receiveDatagram();
        capture(datagram.senderAddress(), quint16(datagram.senderPort()), m_address, kStepperPort, datagram.data());
        // The controller hangs on the modem's converter: it is out of reach while the modem restarts.
        if (isDown() || m_controllerSilent || !datagram.senderAddress().isLoopback())
            continue;
        const QList<QByteArray> answers = m_stepper.feed(datagram.data(), simclock::nowMs());
        for (const QString& line : m_stepper.takeEvents())
            note(line);
        for (const QByteArray& answer : answers) {
            m_controller.writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
            capture(m_address, kStepperPort, datagram.senderAddress(), quint16(datagram.senderPort()), answer);
        }
    }
}

void SimModem::capture(const QHostAddress& from, quint16 fromPort, const QHostAddress& to, quint16 toPort,
                       const QByteArray& datagram)
{
    if (!m_capture)
        return;
    const qint64 nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    m_capture->write(nowUs, from.toIPv4Address(), fromPort, to.toIPv4Address(), toPort, datagram.constData(),
                     datagram.size());
}

void SimModem::setBearing(double degrees)
{
    m_bearing = degrees;
    m_model.setRssiNoise(std::isnan(degrees) ? NAN : m_config.rssiNoiseDb);
}

void SimModem::reportStatus(qint64 now)
{
    if (m_downUntilMs != 0) {
        if (now < m_downUntilMs)
            return;
        m_downUntilMs = 0;
        note(QStringLiteral("up again"));
    }
    double pointingDb = 0.0;
    if (!std::isnan(m_bearing)) {
        const double angle = m_stepper.position(now) * StepperModel::kDegreesPerStep;
        pointingDb = linkquality::antennaLossDb(angle - m_bearing, m_config.beamWidth);
    }
    m_model.advance(m_config.periodMs, m_radio.attenuationDb + pointingDb, m_radio.curves);
    if (now < m_reportsPausedUntilMs)
        return;
    QList<QByteArray> reports{m_model.reportFrame(REP_CONT_STATUS)};
    if (m_config.extendedStatus)
        reports << m_model.reportFrame(REP_EXTENDED_STATUS);
    if (m_config.idStatistic)
        reports << m_model.reportFrame(REP_ID_STATISTIC);
    note(QStringLiteral("status: sync %1, loss %2, RSSI -%3 dB")
             .arg(m_model.synchronised() ? 1 : 0)
             .arg(m_model.lastLoss(), 0, 'f', 3)
             .arg(m_model.rssiDb()));
    for (const QByteArray& report : reports)
        m_link.send(report, m_config.stationAddress, m_config.stationPort);
}
