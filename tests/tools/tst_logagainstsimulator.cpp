#include "client.h"
#include "logreader.h"
#include "logstats.h"
#include "pcapwriter.h"
#include "recordfields.h"
#include "simnetwork.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

constexpr quint32 kFirstModem = 0x7F004101; // 127.0.65.1, apart from other tests' modems
constexpr quint16 kModemPort = 40005;

struct Datagram {
    quint32 from = 0;
    quint16 fromPort = 0;
    quint32 to = 0;
    quint16 toPort = 0;
    QByteArray data;
};

quint32 be32(const uchar* p) { return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]; }
quint16 be16(const uchar* p) { return quint16(p[0] << 8 | p[1]); }
quint32 le32(const uchar* p) { return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24; }

// The UDP datagrams of an IPv4 pcap file.
QVector<Datagram> readPcap(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    QVector<Datagram> result;
    if (bytes.size() < 24 || le32(p) != 0xA1B2C3D4 || le32(p + 20) != PcapWriter::kLinkTypeIpv4)
        return result;
    for (int at = 24; at + 16 <= bytes.size();) {
        const int length = int(le32(p + at + 8));
        const uchar* ip = p + at + 16;
        if (at + 16 + length > bytes.size() || length < 28)
            break;
        result.append({be32(ip + 12), be16(ip + 20), be32(ip + 16), be16(ip + 22),
                       QByteArray(reinterpret_cast<const char*>(ip + 28), length - 28)});
        at += 16 + length;
    }
    return result;
}

struct LogContent {
    QVector<LogRecord> records; // frames copied out of the reader
    int damages = 0;
};

LogContent readLog(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    LogReader reader(f);
    LogContent content;
    LogRecord r;
    LogDamage d;
    for (LogReader::Item item; (item = reader.next(r, d)) != LogReader::End;) {
        if (item == LogReader::Damage)
            ++content.damages;
        if (item == LogReader::Record) {
            r.frame = QByteArray(r.frame.constData(), r.frame.size());
            content.records.append(r);
        }
    }
    return content;
}

} // namespace

// A log made by the station's modem link against simulated modems reads back without damage,
// record for record the traffic that the simulator's own capture holds.
class TestLogAgainstSimulator : public QObject {
    Q_OBJECT

private slots:
    void stationLogMatchesTheSimulatorsCapture()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        QTemporaryDir dir;
        Client client;
        QVERIFY(client.initialize(QHostAddress(QHostAddress::LocalHost), 0));
        client.filter(QHostAddress(kFirstModem).toString(), kModemPort);
        QString path = dir.path();
        client.set_logger_path(path);
        client.logger_enable(true);

        SimConfig config;
        config.modems = 2;
        config.firstAddress = kFirstModem;
        config.stationPort = client.getControlLocalPort();
        config.periodMs = 100;
        config.extendedStatus = true;
        config.idStatistic = true;
        auto network = std::make_unique<SimNetwork>(config);
        PcapWriter capture;
        QString error;
        QVERIFY2(capture.open(dir.filePath(QStringLiteral("sim.pcap")), error), qPrintable(error));
        network->setCapture(&capture);
        QVERIFY2(network->start(error), qPrintable(error));

        QSignalSpy last(&client, &Client::signal_REP_SET_HS_CHANNEL_MOD);
        QSignalSpy statistics(&client, &Client::signal_REP_ID_STATISTIC);
        for (quint16 report = REP_TX_FREQUENCY; report <= REP_SET_HS_CHANNEL_MOD; ++report) {
            QByteArray wanted(2, '\0');
            wanted[0] = char(report & 0xFF);
            wanted[1] = char(report >> 8);
            QVERIFY(client.send(CMD_GET_REPORT, protocol::payloadFrom(wanted), QHostAddress(kFirstModem), kModemPort));
        }
        QVERIFY(client.send(CMD_ANTENNA_SEL, protocol::payloadFrom(QByteArray(1, '\1')), QHostAddress(kFirstModem),
                            kModemPort));
        QTRY_VERIFY_WITH_TIMEOUT(last.count() >= 1 && statistics.count() >= 5, 20000);
        network.reset(); // nothing more is sent to the station
        capture.close();

        const QString log = QDir(path).entryInfoList({QStringLiteral("log-*.bin")}).value(0).filePath();
        QVERIFY(!log.isEmpty());
        const QVector<Datagram> captured = readPcap(dir.filePath(QStringLiteral("sim.pcap")));
        QMultiMap<QByteArray, QByteArray> toStation; // by modem address and port
        QMultiMap<QByteArray, QByteArray> fromStation;
        for (const Datagram& d : captured) {
            if (d.toPort == config.stationPort)
                toStation.insert(QByteArray::number(d.from) + ':' + QByteArray::number(d.fromPort), d.data);
            else
                fromStation.insert(QByteArray::number(d.to) + ':' + QByteArray::number(d.toPort), d.data);
        }
        QVERIFY(toStation.size() > 20);
        // The station reads what is still on its way before the log is closed.
        QTRY_COMPARE_WITH_TIMEOUT(readLog(log).records.size(), toStation.size() + fromStation.size(), 20000);
        client.logger_enable(false);

        const LogContent content = readLog(log);
        QCOMPARE(content.damages, 0);
        QMultiMap<QByteArray, QByteArray> received;
        QMultiMap<QByteArray, QByteArray> sent;
        LogStats stats;
        RecordFields fields;
        for (const LogRecord& r : content.records) {
            const QByteArray peer = QByteArray::number(r.address) + ':' + QByteArray::number(r.port);
            (r.direction == 1 ? sent : received).insert(peer, r.frame);
            stats.add(r);
            const protocol::FrameHeader h = protocol::parseHeader(r.frame);
            fields.decode(h.opcode, protocol::payloadOf(r.frame));
            QVERIFY2(!fields.fields().isEmpty(), qPrintable(QStringLiteral("no fields for %1").arg(h.opcode, 0, 16)));
        }
        QCOMPARE(received, toStation);
        QCOMPARE(sent, fromStation);
        QCOMPARE(stats.peers().size(), 2);
        for (const LogStats::Peer& peer : stats.peers()) {
            QVERIFY(peer.numbered());
            QCOMPARE(peer.missing, qint64(0));
            QVERIFY(peer.statusCount >= 3);
        }
    }
};

QTEST_GUILESS_MAIN(TestLogAgainstSimulator)
#include "tst_logagainstsimulator.moc"
