#pragma once
// The station's side of the simulator tests: a loopback UDP socket that sends requests to
// simulated modems and keeps every datagram that comes back until a test takes it.

#include "protocol.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

class StationSocket {
public:
    StationSocket() { m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0); }

    quint16 port() const { return m_socket.localPort(); }

    void request(const QHostAddress& modem, quint16 opcode, const QByteArray& record = {}, quint16 port = 40005)
    {
        m_socket.writeDatagram(protocol::buildFrame(opcode, protocol::payloadFrom(record)), modem, port);
    }

    void getReport(const QHostAddress& modem, quint16 wanted)
    {
        request(modem, CMD_GET_REPORT, QByteArray(1, char(wanted & 0xFF)) + char(wanted >> 8));
    }

    // The first datagram from `from` (any address when null) that is a frame with `opcode`;
    // a null datagram when none came in time. Other datagrams stay for later calls.
    QNetworkDatagram waitFor(const QHostAddress& from, quint16 opcode, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            pull();
            for (int i = 0; i < m_received.size(); ++i) {
                const QNetworkDatagram& d = m_received.at(i);
                if ((from.isNull() || d.senderAddress() == from) && protocol::isFrame(d.data())
                    && protocol::parseHeader(d.data()).opcode == opcode)
                    return m_received.takeAt(i);
            }
            QTest::qWait(5);
        } while (timer.elapsed() < timeoutMs);
        return QNetworkDatagram();
    }

    // Everything that arrives within `ms`, after what had arrived before.
    QList<QNetworkDatagram> collect(int ms)
    {
        QTest::qWait(ms);
        pull();
        QList<QNetworkDatagram> all;
        all.swap(m_received);
        return all;
    }

    void clear()
    {
        pull();
        m_received.clear();
    }

private:
    void pull()
    {
        while (m_socket.hasPendingDatagrams())
            m_received.append(m_socket.receiveDatagram());
    }

    QUdpSocket m_socket;
    QList<QNetworkDatagram> m_received;
};
