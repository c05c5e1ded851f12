#include "bytes.h"
#include "modemmodel.h"
#include "protocol.h"

#include <QtTest>
#include <memory>

namespace {

constexpr quint32 kAddress = 0x7F00000B; // 127.0.0.11

QByteArray request(quint16 opcode, const QByteArray& record = {})
{
    return protocol::buildFrame(opcode, protocol::payloadFrom(record));
}

QByteArray word(quint16 value)
{
    QByteArray w(2, '\0');
    bytes::put16(reinterpret_cast<uint8_t*>(w.data()), value);
    return w;
}

QByteArray getReport(quint16 wanted)
{
    return request(CMD_GET_REPORT, word(wanted));
}

quint16 opcodeOf(const QByteArray& frame)
{
    return protocol::parseHeader(frame).opcode;
}

} // namespace

// The simulated modem's answers and state, without sockets.
class TestModemModel : public QObject {
    Q_OBJECT

private slots:
    void init();

    void unsupportedOpcodesAreNamed_data();
    void unsupportedOpcodesAreNamed();
    void settingIsAnsweredAndReadBack_data();
    void settingIsAnsweredAndReadBack();
    void statusModeByteFollowsDefaultsAndModulation();
    void sessionSecretKeepsOnlySavedOneOverReboot();
    void rebootStartsFromStoredSettings();
    void serviceCodes_data();
    void serviceCodes();
    void hardResetRestoresFactorySettings();
    void factoryDefaultsUseLoopbackAddresses();
    void damagedRequestsChangeNothing_data();
    void damagedRequestsChangeNothing();
    void lossFollowsAttenuationAndOffset_data();
    void lossFollowsAttenuationAndOffset();
    void nominalChannelIsNearestOfPlan_data();
    void nominalChannelIsNearestOfPlan();

private:
    ModemProfile m_profile;
    std::unique_ptr<ModemModel> m_modem;
};

void TestModemModel::init()
{
    m_profile = ModemProfile();
    m_modem = std::make_unique<ModemModel>(0, kAddress, m_profile, 7);
}

void TestModemModel::unsupportedOpcodesAreNamed_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("named");
    QTest::addColumn<bool>("convertersKept");
    QTest::newRow("report marked unsupported") << getReport(REP_UART_CONV_CONFIG) << int(REP_UART_CONV_CONFIG) << true;
    QTest::newRow("its request names the request")
        << request(CMD_UART_CONV_CONFIG, QByteArray(128, '\0')) << int(CMD_UART_CONV_CONFIG) << true;
    QTest::newRow("report no modem has") << getReport(0x8000) << 0x8000 << true;
    QTest::newRow("request asked as a report") << getReport(CMD_DEFAULTS_SET) << int(CMD_DEFAULTS_SET) << true;
    QTest::newRow("request without a table entry") << protocol::buildReport(0x0109, 0, QByteArray(4, '\0')) << 0x0109 << true;
}

void TestModemModel::unsupportedOpcodesAreNamed()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, named);
    m_profile.unsupported = {REP_UART_CONV_CONFIG};
    const QByteArray convertersBefore = protocol::payloadOf(
        ModemModel(0, kAddress, ModemProfile(), 7).handle(getReport(REP_UART_CONV_CONFIG)).replies.value(0));

    const ModemModel::Outcome outcome = m_modem->handle(datagram);
    QCOMPARE(outcome.replies.size(), 1);
    QCOMPARE(opcodeOf(outcome.replies.first()), quint16(REP_UNSUPPORTED));
    QCOMPARE(protocol::payloadOf(outcome.replies.first()), word(quint16(named)));

    m_profile.unsupported.clear();
    const QByteArray convertersAfter = protocol::payloadOf(m_modem->handle(getReport(REP_UART_CONV_CONFIG)).replies.value(0));
    QCOMPARE(convertersAfter, convertersBefore);
}

