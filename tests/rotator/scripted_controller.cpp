#include "scripted_controller.h"

#include <QNetworkDatagram>

ScriptedController::ScriptedController(const QHostAddress& address)
{
    // The station's own socket shares port 30000 on the wildcard address.
    socket.bind(address, 30000, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(&socket, &QUdpSocket::readyRead, this, &ScriptedController::receive);
}

QStringList ScriptedController::since(int read) const
{
    int seen = 0;
    int from = 0;
    while (from < log.size() && seen < read)
        seen += log[from++] == "a1";
    return log.mid(from);
}

void ScriptedController::receive()
{
    while (socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket.receiveDatagram();
        if (datagram.data() == QByteArray::fromHex("a12204")) {
            log << "a1";
            const char answer[4] = {char(position), char(position >> 8), char(position >> 16),
                                    char(position >> 24)};
            // Not makeReply: its packet info lets the kernel send from 127.0.0.1, which the
            // station's connected socket does not hear.
            if (answering)
                socket.writeDatagram(answer, 4, datagram.senderAddress(), quint16(datagram.senderPort()));
        } else if (datagram.data().size() == 1) {
            take(quint8(datagram.data()[0]));
        } else {
            log << "bad " + datagram.data().toHex();
        }
    }
}

void ScriptedController::take(quint8 byte)
{
    if (partial.isEmpty() && byte != 0xE0 && byte != 0xEC) {
        log << QString::number(byte, 16);
        return;
    }
    partial.append(char(byte));
    if (partial.size() < 6)
        return;
    quint32 data = 0;
    for (int i = 0; i < 4; ++i)
        data |= quint32(quint8(partial[2 + i]) | (quint8(partial[1]) >> i & 1) << 7) << (8 * i);
    log << QStringLiteral("%1 %2").arg(quint8(partial[0]), 0, 16).arg(qint32(data));
    if (quint8(partial[0]) == 0xEC)
        position = qint32(data);
    partial.clear();
}
