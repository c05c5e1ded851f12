#include "bytes.h"
#include "client.h"
#include "opcodenames.h"
#include "simnetwork.h"
#include "status_records.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

constexpr quint32 kFirstModem = 0x7F003F01;    // 127.0.63.1, apart from other tests' modems
constexpr quint32 kThousandFirst = 0x7F400001; // 127.64.0.1
constexpr int kPeriodMs = 150;

QHostAddress modemAddress(int number)
{
    return QHostAddress(kFirstModem + quint32(number - 1));
}

bool holds(const QList<OpAbonent>& list, const QHostAddress& address)
{
    return std::any_of(list.cbegin(), list.cend(), [&address](const OpAbonent& a) { return a.address == address; });
}

} // namespace

// The station's Client against simulated modems: the peer it is written for.
class TestSimClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyModemBecomesAnAbonent();
    void everyReportAskedForReachesItsSignal_data();
    void everyReportAskedForReachesItsSignal();
    void settingWrittenIsReadBack();
    void serviceCodeDropsAbonentUntilItReturns_data();
    void serviceCodeDropsAbonentUntilItReturns();
    void lossAndCorruptionNeverStopTheLink();
    void thousandModemsAreThousandAbonents();

private:
    void startNetwork(int modems, quint32 first, int periodMs);
    void send(OPCODE opcode, const QByteArray& record, const QHostAddress& modem = modemAddress(1));

    std::unique_ptr<Client> m_client;
    std::unique_ptr<SimNetwork> m_network;
};

void TestSimClient::initTestCase()
{
    // A line per datagram from a thousand modems would drown the test output.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestSimClient::init()
{
    m_client = std::make_unique<Client>();
    QVERIFY(m_client->initialize(QHostAddress(QHostAddress::LocalHost), 0));
}

void TestSimClient::cleanup()
{
    m_network.reset();
    m_client.reset();
}

void TestSimClient::startNetwork(int modems, quint32 first, int periodMs)
{
    SimConfig config;
    config.modems = modems;
    config.firstAddress = first;
    config.stationPort = m_client->getControlLocalPort();
    config.periodMs = periodMs;
    config.rebootMs = 1500;
    config.disconnectMs = 1500;
    config.idStatistic = true;
    m_network = std::make_unique<SimNetwork>(config);
    QString error;
    QVERIFY2(m_network->start(error), qPrintable(error));
}

void TestSimClient::send(OPCODE opcode, const QByteArray& record, const QHostAddress& modem)
{
    QVERIFY(m_client->send(opcode, protocol::payloadFrom(record), modem, 40005));
}

void TestSimClient::everyModemBecomesAnAbonent()
{
    QSignalSpy updated(m_client.get(), &Client::signal_UpdatedAbonents);
    startNetwork(3, kFirstModem, kPeriodMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
    const QList<OpAbonent> list = updated.last().at(0).value<QList<OpAbonent>>();
    for (int number = 1; number <= 3; ++number)
        QVERIFY(holds(list, modemAddress(number)));
    for (const OpAbonent& a : list) {
        QCOMPARE(a.port, quint16(40005));
        QVERIFY(records::decodeContStatus(a.status).sync);
    }
}

void TestSimClient::everyReportAskedForReachesItsSignal_data()
{
    QTest::addColumn<int>("opcode");
    for (quint16 op : {REP_TX_FREQUENCY, REP_RX_FREQUENCY, REP_ANTENNA_SEL, REP_DEFAULTS_SET, REP_REBOOT_DEVICE,
             REP_SET_TX_MODE, REP_VERSION, REP_CONT_STATUS, REP_PARAMETERS, REP_EXTENDED_STATUS,
             REP_UART_CONV_CONFIG, REP_ID_STATISTIC, REP_SESSION_SECRET, REP_TX_POWER_MODE, REP_SET_HS_CHANNEL_MOD}) {
        QTest::newRow(qPrintable(protocol::hex4(op))) << int(op);
    }
}

void TestSimClient::everyReportAskedForReachesItsSignal()
{
    QFETCH(int, opcode);
    startNetwork(1, kFirstModem, kPeriodMs);
    m_client->filter(modemAddress(1).toString(), 40005);
    const int index = m_client->metaObject()->indexOfSignal(
        QMetaObject::normalizedSignature(qPrintable(QStringLiteral("signal_REP_%1(quint16,QByteArray)")
                                                        .arg(opcodenames::name(quint16(opcode)).mid(4)))));
    QVERIFY(index >= 0);
    QSignalSpy spy(m_client.get(), m_client->metaObject()->method(index));
    QSignalSpy unsupported(m_client.get(), &Client::signal_REP_UNSUPPORTED);

    QByteArray wanted(2, '\0');
    wanted[0] = char(opcode & 0xFF);
    wanted[1] = char(opcode >> 8);
    send(CMD_GET_REPORT, wanted);
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), 5000);
    QCOMPARE(unsupported.count(), 0);
    const QByteArray rep = spy.first().at(1).toByteArray();
    const uint8_t head[2] = {bytes::u8(rep, 0), bytes::u8(rep, 1)};
    const int length = protocol::payloadLength(quint16(opcode), head);
    if (opcode == REP_ID_STATISTIC)
        QCOMPARE(rep.size(), records::kIdStatisticHeadSize + records::kIdStatisticEntrySize * int(uint8_t(rep.at(0))));
    else if (length >= 0)
        QCOMPARE(rep.size(), length);
}

