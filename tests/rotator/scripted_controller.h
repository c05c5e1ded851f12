#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

// A stepper controller played by a test on a loopback address: it decodes the command bytes
// it receives, answers position reads while `answering`, and zeroes its position on 0xEC.
class ScriptedController : public QObject {
public:
    struct Command {
        quint8 cmd;
        qint32 data;  // the 32-bit argument of 0xE0 / 0xEC, else 0
    };

    explicit ScriptedController(const QHostAddress& address, quint16 port = 30000);

    bool isBound() const;
    int reads() const;                      // position reads received so far
    int count(quint8 cmd) const;            // commands other than reads
    QList<Command> commandsSince(int read) const;  // commands that arrived after that read
    bool everyReadSinceFollowedBy(int read, quint8 cmd) const;

    qint32 position = 0;
    bool answering = true;

private:
    void receive();
    void take(quint8 byte);

    QUdpSocket socket;
    QList<Command> log;       // reads appear as 0xA1 entries, in arrival order
    QByteArray partial;       // a 32-bit command still collecting its five data bytes
};
