#include "linktest.h"
#include "bytes.h"
#include "packetlog.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Source {
    QHostAddress address;
    quint16 port;
    QString key; // the plain IPv4 form the station must use for it
};

struct ModelEntry {
    QString key;
    qint64 lastSeen;
    quint32 seqnum;
    QByteArray status;
    bool marked;
};

struct Emission {
    int route;
    quint16 seqnum;
    QByteArray payload;
    bool operator==(const Emission& o) const { return route == o.route && seqnum == o.seqnum && payload == o.payload; }
};

int debugLines = 0;
int badSignatureLines = 0;
int unknownLines = 0;

void countLine(QtMsgType, const QMessageLogContext&, const QString& message)
{
    ++debugLines;
    badSignatureLines += message == QLatin1String("Bag signature");
    unknownLines += message.startsWith(QLatin1String("\"[IN] <- Unknown "));
}

QByteArray randomBytes(QRandomGenerator& rng, int size)
{
    QByteArray out(size, '\0');
    for (char& c : out)
        c = char(rng.bounded(256));
    return out;
}

// Mostly frames a modem could send, some of them cut or spoilt, and plain noise.
QByteArray randomDatagram(QRandomGenerator& rng)
{
    if (rng.bounded(4) == 0)
        return randomBytes(rng, rng.bounded(1, 48));
    const quint16 opcode =
        rng.bounded(5) == 0 ? quint16(rng.generate()) : reportRoutes()[rng.bounded(reportRoutes().size())].opcode;
    const int payloadSize = rng.bounded(12) == 0 ? rng.bounded(1500) : rng.bounded(40);
    QByteArray datagram = protocol::buildReport(opcode, quint16(rng.generate()), randomBytes(rng, payloadSize));
    if (rng.bounded(10) == 0)
        datagram.truncate(rng.bounded(1, 7));
    if (rng.bounded(20) == 0)
        datagram.data()[rng.bounded(qMin(2, datagram.size()))] ^= char(1 << rng.bounded(8));
    return datagram;
}

QStringList keys(const QList<OpAbonent>& list)
{
    QStringList out;
    for (const OpAbonent& a : list)
        out << QStringLiteral("%1:%2").arg(a.address.toString()).arg(a.port);
    return out;
}

} // namespace

// Arbitrary datagrams through the whole receive path, checked against a model of what must
// reach the packet log, the abonent list and the report signals.
class TestReceiveRandom : public QObject {
    Q_OBJECT

private slots:
    void arbitraryDatagramsFollowTheRules_data();
    void arbitraryDatagramsFollowTheRules();
};

