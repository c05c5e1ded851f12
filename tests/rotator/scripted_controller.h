#pragma once

#include <QHostAddress>
#include <QStringList>
#include <QUdpSocket>

// A stepper controller played by a test on a loopback address: it logs the commands it gets
// ("83", "e0 1250", "a1" for a position read), answers reads while `answering`, and zeroes
// its position on 0xEC.
class ScriptedController : public QObject {
public:
    explicit ScriptedController(const QHostAddress& address);

    bool isBound() const { return socket.state() == QAbstractSocket::BoundState; }
    int reads() const { return log.count("a1"); }
    QStringList since(int read) const;  // the log after that many reads

    QStringList log;
    qint32 position = 0;
    bool answering = true;

private:
    void receive();
    void take(quint8 byte);

    QUdpSocket socket;
    QByteArray partial;  // a 32-bit command still collecting its five data bytes
};
