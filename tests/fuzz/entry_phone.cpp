// PhoneControl on a loopback port of its own, fed each input as one datagram from a peer and
// followed by a numbered text that marks the input as handled; its timeout check runs between.

#include "fuzzentries.h"

#include "phonecontrol.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <QUdpSocket>

namespace {

struct PhoneRig {
    PhoneRig()
    {
        QUdpSocket probe;
        probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
        port = probe.localPort();
        probe.close();
        bound = phone.bind_socket(port);
        peer.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&phone, &PhoneControl::chat_incoming_message,
                         [this](const QString& text) { texts.append(text); });
    }

    PhoneControl phone;
    QUdpSocket peer;
    quint16 port = 0;
    bool bound = false;
    QStringList texts;
    quint64 marks = 0;
};

// Waits until the phone has handled everything sent before the mark; false when it never does.
bool waitForMark(PhoneRig& rig, const QString& mark)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection seen = QObject::connect(
        &rig.phone, &PhoneControl::chat_incoming_message, &loop, [&](const QString& text) {
            if (text == mark)
                loop.quit();
        });
    limit.start(5000);
    if (!rig.texts.contains(mark))
        loop.exec();
    QObject::disconnect(seen);
    return rig.texts.contains(mark);
}

} // namespace

bool fuzzentry::phone(const uint8_t* data, size_t size)
{
    static PhoneRig rig;
    if (!rig.bound)
        return false;
    const QByteArray datagram(reinterpret_cast<const char*>(data), int(qMin<size_t>(size, 1500)));
    const QString mark = QStringLiteral("mark %1").arg(++rig.marks);
    rig.texts.clear();
    const QHostAddress phone(QHostAddress::LocalHost);
    rig.peer.writeDatagram(datagram, phone, rig.port);
    rig.peer.writeDatagram(QByteArray(1, '\x01') + mark.toUtf8(), phone, rig.port);
    if (!waitForMark(rig, mark))
        return false;
    QMetaObject::invokeMethod(&rig.phone, "_check_timeout");

    // A text (type 1, any quality) arrives once, cut at its first NUL; nothing else is a text.
    QStringList expected;
    if (!datagram.isEmpty() && (uchar(datagram[0]) & 7) == 1) {
        const QByteArray body = datagram.mid(1);
        const int end = body.indexOf('\0');
        expected << QString::fromUtf8(end < 0 ? body : body.left(end));
    }
    expected << mark;
    return rig.texts == expected;
}
