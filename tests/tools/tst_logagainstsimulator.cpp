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
#include <QtEndian>
#include <QtTest>
#include <memory>

namespace {

constexpr quint32 kFirstModem = 0x7F004101; // 127.0.65.1, apart from other tests' modems
constexpr quint16 kModemPort = 40005;

using Traffic = QMultiMap<QByteArray, QByteArray>; // frames by modem address and port

QByteArray peerKey(quint32 address, quint16 port)
{
    return QByteArray::number(address) + ':' + QByteArray::number(port);
}

// The UDP payloads of an IPv4 pcap file, split by whether they went to the station's port.
void readPcap(const QString& path, quint16 stationPort, Traffic& toStation, Traffic& fromStation)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() < 24 || qFromLittleEndian<quint32>(p) != 0xA1B2C3D4
        || qFromLittleEndian<quint32>(p + 20) != PcapWriter::kLinkTypeIpv4)
        return;
    for (int at = 24; at + 16 <= bytes.size();) {
        const int length = int(qFromLittleEndian<quint32>(p + at + 8));
        const uchar* ip = p + at + 16;
        if (at + 16 + length > bytes.size() || length < 28)
            break;
        const QByteArray data(reinterpret_cast<const char*>(ip + 28), length - 28);
        if (qFromBigEndian<quint16>(ip + 22) == stationPort)
            toStation.insert(peerKey(qFromBigEndian<quint32>(ip + 12), qFromBigEndian<quint16>(ip + 20)), data);
        else
            fromStation.insert(peerKey(qFromBigEndian<quint32>(ip + 16), qFromBigEndian<quint16>(ip + 22)), data);
        at += 16 + length;
    }
}

// The records of a log, frames copied out of the reader, and how many damaged stretches it has.
QVector<LogRecord> readLog(const QString& path, int* damages = nullptr)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    LogReader reader(f);
    QVector<LogRecord> records;
    LogRecord r;
    LogDamage d;
    for (LogReader::Item item; (item = reader.next(r, d)) != LogReader::End;) {
        if (item == LogReader::Record) {
            r.frame = QByteArray(r.frame.constData(), r.frame.size());
            records.append(r);
        }
    }
    if (damages)
        *damages = reader.damageCount();
    return records;
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
            qToLittleEndian(report, wanted.data());
            QVERIFY(client.send(CMD_GET_REPORT, protocol::payloadFrom(wanted), QHostAddress(kFirstModem), kModemPort));
        }
        QVERIFY(client.send(CMD_ANTENNA_SEL, protocol::payloadFrom(QByteArray(1, '\1')), QHostAddress(kFirstModem),
                            kModemPort));
        QTRY_VERIFY_WITH_TIMEOUT(last.count() >= 1 && statistics.count() >= 5, 20000);
        network.reset(); // nothing more is sent to the station
        capture.close();

        const QString log = QDir(path).entryInfoList({QStringLiteral("log-*.bin")}).value(0).filePath();
        QVERIFY(!log.isEmpty());
        Traffic toStation, fromStation;
        readPcap(dir.filePath(QStringLiteral("sim.pcap")), config.stationPort, toStation, fromStation);
        QVERIFY(toStation.size() > 20);
        // The station reads what is still on its way before the log is closed.
        QTRY_COMPARE_WITH_TIMEOUT(readLog(log).size(), toStation.size() + fromStation.size(), 20000);
        client.logger_enable(false);

        int damages = -1;
        const QVector<LogRecord> records = readLog(log, &damages);
        QCOMPARE(damages, 0);
        Traffic received, sent;
        LogStats stats;
        RecordFields fields;
        for (const LogRecord& r : records) {
            (r.direction == 1 ? sent : received).insert(peerKey(r.address, r.port), r.frame);
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
