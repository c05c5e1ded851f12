// libFuzzer entry: each input is one control byte and one datagram, driven through the whole
// receive path (parse, packet log, abonent list, dispatch) with marks and ageing passes mixed in.

#include "linktest.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

void discard(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Harness {
    QTemporaryDir dir;
    ReceivePath client;
    qint64 now = 1700000000000;
    quint64 inputs = 0;
    quint64 payloadSum = 0;
    const QVector<QPair<QHostAddress, quint16>> sources = {
        {QHostAddress(QStringLiteral("10.0.0.2")), 40005},
        {QHostAddress(QStringLiteral("10.0.0.2")), 40006},
        {QHostAddress(QStringLiteral("::ffff:10.0.0.2")), 40005},
        {QHostAddress(QStringLiteral("2001:db8::1")), 40005},
    };

    Harness()
    {
        // Debug stays enabled so the traffic lines are formatted; they are just not printed.
        qInstallMessageHandler(discard);
        client.setClock([this] { return now; });
        QString path = dir.path();
        client.set_logger_path(path);
        client.logger_enable(true);
        client.filter(QStringLiteral("10.0.0.2"), 40005);
        // Read every byte handed out, so a payload pointing outside its datagram is caught.
        for (const ReportRoute& route : reportRoutes())
            QObject::connect(&client, route.signal, [this](quint16, const QByteArray& rep) {
                for (char c : rep)
                    payloadSum += quint8(c);
            });
        QObject::connect(&client, &Client::signal_UpdatedAbonents, [this](const QList<OpAbonent>& list) {
            for (const OpAbonent& a : list)
                for (char c : a.status)
                    payloadSum += quint8(c);
        });
    }

    // Keeps a long run from filling the disk.
    void startNewLog()
    {
        client.logger_enable(false);
        QDir folder(dir.path());
        for (const QString& name : folder.entryList(QDir::Files))
            folder.remove(name);
        client.logger_enable(true);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness h;
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    const auto& source = h.sources[control & 0x03];
    h.now += ((control >> 2) & 0x0F) * 700;
    if (control & 0x40)
        h.client.abonentMarkDelete(source.first, source.second);

    h.client.handleDatagram(reinterpret_cast<const char*>(data + 1), int(size - 1), source.first, source.second);

    if (control & 0x80)
        h.client.cleanupAbonentList();
    if (++h.inputs % 200000 == 0)
        h.startNewLog();
    return 0;
}
