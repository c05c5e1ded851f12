#include "bytes.h"
#include "simmodem.h"
#include "simnetwork.h"
#include "stationsocket.h"

#include <QtTest>
#include <memory>

namespace {

constexpr quint32 kFirstModem = 0x7F003D01; // 127.0.61.1, apart from other tests' modems
constexpr int kPeriodMs = 100;

QHostAddress modemAddress(int number)
{
    return QHostAddress(kFirstModem + quint32(number - 1));
}

QByteArray getSegment(int offset, int length)
{
    const char request[] = {char(0xA1), char(offset & 0x7F), char(((offset >> 1) & 0x40) | (length & 0x3F))};
    return QByteArray(request, 3);
}

// The six one-byte datagrams of a 32-bit controller command.
void sendCommand32(QUdpSocket& socket, quint8 command, qint32 data)
{
    const quint32 v = quint32(data);
    const quint8 msbs = quint8(((v >> 7) & 1) | ((v >> 14) & 2) | ((v >> 21) & 4) | ((v >> 28) & 8));
    socket.write(QByteArray(1, char(command)));
    socket.write(QByteArray(1, char(msbs)));
    for (int i = 0; i < 4; ++i)
        socket.write(QByteArray(1, char((v >> (8 * i)) & 0x7F)));
}

} // namespace

// A simulated network in this process, talked to over loopback UDP as the station would.
class TestSimNetwork : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusReportFromEveryModemArrives();
    void everyReportAskedForArrivesFromTheModemPort_data();
    void everyReportAskedForArrivesFromTheModemPort();
    void defaultsWrittenAreReadBack();
    void serviceCodeSilencesModemUntilItComesBack_data();
    void serviceCodeSilencesModemUntilItComesBack();
    void faultsDamageReportsButNeverStopThem();
    void controllerFollowsTargetStallsAndFallsSilent();
    void attenuationDrivesExtendedStatusLoss();

private:
    qint32 readControllerPosition(QUdpSocket& controller, bool* answered);

    std::unique_ptr<StationSocket> m_station;
    std::unique_ptr<SimNetwork> m_network;
};

void TestSimNetwork::init()
{
    m_station = std::make_unique<StationSocket>();
    SimConfig config;
    config.modems = 3;
    config.firstAddress = kFirstModem;
    config.stationPort = m_station->port();
    config.periodMs = kPeriodMs;
    config.rebootMs = 1000;
    config.disconnectMs = 1000;
    config.extendedStatus = true;
    config.stepperSpeed = 2000;
    m_network = std::make_unique<SimNetwork>(config);
    QString error;
    QVERIFY2(m_network->start(error), qPrintable(error));
}

void TestSimNetwork::cleanup()
{
    m_network.reset();
    m_station.reset();
}

void TestSimNetwork::statusReportFromEveryModemArrives()
{
    for (int number = 1; number <= 3; ++number) {
        const QNetworkDatagram d = m_station->waitFor(modemAddress(number), REP_CONT_STATUS);
        QVERIFY2(!d.isNull(), qPrintable(QString::number(number)));
        QCOMPARE(d.senderPort(), 40005);
        QCOMPARE(protocol::payloadOf(d.data()).size(), 29);
        const REP_CONT_STATUS_t s = records::decodeContStatus(protocol::payloadOf(d.data()));
        QCOMPARE(s.opmode, ModemModel::factoryDefaults(number - 1, kFirstModem + quint32(number - 1), BandPlan()).opmode);
        QVERIFY(s.sync);
    }
}

void TestSimNetwork::everyReportAskedForArrivesFromTheModemPort_data()
{
    QTest::addColumn<int>("opcode");
    for (quint16 op : {REP_TX_FREQUENCY, REP_RX_FREQUENCY, REP_ANTENNA_SEL, REP_DEFAULTS_SET, REP_REBOOT_DEVICE,
             REP_SET_TX_MODE, REP_VERSION, REP_CONT_STATUS, REP_PARAMETERS, REP_EXTENDED_STATUS,
             REP_UART_CONV_CONFIG, REP_ID_STATISTIC, REP_SESSION_SECRET, REP_TX_POWER_MODE, REP_SET_HS_CHANNEL_MOD})
        QTest::newRow(qPrintable(protocol::hex4(op))) << int(op);
}

