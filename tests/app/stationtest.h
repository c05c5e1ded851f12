#pragma once
// Shared pieces of the main window tests: the window on a free port of its own, and a modem
// played by the test on a loopback address.

#include "mainwindow.h"
#include "protocol.h"
#include "status_records.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace stationtest {

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Packet logs of a window under test land in a temporary folder, not the build tree.
inline void runInTemporaryFolder()
{
    static QTemporaryDir folder;
    QDir::setCurrent(folder.path());
}

// A UDP port that nothing on this machine holds right now.
inline quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QUdpSocket::DontShareAddress);
    return probe.localPort();
}

// Collects the frames the station sends it and sends reports back.
class ScriptedModem : public QUdpSocket
{
public:
    explicit ScriptedModem(const char* address) { bind(QHostAddress(QLatin1String(address)), 0); }

    QString address() const { return localAddress().toString(); }

    // Every frame received so far, oldest first.
    QList<QByteArray> frames()
    {
        while (hasPendingDatagrams()) {
            QByteArray datagram(int(pendingDatagramSize()), '\0');
            readDatagram(datagram.data(), datagram.size());
            received.append(datagram);
        }
        return received;
    }

    void report(quint16 opcode, const QByteArray& payload, quint16 seqnum, quint16 stationPort)
    {
        writeDatagram(protocol::buildReport(opcode, seqnum, payload), QHostAddress::LocalHost, stationPort);
    }

private:
    QList<QByteArray> received;
};

// The window under test on a free port of its own.
class Station
{
public:
    Station()
    {
        runInTemporaryFolder();
        window = std::make_unique<MainWindow>();
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

    // Makes `modem` the current abonent without polling it.
    void choose(const ScriptedModem& modem) const
    {
        widget<QLineEdit>("op_current_abon_ip_le")->setText(modem.address());
        spin("op_current_abon_port_spb")->setValue(modem.localPort());
    }

    const quint16 port = freePort();
    std::unique_ptr<MainWindow> window;
};

} // namespace stationtest
