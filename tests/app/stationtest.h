#pragma once
// Shared pieces of the main window tests: a scripted modem on a loopback address, a free local
// port, a window bound to it with its packet logs kept in a temporary folder, and record builders.

#include "mainwindow.h"
#include "protocol.h"
#include "status_records.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLineEdit>
#include <QList>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <memory>

namespace stationtest {

// A UDP port that nothing on this machine holds right now.
inline quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QUdpSocket::DontShareAddress);
    return probe.localPort();
}

// Packet logs land in the working folder; keep them out of the build tree.
inline void runInTemporaryFolder()
{
    static QTemporaryDir folder;
    QDir::setCurrent(folder.path());
}

// A modem played by the test: collects the frames the station sends it and sends reports back.
class ScriptedModem
{
public:
    explicit ScriptedModem(const QString& address)
        : address(address)
    {
        socket.bind(QHostAddress(address), 0);
    }

    quint16 port() const { return socket.localPort(); }
    QString abonentLine() const { return QStringLiteral("%1:%2:[]").arg(address).arg(port()); }

    // Every frame received so far, oldest first.
    QList<QByteArray> frames()
    {
        drain();
        return received;
    }

    void clear()
    {
        drain();
        received.clear();
    }

    // Waits until a frame with `opcode` (and, for CMD_GET_REPORT, asking for `report`) arrives
    // after the first `skip` frames; returns its index or -1.
    int waitFor(quint16 opcode, int report = -1, int skip = 0, int timeoutMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        int index = skip;
        while (clock.elapsed() < timeoutMs) {
            drain();
            for (; index < received.size(); ++index) {
                const protocol::FrameHeader header = protocol::parseHeader(received.at(index));
                const QByteArray payload = protocol::payloadOf(received.at(index));
                if (header.opcode != opcode)
                    continue;
                if (report < 0 || (payload.size() >= 2
                                   && quint16(uchar(payload[0]) | uchar(payload[1]) << 8) == report))
                    return index;
            }
            QTest::qWait(10);
        }
        return -1;
    }

    void report(quint16 opcode, const QByteArray& payload, quint16 seqnum, quint16 stationPort)
    {
        socket.writeDatagram(protocol::buildReport(opcode, seqnum, payload),
                             QHostAddress::LocalHost, stationPort);
    }

    const QString address;

private:
    void drain()
    {
        while (socket.hasPendingDatagrams()) {
            QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(datagram.data(), datagram.size());
            received.append(datagram);
        }
    }

    QUdpSocket socket;
    QList<QByteArray> received;
};

// The window under test, bound to a port of its own so tests never share the default one.
class Station
{
public:
    Station()
        : window(std::make_unique<MainWindow>())
        , port(freePort())
    {
        spin("pc_port_spb")->setValue(port);
    }

    template <typename T = QWidget>
    T* widget(const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    QSpinBox* spin(const char* name) const { return widget<QSpinBox>(name); }

    std::unique_ptr<MainWindow> window;
    const quint16 port;
};

inline QByteArray contStatus(uint8_t opmode, uint8_t sync, uint8_t rssi)
{
    REP_CONT_STATUS_t status;
    status.opmode = opmode;
    status.sync = sync;
    status.rssi = rssi;
    return records::encodeContStatus(status);
}

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

} // namespace stationtest