void TestSimNetwork::everyReportAskedForArrivesFromTheModemPort()
{
    QFETCH(int, opcode);
    m_station->getReport(modemAddress(2), quint16(opcode));
    const QNetworkDatagram d = m_station->waitFor(modemAddress(2), quint16(opcode));
    QVERIFY(!d.isNull());
    QCOMPARE(d.senderPort(), 40005);
    if (opcode == REP_PARAMETERS) {
        const REP_PARAMETERS_t p = records::decodeParameters(protocol::payloadOf(d.data()));
        QCOMPARE(p.lowest, BandPlan().lowest);
        QCOMPARE(p.highest, BandPlan().highest);
        QCOMPARE(p.step, BandPlan().step);
    }
    if (opcode == REP_DEFAULTS_SET)
        QCOMPARE(records::decodeDefaults(protocol::payloadOf(d.data())).ip_addr, kFirstModem + 1);
}

void TestSimNetwork::defaultsWrittenAreReadBack()
{
    CMD_DEFAULTS_SET_t d = ModemModel::factoryDefaults(0, kFirstModem, BandPlan());
    d.opmode = records::encodeOpmode(3, 1, 2, 1);
    d.tx_power_mode = 40;
    d.gst_string_fm2 = "written by the test";
    m_station->request(modemAddress(1), CMD_DEFAULTS_SET, records::encodeDefaults(d));
    QVERIFY(!m_station->waitFor(modemAddress(1), REP_DEFAULTS_SET).isNull());

    m_station->getReport(modemAddress(1), REP_DEFAULTS_SET);
    const QNetworkDatagram report = m_station->waitFor(modemAddress(1), REP_DEFAULTS_SET);
    QCOMPARE(protocol::payloadOf(report.data()), records::encodeDefaults(d));
    // The next status report carries the new mode byte.
    m_station->clear();
    const QNetworkDatagram status = m_station->waitFor(modemAddress(1), REP_CONT_STATUS);
    QCOMPARE(records::decodeContStatus(protocol::payloadOf(status.data())).opmode, d.opmode);
}

void TestSimNetwork::serviceCodeSilencesModemUntilItComesBack_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<bool>("factory");
    QTest::newRow("reboot") << QByteArray::fromHex("dddddddd") << false;
    QTest::newRow("disconnect") << QByteArray::fromHex("cccccccc") << false;
    QTest::newRow("hard reset") << QByteArray::fromHex("7f003d02") << true;
}

void TestSimNetwork::serviceCodeSilencesModemUntilItComesBack()
{
    QFETCH(QByteArray, code);
    QFETCH(bool, factory);
    const QHostAddress target = modemAddress(2);
    m_station->request(target, CMD_TX_POWER_MODE, QByteArray(1, char(30)));
    QVERIFY(!m_station->waitFor(target, REP_TX_POWER_MODE).isNull());
    CMD_DEFAULTS_SET_t changed = ModemModel::factoryDefaults(1, kFirstModem + 1, BandPlan());
    changed.tx_power_mode = 20;
    m_station->request(target, CMD_DEFAULTS_SET, records::encodeDefaults(changed));
    QVERIFY(!m_station->waitFor(target, REP_DEFAULTS_SET).isNull());

    m_station->request(target, CMD_REBOOT_DEVICE, code);
    QVERIFY(!m_station->waitFor(target, REP_REBOOT_DEVICE).isNull());
    m_station->clear();
    const QList<QNetworkDatagram> quiet = m_station->collect(3 * kPeriodMs);
    int fromTarget = 0;
    int fromOthers = 0;
    for (const QNetworkDatagram& d : quiet)
        (d.senderAddress() == target ? fromTarget : fromOthers) += 1;
    QCOMPARE(fromTarget, 0);
    QVERIFY(fromOthers > 0);

    const QNetworkDatagram back = m_station->waitFor(target, REP_CONT_STATUS);
    QVERIFY(!back.isNull());
    m_station->getReport(target, REP_TX_POWER_MODE);
    const QByteArray power = protocol::payloadOf(m_station->waitFor(target, REP_TX_POWER_MODE).data());
    m_station->getReport(target, REP_DEFAULTS_SET);
    const CMD_DEFAULTS_SET_t stored = records::decodeDefaults(protocol::payloadOf(m_station->waitFor(target, REP_DEFAULTS_SET).data()));
    const bool disconnected = code == QByteArray::fromHex("cccccccc");
    // A restart runs from the stored settings; a disconnect changes none.
    QCOMPARE(int(bytes::u8(power, 0)), disconnected ? 30 : factory ? 100 : 20);
    QCOMPARE(int(stored.tx_power_mode), factory ? 100 : 20);
    if (!disconnected)
        QVERIFY(protocol::parseHeader(back.data()).seqnum < 5);
}

