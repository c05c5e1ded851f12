// libFuzzer entry: each input is one control byte and one datagram, driven through the whole
// receive path (parse, packet log, abonent list, dispatch) with marks and ageing passes mixed in.

#include "linktest.h"

#include <QDir>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static qint64 now = 0;
    static quint64 inputs = 0;
    static ReceivePath client;
    static const QHostAddress senders[] = {QHostAddress(0x0A000002u), QHostAddress(QStringLiteral("::ffff:10.0.0.2")),
                                           QHostAddress(QStringLiteral("2001:db8::1"))};
    if (inputs == 0) {
        // Debug stays enabled so the traffic lines are formatted; they are just not printed.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        client.setClock([] { return now; });
        QString path = dir.path();
        client.set_logger_path(path);
        client.filter(QStringLiteral("10.0.0.2"), 40005);
    }
    if (inputs++ % 200000 == 0) { // a fresh log now and then keeps a long run from filling the disk
        client.logger_enable(false);
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(name));
        client.logger_enable(true);
    }
    if (size < 1)
        return 0;
    const QHostAddress& sender = senders[(data[0] & 3) % 3];
    const quint16 port = data[0] & 4 ? 40006 : 40005;
    now += ((data[0] >> 4) & 7) * 800;
    if (data[0] & 8)
        client.abonentMarkDelete(sender, port);
    client.handleDatagram(reinterpret_cast<const char*>(data + 1), int(size - 1), sender, port);
    if (data[0] & 0x80)
        client.cleanupAbonentList();
    return 0;
}