void TestReceiveRandom::arbitraryDatagramsFollowTheRules_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 20240601u, 0xC0FFEEu})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void TestReceiveRandom::arbitraryDatagramsFollowTheRules()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    const QVector<Source> sources = {
        {QHostAddress(QStringLiteral("10.0.0.2")), 40005, QStringLiteral("10.0.0.2:40005")},
        {QHostAddress(QStringLiteral("10.0.0.2")), 40006, QStringLiteral("10.0.0.2:40006")},
        {QHostAddress(QStringLiteral("10.0.0.3")), 40005, QStringLiteral("10.0.0.3:40005")},
        {QHostAddress(QStringLiteral("::ffff:10.0.0.2")), 40005, QStringLiteral("10.0.0.2:40005")},
        {QHostAddress(QStringLiteral("2001:db8::1")), 40005, QStringLiteral("0.0.0.0:40005")},
    };
    const QString filterKey = QStringLiteral("10.0.0.2:40005");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ReceivePath client;
    qint64 now = 1700000000000;
    client.setClock([&now] { return now; });
    QString path = dir.path();
    client.set_logger_path(path);
    client.logger_enable(true);
    client.filter(QStringLiteral("10.0.0.2"), 40005);

    QVector<Emission> emitted;
    for (int i = 0; i < reportRoutes().size(); ++i)
        connect(&client, reportRoutes()[i].signal, this,
                [&emitted, i](quint16 seqnum, const QByteArray& rep) { emitted.append({i, seqnum, rep}); });
    QList<OpAbonent> announced, deleted;
    connect(&client, &Client::signal_UpdatedAbonents, this, [&announced](QList<OpAbonent> l) { announced = l; });
    connect(&client, &Client::signal_DeletedAbonents, this, [&deleted](QList<OpAbonent> l) { deleted += l; });

    QVector<Emission> expectedEmitted;
    QVector<ModelEntry> model;
    QByteArray expectedLog;
    int datagrams = 0, expectedBad = 0, expectedUnknown = 0;
    debugLines = badSignatureLines = unknownLines = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countLine);

    for (int n = 0; n < 15000; ++n) {
        now += rng.bounded(40);
        const QByteArray datagram = randomDatagram(rng);
        const Source& source = sources[rng.bounded(sources.size())];
        client.feed(datagram, source.address, source.port);
        ++datagrams;

        const bool signed_ = quint8(datagram[0]) == 0x01 && datagram.size() >= 2 && quint8(datagram[1]) == 0xFF;
        expectedBad += !signed_;
        if (!signed_ || datagram.size() < 6)
            continue;
        const quint16 seqnum = bytes::u16(datagram, 2);
        const quint16 opcode = bytes::u16(datagram, 4);
        const QHostAddress plain(source.key.section(':', 0, 0));
        QByteArray header(packetlog::kRecordHeaderSize, '\0');
        packetlog::putHeader(reinterpret_cast<uint8_t*>(header.data()), now, plain.toIPv4Address(), source.port,
                             packetlog::Received);
        expectedLog += header + datagram;

        if (opcode == REP_CONT_STATUS) {
            auto it = std::find_if(model.begin(), model.end(), [&](const ModelEntry& e) { return e.key == source.key; });
            if (it == model.end())
                it = model.insert(model.end(), ModelEntry{source.key, 0, 0, {}, false});
            *it = ModelEntry{source.key, now, seqnum, datagram.mid(6, 29).leftJustified(29, '\0'), false};
            QStringList modelKeys;
            for (const ModelEntry& e : model)
                modelKeys << e.key;
            QCOMPARE(keys(announced), modelKeys);
            const OpAbonent& entry = announced[int(it - model.begin())];
            QCOMPARE(entry.status, it->status);
            QCOMPARE(entry.seqnum, it->seqnum);
            QCOMPARE(entry.updated, quint8(1));
        }
        if (source.key == filterKey) {
            const auto route = std::find_if(reportRoutes().begin(), reportRoutes().end(),
                                            [opcode](const ReportRoute& r) { return r.opcode == opcode; });
            if (route == reportRoutes().end())
                ++expectedUnknown;
            else
                expectedEmitted.append({int(route - reportRoutes().begin()), seqnum, datagram.mid(6)});
        }

        if (n % 97 == 0 && !model.isEmpty()) {
            ModelEntry& victim = model[rng.bounded(model.size())];
            victim.marked = true;
            client.abonentMarkDelete(QHostAddress(victim.key.section(':', 0, 0)), victim.key.section(':', 1).toUShort());
        }
        if (n % 50 == 0) {
            deleted.clear();
            client.cleanupAbonentList();
            QStringList gone;
            for (int i = 0; i < model.size();) {
                if (now - model[i].lastSeen >= 5000 || model[i].marked)
                    gone << model.takeAt(i).key;
                else
                    ++i;
            }
            QCOMPARE(keys(deleted), gone);
        }
    }
    qInstallMessageHandler(previous);
    client.logger_enable(false);

    QCOMPARE(debugLines, datagrams + expectedBad + expectedUnknown);
    QCOMPARE(badSignatureLines, expectedBad);
    QCOMPARE(unknownLines, expectedUnknown);
    QCOMPARE(emitted.size(), expectedEmitted.size());
    QVERIFY(emitted == expectedEmitted);
    QCOMPARE(client.abonentsCount(), model.size());

    QFile log(dir.filePath(QDir(dir.path()).entryList({"log-*.bin"}).value(0)));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray written = log.readAll();
    QCOMPARE(written.size(), expectedLog.size());
    QVERIFY(written == expectedLog);
}

QTEST_GUILESS_MAIN(TestReceiveRandom)
#include "tst_receive_random.moc"