void TestModemModel::settingIsAnsweredAndReadBack_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("report");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray freq = records::encodeFrequency(1410012345);
    QTest::newRow("tx frequency") << int(CMD_TX_FREQUENCY) << freq << int(REP_TX_FREQUENCY) << freq;
    QTest::newRow("rx frequency") << int(CMD_RX_FREQUENCY) << freq << int(REP_RX_FREQUENCY) << freq;
    QTest::newRow("omni antenna") << int(CMD_ANTENNA_SEL) << QByteArray("\x01", 1) << int(REP_ANTENNA_SEL) << QByteArray("\x01", 1);
    QTest::newRow("unknown antenna keeps sector")
        << int(CMD_ANTENNA_SEL) << QByteArray("\x07", 1) << int(REP_ANTENNA_SEL) << QByteArray("\x00", 1);
    QTest::newRow("transmitter off") << int(CMD_SET_TX_MODE) << QByteArray("\x01", 1) << int(REP_SET_TX_MODE) << QByteArray("\x01", 1);
    QTest::newRow("power 60") << int(CMD_TX_POWER_MODE) << QByteArray("\x3c", 1) << int(REP_TX_POWER_MODE) << QByteArray("\x3c", 1);
    QTest::newRow("power above 100 is capped")
        << int(CMD_TX_POWER_MODE) << QByteArray("\xc8", 1) << int(REP_TX_POWER_MODE) << QByteArray("\x64", 1);
    QTest::newRow("FM4 by high byte") << int(CMD_SET_HS_CHANNEL_MOD) << QByteArray::fromHex("0001")
                                      << int(REP_SET_HS_CHANNEL_MOD) << QByteArray::fromHex("0100");

    CMD_UART_CONV_CONFIG_t conv;
    conv.converters[2] = {true, 9600, 20002, 21002, 0x7F000001};
    const QByteArray convImage = records::encodeConverters(conv);
    QTest::newRow("converters") << int(CMD_UART_CONV_CONFIG) << convImage << int(REP_UART_CONV_CONFIG) << convImage;

    CMD_SESSION_SECRET_t secret;
    secret.save = true;
    secret.secret = QByteArray("Ab3dEf7hIj1lMn9p", 17);
    const QByteArray secretImage = records::encodeSessionSecret(secret);
    QTest::newRow("saved secret") << int(CMD_SESSION_SECRET) << secretImage << int(REP_SESSION_SECRET) << secretImage;

    CMD_DEFAULTS_SET_t defaults = ModemModel::factoryDefaults(0, kAddress, BandPlan());
    defaults.opmode = 149;
    defaults.rx_frequency = 1420000000;
    defaults.sockets[3] = {10004, 5600, 0x7F000002};
    defaults.gst_string_fm4 = "videotestsrc ! fakesink";
    const QByteArray defaultsImage = records::encodeDefaults(defaults);
    QTest::newRow("defaults") << int(CMD_DEFAULTS_SET) << defaultsImage << int(REP_DEFAULTS_SET) << defaultsImage;
}

void TestModemModel::settingIsAnsweredAndReadBack()
{
    QFETCH(int, request);
    QFETCH(QByteArray, record);
    QFETCH(int, report);
    QFETCH(QByteArray, expected);

    const ModemModel::Outcome answer = m_modem->handle(::request(quint16(request), record));
    QCOMPARE(answer.replies.size(), 1);
    QCOMPARE(int(opcodeOf(answer.replies.first())), report);
    QCOMPARE(protocol::payloadOf(answer.replies.first()), expected);

    const ModemModel::Outcome readBack = m_modem->handle(getReport(quint16(report)));
    QCOMPARE(protocol::payloadOf(readBack.replies.value(0)), expected);
}

