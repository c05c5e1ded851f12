#include "scripted_controller.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

ScriptedController::ScriptedController(const QHostAddress& address)
    : address(address)
{
    start();
    ready.acquire();
}

ScriptedController::~ScriptedController()
{
    stopping = true;
    wait();
}

QStringList ScriptedController::log() const
{
    // A list of its own: a shared copy would let the controller's next append race the reader.
    std::lock_guard<std::mutex> guard(mutex);
    return QStringList(commands.cbegin(), commands.cend());
}

QStringList ScriptedController::since(int read) const
{
    const QStringList all = log();
    int seen = 0;
    int from = 0;
    while (from < all.size() && seen < read)
        seen += all[from++] == "a1";
    return all.mid(from);
}

void ScriptedController::setPosition(qint32 steps)
{
    std::lock_guard<std::mutex> guard(mutex);
    position = steps;
}

void ScriptedController::setAnswering(bool answer)
{
    std::lock_guard<std::mutex> guard(mutex);
    answering = answer;
}

void ScriptedController::run()
{
    QUdpSocket socket;
    // The station's own socket shares port 30000 on the wildcard address.
    bound = socket.bind(address, 30000, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    ready.release();
    while (!stopping) {
        if (!socket.waitForReadyRead(20))
            continue;
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            const QByteArray answer = take(datagram.data());
            // Not makeReply: its packet info lets the kernel send from 127.0.0.1, which the
            // station's connected socket does not hear.
            if (!answer.isEmpty())
                socket.writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
        }
    }
}

// Logs one datagram; returns the answer to send, if any.
QByteArray ScriptedController::take(const QByteArray& datagram)
{
    std::lock_guard<std::mutex> guard(mutex);
    if (datagram == QByteArray::fromHex("a12204")) {
        commands << "a1";
        const char answer[4] = {char(position), char(position >> 8), char(position >> 16), char(position >> 24)};
        return answering ? QByteArray(answer, 4) : QByteArray();
    }
    if (datagram.size() != 1) {
        commands << "bad " + datagram.toHex();
        return {};
    }
    const auto byte = quint8(datagram[0]);
    if (partial.isEmpty() && byte != 0xE0 && byte != 0xEC) {
        commands << QString::number(byte, 16);
        return {};
    }
    partial.append(char(byte));
    if (partial.size() < 6)
        return {};
    quint32 data = 0;
    for (int i = 0; i < 4; ++i)
        data |= quint32(quint8(partial[2 + i]) | (quint8(partial[1]) >> i & 1) << 7) << (8 * i);
    commands << QStringLiteral("%1 %2").arg(quint8(partial[0]), 0, 16).arg(qint32(data));
    if (quint8(partial[0]) == 0xEC)
        position = qint32(data);
    partial.clear();
    return {};
}
