#include "scripted_controller.h"

#include <QNetworkDatagram>

namespace {
constexpr quint8 kRead = 0xA1;
constexpr quint8 kHaltAndSetPosition = 0xEC;
constexpr quint8 kSetTarget = 0xE0;
}

ScriptedController::ScriptedController(const QHostAddress& address, quint16 port)
{
    // The station's own socket shares port 30000 on the wildcard address.
    socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(&socket, &QUdpSocket::readyRead, this, &ScriptedController::receive);
}

bool ScriptedController::isBound() const
{
    return socket.state() == QAbstractSocket::BoundState;
}

int ScriptedController::reads() const
{
    return count(kRead);
}

int ScriptedController::count(quint8 cmd) const
{
    return int(std::count_if(log.begin(), log.end(), [cmd](const Command& c) { return c.cmd == cmd; }));
}

QList<ScriptedController::Command> ScriptedController::commandsSince(int read) const
{
    QList<Command> after;
    int seen = 0;
    for (const Command& c : log) {
        if (c.cmd == kRead)
            ++seen;
        else if (seen >= read)
            after << c;
    }
    return after;
}

bool ScriptedController::everyReadSinceFollowedBy(int read, quint8 cmd) const
{
    int seen = 0;
    for (int i = 0; i < log.size(); ++i) {
        if (log[i].cmd != kRead || ++seen <= read || i + 1 == log.size())
            continue;
        if (log[i + 1].cmd != cmd)
            return false;
    }
    return true;
}

void ScriptedController::receive()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        const QByteArray bytes = datagram.data();
        if (bytes == QByteArray::fromHex("a12204")) {
            log << Command{kRead, 0};
            if (answering) {
                const qint32 p = position;
                const char answer[4] = {char(p), char(p >> 8), char(p >> 16), char(p >> 24)};
                // Not makeReply: its packet info lets the kernel pick 127.0.0.1 as the source,
                // and the station's connected socket only hears the controller's own address.
                socket.writeDatagram(answer, 4, datagram.senderAddress(), quint16(datagram.senderPort()));
            }
        } else if (bytes.size() == 1) {
            take(quint8(bytes[0]));
        } else {
            log << Command{0, bytes.size()};  // anything else is a fault of the sender
        }
    }
}

void ScriptedController::take(quint8 byte)
{
    if (partial.isEmpty() && byte != kSetTarget && byte != kHaltAndSetPosition) {
        log << Command{byte, 0};
        return;
    }
    partial.append(char(byte));
    if (partial.size() < 6)
        return;
    const auto msbs = quint8(partial[1]);
    quint32 data = 0;
    for (int i = 0; i < 4; ++i)
        data |= quint32(quint8(partial[2 + i]) | ((msbs >> i & 1) << 7)) << (8 * i);
    const auto cmd = quint8(partial[0]);
    partial.clear();
    log << Command{cmd, qint32(data)};
    if (cmd == kHaltAndSetPosition)
        position = qint32(data);
}