void TestModemModel::statusModeByteFollowsDefaultsAndModulation()
{
    CMD_DEFAULTS_SET_t defaults = m_modem->defaults();
    defaults.opmode = records::encodeOpmode(9, 2, 0, 1); // 149
    m_modem->handle(request(CMD_DEFAULTS_SET, records::encodeDefaults(defaults)));

    REP_CONT_STATUS_t status = records::decodeContStatus(protocol::payloadOf(m_modem->contStatusFrame()));
    QCOMPARE(int(status.opmode), 149);
    const REP_EXTENDED_STATUS_t extended = records::decodeExtendedStatus(protocol::payloadOf(m_modem->extendedStatusFrame()));
    QCOMPARE(int(extended.mode), 9);
    QCOMPARE(int(extended.role), 2);
    QCOMPARE(int(extended.modulation), 1);
    QVERIFY(extended.flags & REP_EXTENDED_STATUS_t::ModeWhite);

    m_modem->handle(request(CMD_SET_HS_CHANNEL_MOD, word(0)));
    status = records::decodeContStatus(protocol::payloadOf(m_modem->contStatusFrame()));
    QCOMPARE(int(status.opmode), 21);

    const REP_ID_STATISTIC_t ids = records::decodeIdStatistic(protocol::payloadOf(m_modem->idStatisticFrame()));
    QCOMPARE(ids.entries.size(), 3); // a relay mode has three members
    QCOMPARE(int(ids.own_index), 2);
}

void TestModemModel::sessionSecretKeepsOnlySavedOneOverReboot()
{
    const auto secretReport = [this] {
        return records::decodeSessionSecret(protocol::payloadOf(m_modem->handle(getReport(REP_SESSION_SECRET)).replies.value(0)));
    };
    CMD_SESSION_SECRET_t saved;
    saved.save = true;
    saved.secret = "kept";
    m_modem->handle(request(CMD_SESSION_SECRET, records::encodeSessionSecret(saved)));
    CMD_SESSION_SECRET_t passing;
    passing.secret = "for this session";
    m_modem->handle(request(CMD_SESSION_SECRET, records::encodeSessionSecret(passing)));

    CMD_SESSION_SECRET_t reported = secretReport();
    QCOMPARE(reported.secret, QByteArray("for this session"));
    QVERIFY(!reported.save);

    m_modem->reboot();
    reported = secretReport();
    QCOMPARE(reported.secret, QByteArray("kept"));
    QVERIFY(reported.save);
}

void TestModemModel::rebootStartsFromStoredSettings()
{
    m_modem->handle(request(CMD_TX_FREQUENCY, records::encodeFrequency(1430000000)));
    m_modem->handle(request(CMD_ANTENNA_SEL, QByteArray("\x01", 1)));
    m_modem->handle(request(CMD_SET_TX_MODE, QByteArray("\x01", 1)));
    m_modem->advance(1000, 0.0, LossCurves());
    QVERIFY(protocol::parseHeader(m_modem->contStatusFrame()).seqnum > 0);

    m_modem->reboot();
    QCOMPARE(protocol::parseHeader(m_modem->contStatusFrame()).seqnum, quint16(0));
    const REP_EXTENDED_STATUS_t extended = records::decodeExtendedStatus(protocol::payloadOf(m_modem->extendedStatusFrame()));
    QCOMPARE(int(extended.antenna), int(m_modem->defaults().antenna_sel));
    QCOMPARE(int(extended.received), 0);
    QCOMPARE(bool(extended.flags & REP_EXTENDED_STATUS_t::TxPowerOff), m_modem->defaults().tx_mute);
    QCOMPARE(m_modem->txFrequency(), m_modem->defaults().tx_frequency);
}

void TestModemModel::serviceCodes_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("service");
    QTest::addColumn<bool>("answered");
    using S = ModemModel::Service;
    QTest::newRow("reboot") << QByteArray::fromHex("dddddddd") << int(S::Reboot) << true;
    QTest::newRow("disconnect") << QByteArray::fromHex("cccccccc") << int(S::Disconnect) << true;
    QTest::newRow("hard reset names this modem") << QByteArray::fromHex("7f00000b") << int(S::HardReset) << true;
    QTest::newRow("hard reset for another modem") << QByteArray::fromHex("7f00000c") << int(S::None) << false;
    QTest::newRow("hard reset byte order reversed") << QByteArray::fromHex("0b00007f") << int(S::None) << false;
    QTest::newRow("range 1950 MHz") << QByteArray::fromHex("030000ff") << int(S::Setup) << true;
    QTest::newRow("hardware LVN-3") << QByteArray::fromHex("000300ff") << int(S::Setup) << true;
    QTest::newRow("unknown code") << QByteArray::fromHex("78563412") << int(S::None) << false;
}