void TestSimClient::settingWrittenIsReadBack()
{
    startNetwork(1, kFirstModem, kPeriodMs);
    m_client->filter(modemAddress(1).toString(), 40005);
    QSignalSpy rx(m_client.get(), &Client::signal_REP_RX_FREQUENCY);
    QSignalSpy secret(m_client.get(), &Client::signal_REP_SESSION_SECRET);

    send(CMD_RX_FREQUENCY, records::encodeFrequency(1420040000));
    QTRY_COMPARE_WITH_TIMEOUT(rx.count(), 1, 5000);
    CMD_SESSION_SECRET_t s;
    s.save = true;
    s.secret = QByteArray("0123456789abcdef", 17);
    send(CMD_SESSION_SECRET, records::encodeSessionSecret(s));
    QTRY_COMPARE_WITH_TIMEOUT(secret.count(), 1, 5000);

    send(CMD_GET_REPORT, QByteArray::fromHex("0281"));
    send(CMD_GET_REPORT, QByteArray::fromHex("0d81"));
    QTRY_COMPARE_WITH_TIMEOUT(rx.count(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(secret.count(), 2, 5000);
    QCOMPARE(records::decodeFrequency(rx.last().at(1).toByteArray()).frequency, quint64(1420040000));
    const CMD_SESSION_SECRET_t back = records::decodeSessionSecret(secret.last().at(1).toByteArray());
    QCOMPARE(back.secret, s.secret);
    QVERIFY(back.save);
}

void TestSimClient::serviceCodeDropsAbonentUntilItReturns_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("reboot") << QByteArray::fromHex("dddddddd");
    QTest::newRow("disconnect") << QByteArray::fromHex("cccccccc");
}

void TestSimClient::serviceCodeDropsAbonentUntilItReturns()
{
    QFETCH(QByteArray, code);
    startNetwork(3, kFirstModem, kPeriodMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
    QSignalSpy deleted(m_client.get(), &Client::signal_DeletedAbonents);
    QSignalSpy updated(m_client.get(), &Client::signal_UpdatedAbonents);

    // As the station forgets or reboots an abonent: five requests, then the mark.
    for (int i = 0; i < 5; ++i)
        send(CMD_REBOOT_DEVICE, code, modemAddress(2));
    QTest::qWait(100);
    m_client->abonentMarkDelete(modemAddress(2), 40005);

    QTRY_VERIFY_WITH_TIMEOUT(!deleted.isEmpty(), 5000);
    const QList<OpAbonent> gone = deleted.first().at(0).value<QList<OpAbonent>>();
    QCOMPARE(gone.size(), 1);
    QCOMPARE(gone.first().address, modemAddress(2));
    QCOMPARE(m_client->abonentsCount(), 2);

    updated.clear();
    QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
    QVERIFY(holds(updated.last().at(0).value<QList<OpAbonent>>(), modemAddress(2)));
}

void TestSimClient::lossAndCorruptionNeverStopTheLink()
{
    startNetwork(3, kFirstModem, kPeriodMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
    for (const char* line : {"loss all 0.3", "corrupt all 0.3", "duplicate all 0.2", "reorder all 0.2", "delay all 30 20"})
        QVERIFY(m_network->execute(QLatin1String(line)).startsWith(QLatin1String("ok: ")));
    m_client->filter(modemAddress(1).toString(), 40005);
    QSignalSpy deleted(m_client.get(), &Client::signal_DeletedAbonents);
    QSignalSpy status(m_client.get(), &Client::signal_REP_CONT_STATUS);
    QSignalSpy version(m_client.get(), &Client::signal_REP_VERSION);

    // The station's stage machine: ask every 100 ms until the answer comes.
    for (int round = 0; round < 30; ++round) {
        send(CMD_GET_REPORT, QByteArray::fromHex("0781"));
        QTest::qWait(100);
    }
    QCOMPARE(deleted.count(), 0);
    QCOMPARE(m_client->abonentsCount(), 3);
    QVERIFY(status.count() > 0);
    QVERIFY(version.count() > 0);
}

void TestSimClient::thousandModemsAreThousandAbonents()
{
    // The simulator in a process of its own, as beside a running station.
    QProcess sim;
    sim.start(QStringLiteral(ZARNIK_SIM), {QStringLiteral("--modems"), QStringLiteral("1000"),
        QStringLiteral("--first-address"), QHostAddress(kThousandFirst).toString(), QStringLiteral("--station"),
        QStringLiteral("127.0.0.1:%1").arg(m_client->getControlLocalPort())});
    QVERIFY(sim.waitForStarted(10000));
    QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 1000, 90000);
    QSignalSpy deleted(m_client.get(), &Client::signal_DeletedAbonents);
    QTest::qWait(1500);
    QCOMPARE(deleted.count(), 0);
    QCOMPARE(m_client->abonentsCount(), 1000);
    sim.kill();
    QVERIFY(sim.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestSimClient)
#include "tst_simclient.moc"