void TestSimNetwork::faultsDamageReportsButNeverStopThem()
{
    QCOMPARE(m_network->execute(QStringLiteral("loss all 0.3")), QStringLiteral("ok: loss all 0.3"));
    m_network->execute(QStringLiteral("corrupt all 0.3"));
    m_network->execute(QStringLiteral("duplicate all 0.2"));
    m_network->execute(QStringLiteral("reorder all 0.2"));
    m_network->execute(QStringLiteral("delay all 20 10"));
    m_station->clear();

    int intact = 0;
    int damaged = 0;
    for (int round = 0; round < 40; ++round) {
        m_station->getReport(modemAddress(3), REP_VERSION);
        for (const QNetworkDatagram& d : m_station->collect(20)) {
            const QByteArray payload = protocol::payloadOf(d.data());
            const uint8_t head[2] = {bytes::u8(payload, 0), bytes::u8(payload, 1)};
            const int length = protocol::payloadLength(protocol::parseHeader(d.data()).opcode, head);
            const bool whole = protocol::isFrame(d.data()) && (length < 0 || payload.size() == length);
            (whole ? intact : damaged) += 1;
        }
    }
    QVERIFY2(damaged > 0, "no fault reached the station");
    QVERIFY2(intact > damaged, qPrintable(QStringLiteral("%1 intact, %2 damaged").arg(intact).arg(damaged)));

    m_network->execute(QStringLiteral("clear all"));
    m_station->getReport(modemAddress(3), REP_VERSION);
    QVERIFY(!m_station->waitFor(modemAddress(3), REP_VERSION).isNull());
}

qint32 TestSimNetwork::readControllerPosition(QUdpSocket& controller, bool* answered)
{
    while (controller.hasPendingDatagrams())
        controller.receiveDatagram();
    controller.write(getSegment(0x22, 4));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300) {
        if (controller.hasPendingDatagrams()) {
            *answered = true;
            return bytes::i32(controller.receiveDatagram().data(), 0);
        }
        QTest::qWait(5);
    }
    *answered = false;
    return 0;
}

void TestSimNetwork::controllerFollowsTargetStallsAndFallsSilent()
{
    QUdpSocket controller;
    QVERIFY(controller.bind(QHostAddress(QHostAddress::LocalHost), 0));
    controller.connectToHost(modemAddress(1), SimModem::kStepperPort);
    QVERIFY(controller.waitForConnected(1000));
    bool answered = false;
    QCOMPARE(readControllerPosition(controller, &answered), 0);
    QVERIFY(answered);

    controller.write(QByteArray(1, char(0x83)));
    sendCommand32(controller, 0xE0, 600);
    // Polled as the rotator polls: 0x8C keeps the controller's command time-out from stopping it.
    QElapsedTimer moving;
    moving.start();
    qint32 position = 0;
    while (position != 600 && moving.elapsed() < 10000) {
        controller.write(QByteArray(1, char(0x8C)));
        position = readControllerPosition(controller, &answered);
        QTest::qWait(50);
    }
    QCOMPARE(position, 600);

    QCOMPARE(m_network->execute(QStringLiteral("stall 1")), QStringLiteral("ok: stall 1"));
    controller.write(QByteArray(1, char(0x83)));
    sendCommand32(controller, 0xE0, -600);
    for (int poll = 0; poll < 4; ++poll) {
        controller.write(QByteArray(1, char(0x8C)));
        QCOMPARE(readControllerPosition(controller, &answered), 600);
        QTest::qWait(50);
    }

    m_network->execute(QStringLiteral("ctl-silence 1"));
    readControllerPosition(controller, &answered);
    QVERIFY(!answered);
    m_network->execute(QStringLiteral("ctl-silence 1 off"));
    readControllerPosition(controller, &answered);
    QVERIFY(answered);
}

void TestSimNetwork::attenuationDrivesExtendedStatusLoss()
{
    m_network->setAttenuation(LossCurves().att50Db + 6.0);
    m_station->clear();
    const QNetworkDatagram lost = m_station->waitFor(modemAddress(1), REP_EXTENDED_STATUS);
    QVERIFY(!lost.isNull());
    const REP_EXTENDED_STATUS_t far = records::decodeExtendedStatus(protocol::payloadOf(lost.data()));
    QVERIFY(!(far.flags & REP_EXTENDED_STATUS_t::Synchronised));
    QCOMPARE(int(far.received), 0);

    m_network->setAttenuation(0.0);
    m_station->clear();
    const QNetworkDatagram clear = m_station->waitFor(modemAddress(1), REP_EXTENDED_STATUS);
    QVERIFY(!clear.isNull());
    const REP_EXTENDED_STATUS_t near = records::decodeExtendedStatus(protocol::payloadOf(clear.data()));
    QVERIFY(near.flags & REP_EXTENDED_STATUS_t::Synchronised);
    QVERIFY(near.received > 0);
    QCOMPARE(int(near.lost), 0);
}

QTEST_GUILESS_MAIN(TestSimNetwork)
#include "tst_simnetwork.moc"