void TestModemModel::serviceCodes()
{
    QFETCH(QByteArray, code);
    QFETCH(int, service);
    QFETCH(bool, answered);
    const ModemModel::Outcome outcome = m_modem->handle(request(CMD_REBOOT_DEVICE, code));
    QCOMPARE(int(outcome.service), service);
    QCOMPARE(outcome.replies.size(), answered ? 1 : 0);
    if (answered) {
        QCOMPARE(opcodeOf(outcome.replies.first()), quint16(REP_REBOOT_DEVICE));
        QCOMPARE(protocol::payloadOf(outcome.replies.first()), code);
    }
}

void TestModemModel::hardResetRestoresFactorySettings()
{
    CMD_DEFAULTS_SET_t changed = m_modem->defaults();
    changed.ip_addr = 0x7F0000FE;
    changed.opmode = 3;
    m_modem->handle(request(CMD_DEFAULTS_SET, records::encodeDefaults(changed)));
    CMD_UART_CONV_CONFIG_t conv;
    m_modem->handle(request(CMD_UART_CONV_CONFIG, records::encodeConverters(conv)));
    QCOMPARE(m_modem->defaults().ip_addr, 0x7F0000FEu);

    m_modem->factoryReset();
    const QByteArray factory = records::encodeDefaults(ModemModel::factoryDefaults(0, kAddress, BandPlan()));
    QCOMPARE(protocol::payloadOf(m_modem->handle(getReport(REP_DEFAULTS_SET)).replies.value(0)), factory);
    QCOMPARE(protocol::payloadOf(m_modem->handle(getReport(REP_UART_CONV_CONFIG)).replies.value(0)),
        records::encodeConverters(ModemModel::factoryConverters()));
}

void TestModemModel::factoryDefaultsUseLoopbackAddresses()
{
    const CMD_DEFAULTS_SET_t d = records::decodeDefaults(protocol::payloadOf(m_modem->handle(getReport(REP_DEFAULTS_SET)).replies.value(0)));
    QCOMPARE(d.ip_addr, kAddress);
    QCOMPARE(d.rx_frequency, BandPlan().lowest);
    for (const SocketEntry& s : d.sockets)
        QCOMPARE(s.dest_addr >> 24, 127u);
    for (const SocketEntry& s : d.remote_sockets)
        QCOMPARE(s.dest_addr >> 24, 127u);
    const CMD_UART_CONV_CONFIG_t c = records::decodeConverters(protocol::payloadOf(m_modem->handle(getReport(REP_UART_CONV_CONFIG)).replies.value(0)));
    for (const ConverterEntry& e : c.converters)
        QCOMPARE(e.dest_addr >> 24, 127u);
    QVERIFY(c.converters[0].enabled);
    QCOMPARE(c.converters[0].self_port, quint16(30000));
}

void TestModemModel::damagedRequestsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("datagram");
    const QByteArray txFrequency = request(CMD_TX_FREQUENCY, records::encodeFrequency(1444000000));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut short") << txFrequency.left(5);
    QTest::newRow("payload cut short") << txFrequency.left(10);
    QTest::newRow("bad signature") << QByteArray("\x02\xff") + txFrequency.mid(2);
    QTest::newRow("a report, not a request") << protocol::buildReport(REP_TX_FREQUENCY, 0, records::encodeFrequency(1444000000));
    QByteArray secret = request(CMD_SESSION_SECRET, QByteArray::fromHex("0500") + "abcde");
    QTest::newRow("secret shorter than its length word") << secret.left(secret.size() - 1);
    QTest::newRow("secret beyond the record")
        << protocol::buildReport(CMD_SESSION_SECRET, 0, QByteArray::fromHex("ff0f") + QByteArray(4095, 'x'));
}

