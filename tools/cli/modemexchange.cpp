#include "modemexchange.h"

#include "bytes.h"
#include "control_records.h"

#include <QNetworkDatagram>

ModemExchange::ModemExchange(const QHostAddress& modem, quint16 modemPort, const Timing& timing)
    : m_modem(modem.toIPv4Address())
    , m_port(modemPort)
    , m_timing(timing)
    , m_deadline(timing.overallMs)
{
}

bool ModemExchange::open(quint16 localPort, QString& error)
{
    // A given port may be the station's own, which binds it shared as well.
    if (!m_socket.bind(QHostAddress::AnyIPv4, localPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        error = QStringLiteral("cannot bind UDP port %1: %2").arg(localPort).arg(m_socket.errorString());
        return false;
    }
    return true;
}

QString ModemExchange::modemText() const
{
    return QStringLiteral("%1:%2").arg(m_modem.toString()).arg(m_port);
}

bool ModemExchange::send(OPCODE request, const OP_PAYLOAD_t& payload)
{
    const QByteArray frame = protocol::buildFrame(request, payload);
    if (frame.isEmpty())
        return false;
    ++m_sent;
    return m_socket.writeDatagram(frame, m_modem, m_port) == frame.size();
}

ModemExchange::Answer ModemExchange::askReport(quint16 report, int minimumLength)
{
    return ask(CMD_GET_REPORT, requests::getReport(OPCODE(report)), report, minimumLength);
}

ModemExchange::Answer ModemExchange::ask(OPCODE request, const OP_PAYLOAD_t& payload, quint16 report, int minimumLength)
{
    Answer answer;
    for (int attempt = 0; attempt < m_timing.attempts && !m_deadline.hasExpired(); ++attempt) {
        if (!send(request, payload))
            return answer;
        QDeadlineTimer wait(qMin<qint64>(m_timing.waitMs, m_deadline.remainingTime()));
        while (!wait.hasExpired()) {
            if (!m_socket.hasPendingDatagrams() && !m_socket.waitForReadyRead(int(wait.remainingTime())))
                break;
            while (m_socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = m_socket.receiveDatagram();
                if (QHostAddress(datagram.senderAddress().toIPv4Address()) == m_modem
                    && datagram.senderPort() == m_port
                    && matches(datagram.data(), request, report, minimumLength, answer))
                    return answer;
            }
        }
    }
    return answer;
}

bool ModemExchange::matches(const QByteArray& datagram, quint16 request, quint16 report, int minimumLength,
                            Answer& answer) const
{
    if (!protocol::isFrame(datagram))
        return false;
    const quint16 opcode = protocol::parseHeader(datagram).opcode;
    const QByteArray payload = protocol::payloadOf(datagram);
    if (opcode == REP_UNSUPPORTED) {
        const quint16 named = reports::unsupportedOpcode(payload);
        // A modem names the report asked for, or the request it cannot carry out.
        if (named == report || named == (report & 0x7FFF) || (request != CMD_GET_REPORT && named == request)) {
            answer.kind = Answer::Unsupported;
            return true;
        }
        return false;
    }
    // A short report is a damaged one: its missing fields would read as zero.
    if (opcode != report || payload.size() < minimumLength)
        return false;
    answer.kind = Answer::Report;
    answer.payload = payload;
    return true;
}
