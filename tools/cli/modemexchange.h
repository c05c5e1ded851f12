#pragma once
// One modem's end of the control protocol for a command-line run: requests out from one local
// port, the matching report (or REP_UNSUPPORTED) awaited with retries under an overall deadline.

#include "protocol.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QString>
#include <QUdpSocket>

class ModemExchange {
public:
    struct Answer {
        enum Kind { Report, Unsupported, Silent } kind = Silent;
        QByteArray payload;
    };

    struct Timing {
        int attempts = 4;       // requests per answer awaited
        int waitMs = 400;       // wait for an answer after each request
        int overallMs = 10000;  // for everything this exchange does
    };

    ModemExchange(const QHostAddress& modem, quint16 modemPort, const Timing& timing);

    // Binds the local port, 0 for an ephemeral one; false with the reason.
    bool open(quint16 localPort, QString& error);

    // Sends `request` until `report` (at least `minimumLength` payload bytes) or a REP_UNSUPPORTED
    // naming it or the request comes from the modem's address and port.
    Answer ask(OPCODE request, const OP_PAYLOAD_t& payload, quint16 report, int minimumLength = 0);
    Answer askReport(quint16 report, int minimumLength = 0);

    bool send(OPCODE request, const OP_PAYLOAD_t& payload);

    int requestsSent() const { return m_sent; }
    QString modemText() const;

private:
    bool matches(const QByteArray& datagram, quint16 request, quint16 report, int minimumLength, Answer& answer) const;

    QHostAddress m_modem;
    quint16 m_port;
    Timing m_timing;
    QDeadlineTimer m_deadline;
    QUdpSocket m_socket;
    int m_sent = 0;
};