void TestModemModel::damagedRequestsChangeNothing()
{
    QFETCH(QByteArray, datagram);
    const QByteArray secretBefore = protocol::payloadOf(m_modem->handle(getReport(REP_SESSION_SECRET)).replies.value(0));
    const quint64 txBefore = m_modem->txFrequency();

    const ModemModel::Outcome outcome = m_modem->handle(datagram);
    for (const QByteArray& reply : outcome.replies)
        QCOMPARE(opcodeOf(reply), quint16(REP_SESSION_SECRET));
    QVERIFY(!outcome.event.isEmpty());
    QCOMPARE(m_modem->txFrequency(), txBefore);
    QCOMPARE(protocol::payloadOf(m_modem->handle(getReport(REP_SESSION_SECRET)).replies.value(0)), secretBefore);
}

void TestModemModel::lossFollowsAttenuationAndOffset_data()
{
    QTest::addColumn<double>("attenuation");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::addColumn<bool>("sync");
    QTest::newRow("clear channel") << 0.0 << qint64(0) << 0.0 << 0.01 << true;
    QTest::newRow("half at the attenuation point") << 20.0 << qint64(0) << 0.45 << 0.55 << true;
    QTest::newRow("one dB more loses more") << 21.0 << qint64(0) << 0.68 << 0.78 << true;
    QTest::newRow("half at the offset point") << 0.0 << qint64(40000) << 0.45 << 0.55 << true;
    QTest::newRow("below the channel alike") << 0.0 << qint64(-40000) << 0.45 << 0.55 << true;
    QTest::newRow("sync lost far beyond") << 26.0 << qint64(0) << 1.0 << 1.0 << false;
}

void TestModemModel::lossFollowsAttenuationAndOffset()
{
    QFETCH(double, attenuation);
    QFETCH(qint64, offset);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    QFETCH(bool, sync);
    m_profile.packetRate = 1000;
    m_modem->handle(request(CMD_RX_FREQUENCY, records::encodeFrequency(quint64(qint64(1420000000) + offset))));

    quint64 received = 0;
    quint64 lost = 0;
    for (int i = 0; i < 20; ++i) {
        m_modem->advance(1000, attenuation, LossCurves());
        const REP_EXTENDED_STATUS_t s = records::decodeExtendedStatus(protocol::payloadOf(m_modem->extendedStatusFrame()));
        QCOMPARE(bool(s.flags & REP_EXTENDED_STATUS_t::Synchronised), sync);
        received += s.received;
        lost += s.lost;
        if (sync)
            QCOMPARE(s.received + s.lost, 1000);
    }
    const double ratio = received + lost == 0 ? 1.0 : double(lost) / double(received + lost);
    QVERIFY2(ratio >= lowest && ratio <= highest, qPrintable(QString::number(ratio)));
}

void TestModemModel::nominalChannelIsNearestOfPlan_data()
{
    QTest::addColumn<quint64>("frequency");
    QTest::addColumn<quint64>("channel");
    QTest::addColumn<quint32>("step");
    QTest::newRow("on a channel") << quint64(1420000000) << quint64(1420000000) << 10000000u;
    QTest::newRow("just above") << quint64(1420040000) << quint64(1420000000) << 10000000u;
    QTest::newRow("just below the next") << quint64(1429960000) << quint64(1430000000) << 10000000u;
    QTest::newRow("below the band") << quint64(1399000000) << quint64(1400000000) << 10000000u;
    QTest::newRow("above the band") << quint64(1460000000) << quint64(1450000000) << 10000000u;
    QTest::newRow("no step") << quint64(1420000000) << quint64(1400000000) << 0u;
}

void TestModemModel::nominalChannelIsNearestOfPlan()
{
    QFETCH(quint64, frequency);
    QFETCH(quint64, channel);
    QFETCH(quint32, step);
    BandPlan band;
    band.step = step;
    QCOMPARE(linkquality::nominalChannel(band, frequency), channel);
}

QTEST_GUILESS_MAIN(TestModemModel)
#include "tst_modemmodel.moc"
