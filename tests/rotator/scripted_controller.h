#pragma once

#include <QtNetwork>
#include <QtTest>

#include <atomic>
#include <mutex>

// A stepper controller played by a test on a loopback address, on a thread of its own so it
// answers however busy the test is. It logs each datagram in hex ("83 e0 01 62 04 00 00 a12204"),
// answers position reads with the bytes set by the test, and zeroes its position on 0xEC.
class ScriptedController : public QThread {
public:
    explicit ScriptedController(const QHostAddress& address) : address(address) { start(); ready.acquire(); }
    ~ScriptedController() override { stopping = true; wait(); }

    // A deep copy: the reader never shares a buffer the controller's thread goes on writing.
    QString log() const
    {
        std::lock_guard<std::mutex> guard(mutex);
        return QString(datagrams.constData(), datagrams.size()).trimmed();
    }

    // The commands received, without the polls' reads, and without keep-alives unless asked.
    QString commands(bool keepAlives = false) const
    {
        return log().remove(QRegularExpression(keepAlives ? "\\ba12204\\b" : "\\b(a12204|8c)\\b")).simplified();
    }

    void waitReads(int more) const
    {
        const int until = log().count(kRead) + more;
        QTRY_VERIFY(log().count(kRead) >= until);
    }

    // What a position read gets back; nothing is silence.
    void setAnswer(const QByteArray& bytes) { std::lock_guard<std::mutex> guard(mutex); answer = bytes; }
    void setPosition(qint32 steps)
    {
        QByteArray bytes(4, '\0');
        qToLittleEndian(steps, bytes.data());
        setAnswer(bytes);
    }

    static constexpr const char* kRead = "a12204";

private:
    void run() override
    {
        QUdpSocket socket;
        // The station's own socket shares port 30000 on the wildcard address.
        if (!socket.bind(address, 30000, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
            qFatal("controller cannot bind %s", qPrintable(address.toString()));
        ready.release();
        while (!stopping) {
            socket.waitForReadyRead(20);
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                std::lock_guard<std::mutex> guard(mutex);
                datagrams += QString::fromLatin1(datagram.data().toHex()) + ' ';
                if (datagram.data() == "\xEC")  // the station only ever sets zero
                    answer = QByteArray(4, '\0');
                // Not makeReply: its packet info lets the kernel send from 127.0.0.1, which the
                // station's connected socket does not hear.
                if (!answer.isEmpty() && datagram.data() == QByteArray::fromHex(kRead))
                    socket.writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
            }
        }
    }

    const QHostAddress address;
    QSemaphore ready;  // released once the socket is bound
    std::atomic<bool> stopping {false};
    mutable std::mutex mutex;  // guards the fields below
    QString datagrams;
    QByteArray answer = QByteArray(4, '\0');
};
