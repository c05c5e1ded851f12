#include "records.h"

#include <QtTest>

#include <utility>

namespace {

// A zero record of `size` bytes with hex byte strings placed at their offsets.
QByteArray image(int size, std::initializer_list<std::pair<int, const char*>> parts)
{
    QByteArray out(size, '\0');
    for (const auto& part : parts) {
        const QByteArray b = QByteArray::fromHex(part.second);
        out.replace(part.first, b.size(), b);
    }
    return out;
}

constexpr uint32_t kGroundAddr = 0xC0A80B0C;  // 192.168.11.12
constexpr uint32_t kGateway = 0xC0A80B01;     // 192.168.11.1
constexpr uint32_t kVideoHost = 0xC0A80BCD;   // 192.168.11.205

// The ground preset's record, with distinct frequencies and short pipeline texts.
CMD_DEFAULTS_SET_t groundRecord()
{
    CMD_DEFAULTS_SET_t d;
    d.opmode = 166;
    d.rx_frequency = 1400000000;
    d.tx_frequency = 1411000000;
    d.ip_addr = kGroundAddr;
    d.prefix = 24;
    d.local_status = true;
    d.gateway = kGateway;
    for (int i = 0; i < 5; ++i) {
        d.sockets[i] = {uint16_t(10001 + i), uint16_t(10001 + i), kVideoHost};
        d.remote_sockets[i] = {uint16_t(11001 + i), uint16_t(11001 + i), kVideoHost};
    }
    d.tx_power_mode = 100;
    d.gst_string_fm2 = "fm2";
    d.gst_string_fm4 = "fm4";
    return d;
}

const QByteArray kGroundImage = image(records::kDefaultsSize, {
    {0, "a6"}, {1, "004e725300000000"}, {9, "c0261a5400000000"},
    {17, "c0a80b0c"}, {21, "98"}, {22, "c0a80b01"}, {26, "459c"},
    {40, "11271127c0a80bcd" "12271227c0a80bcd" "13271327c0a80bcd" "14271427c0a80bcd" "15271527c0a80bcd"},
    {88, "f92af92ac0a80bcd" "fa2afa2ac0a80bcd" "fb2afb2ac0a80bcd" "fc2afc2ac0a80bcd" "fd2afd2ac0a80bcd"},
    {128, "40060000"}, {132, "666d32"}, {644, "666d34"},
});

} // namespace

// Wire images of the stored settings and the mode byte.
class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void opmodeDecodesAndEncodesBack_data();
    void opmodeDecodesAndEncodesBack();
    void opmodeOfUnselectedSelectorsKeepsTheDividendSign_data();
    void opmodeOfUnselectedSelectorsKeepsTheDividendSign();

    void defaultsFieldsAtTheirOffsets();
    void radioFlagsPackAndMask_data();
    void radioFlagsPackAndMask();
    void prefixByteCarriesLocalStatus_data();
    void prefixByteCarriesLocalStatus();
    void longPipelineTextIsCutWithoutNul();
    void pipelineTextStopsAtFirstNul();
    void populatedDefaultsRoundTrip();
    void shortDefaultsReadAsZeroPadded_data();
    void shortDefaultsReadAsZeroPadded();

    void converterEntryBytes_data();
    void converterEntryBytes();
    void converterWordIgnoresBitsOneToSeven();

    void sessionSecretEncodes_data();
    void sessionSecretEncodes();
    void sessionSecretDecodesOnlyBytesPresent_data();
    void sessionSecretDecodesOnlyBytesPresent();
};

void TestRecords::opmodeDecodesAndEncodesBack_data()
{
    QTest::addColumn<int>("opmode");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("roles");
    QTest::addColumn<int>("ls");
    QTest::addColumn<int>("hs");
    QTest::newRow("41 point-to-point") << 41 << true << 4 << 1 << 2 << 1 << 0;
    QTest::newRow("149 relay") << 149 << true << 9 << 2 << 3 << 0 << 1;
    QTest::newRow("251 last valid code") << 251 << true << 11 << 2 << 3 << 3 << 1;
    QTest::newRow("0x43") << 0x43 << true << 1 << 1 << 2 << 2 << 0;
    QTest::newRow("0x12 first relay mode") << 0x12 << true << 8 << 2 << 3 << 0 << 0;
    QTest::newRow("166 qpsk ground preset") << 166 << true << 3 << 0 << 2 << 1 << 1;
    QTest::newRow("79 kt abonent preset") << 79 << true << 7 << 1 << 2 << 2 << 0;
    QTest::newRow("0x1C code 28") << 0x1C << false << 12 << 0 << 3 << 0 << 0;
    QTest::newRow("0xFF code 31") << 0xFF << false << 13 << 0 << 3 << 3 << 1;
}

void TestRecords::opmodeDecodesAndEncodesBack()
{
    QFETCH(int, opmode);
    QFETCH(bool, valid);
    QFETCH(int, mode);
    QFETCH(int, unit);
    QFETCH(int, roles);
    QFETCH(int, ls);
    QFETCH(int, hs);
    const OpMode m = records::decodeOpmode(uint8_t(opmode));
    QCOMPARE(m.valid, valid);
    QCOMPARE(m.mode, mode);
    QCOMPARE(m.unit, unit);
    QCOMPARE(m.roles, roles);
    QCOMPARE(m.ls, ls);
    QCOMPARE(m.hs, hs);
    if (valid)
        QCOMPARE(int(records::encodeOpmode(mode, unit, ls, hs)), opmode);
}

void TestRecords::opmodeOfUnselectedSelectorsKeepsTheDividendSign_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("ls");
    QTest::addColumn<int>("hs");
    QTest::addColumn<int>("opmode");
    QTest::newRow("no role, point-to-point") << 2 << -1 << 0 << 0 << 3;
    QTest::newRow("no role, relay") << 9 << -1 << 0 << 0 << 18;
    QTest::newRow("nothing selected") << -1 << -1 << -1 << -1 << 0xFD;
    QTest::newRow("modulation out of range cut") << 0 << 0 << 0 << 2 << 0;
}

void TestRecords::opmodeOfUnselectedSelectorsKeepsTheDividendSign()
{
    QFETCH(int, mode);
    QFETCH(int, unit);
    QFETCH(int, ls);
    QFETCH(int, hs);
    QFETCH(int, opmode);
    QCOMPARE(int(records::encodeOpmode(mode, unit, ls, hs)), opmode);
}

void TestRecords::defaultsFieldsAtTheirOffsets()
{
    QCOMPARE(records::encodeDefaults(groundRecord()), kGroundImage);
}

void TestRecords::radioFlagsPackAndMask_data()
{
    QTest::addColumn<int>("tap");
    QTest::addColumn<int>("antenna");
    QTest::addColumn<bool>("mute");
    QTest::addColumn<int>("power");
    QTest::addColumn<QByteArray>("word");
    QTest::newRow("main preset") << 0 << 0 << false << 100 << QByteArray::fromHex("40060000");
    QTest::newRow("kt preset") << 0 << 0 << true << 100 << QByteArray::fromHex("48060000");
    QTest::newRow("all set") << 3 << 1 << true << 255 << QByteArray::fromHex("ff0f0000");
    QTest::newRow("unselected tap and antenna masked") << 255 << 255 << false << 0 << QByteArray::fromHex("07000000");
}

void TestRecords::radioFlagsPackAndMask()
{
    QFETCH(int, tap);
    QFETCH(int, antenna);
    QFETCH(bool, mute);
    QFETCH(int, power);
    QFETCH(QByteArray, word);
    CMD_DEFAULTS_SET_t d;
    d.tap_mode = uint8_t(tap);
    d.antenna_sel = uint8_t(antenna);
    d.tx_mute = mute;
    d.tx_power_mode = uint8_t(power);
    const QByteArray wire = records::encodeDefaults(d);
    QCOMPARE(wire.mid(128, 4), word);
    const CMD_DEFAULTS_SET_t back = records::decodeDefaults(wire);
    QCOMPARE(int(back.tap_mode), tap & 3);
    QCOMPARE(int(back.antenna_sel), antenna & 1);
    QCOMPARE(back.tx_mute, mute);
    QCOMPARE(int(back.tx_power_mode), power);
}

void TestRecords::prefixByteCarriesLocalStatus_data()
{
    QTest::addColumn<int>("prefix");
    QTest::addColumn<bool>("local");
    QTest::addColumn<int>("byte");
    QTest::newRow("24") << 24 << false << 0x18;
    QTest::newRow("24 local") << 24 << true << 0x98;
    QTest::newRow("200 cut to 7 bits") << 200 << false << 0x48;
    QTest::newRow("127 local") << 127 << true << 0xFF;
}

void TestRecords::prefixByteCarriesLocalStatus()
{
    QFETCH(int, prefix);
    QFETCH(bool, local);
    QFETCH(int, byte);
    CMD_DEFAULTS_SET_t d;
    d.prefix = uint8_t(prefix);
    d.local_status = local;
    const QByteArray wire = records::encodeDefaults(d);
    QCOMPARE(int(uint8_t(wire.at(21))), byte);
    const CMD_DEFAULTS_SET_t back = records::decodeDefaults(wire);
    QCOMPARE(int(back.prefix), prefix & 0x7F);
    QCOMPARE(back.local_status, local);
}

void TestRecords::longPipelineTextIsCutWithoutNul()
{
    QByteArray text;
    for (int i = 0; i < 600; ++i)
        text.append(char('a' + i % 26));
    CMD_DEFAULTS_SET_t d;
    d.gst_string_fm2 = text;
    d.gst_string_fm4 = text;
    const QByteArray wire = records::encodeDefaults(d);
    QCOMPARE(wire.size(), records::kDefaultsSize);
    QCOMPARE(wire.mid(132, 512), text.left(512));
    QCOMPARE(wire.mid(644, 512), text.left(512));
    const CMD_DEFAULTS_SET_t back = records::decodeDefaults(wire);
    QCOMPARE(back.gst_string_fm2, text.left(512));
    QCOMPARE(back.gst_string_fm4, text.left(512));
}

void TestRecords::pipelineTextStopsAtFirstNul()
{
    const QByteArray wire = image(records::kDefaultsSize, {{132, "61620063"}, {644, "00ff"}});
    const CMD_DEFAULTS_SET_t d = records::decodeDefaults(wire);
    QCOMPARE(d.gst_string_fm2, QByteArray("ab"));
    QCOMPARE(d.gst_string_fm4, QByteArray());
}

void TestRecords::populatedDefaultsRoundTrip()
{
    CMD_DEFAULTS_SET_t d = groundRecord();
    d.control_port = 12345;
    d.tap_mode = 1;
    d.antenna_sel = 1;
    d.tx_mute = true;
    d.gst_string_fm2 = QString("видео fm2").toUtf8();
    d.gst_string_fm4 = QByteArray(512, 'x');
    const QByteArray wire = records::encodeDefaults(d);
    const CMD_DEFAULTS_SET_t back = records::decodeDefaults(wire);
    QCOMPARE(back.control_port, uint16_t(12345));
    QCOMPARE(back.ip_addr, kGroundAddr);
    QCOMPARE(back.gateway, kGateway);
    QCOMPARE(back.rx_frequency, 1400000000ull);
    QCOMPARE(back.tx_frequency, 1411000000ull);
    QCOMPARE(back.remote_sockets[4].self_port, uint16_t(11005));
    QCOMPARE(back.sockets[2].dest_addr, kVideoHost);
    QCOMPARE(back.gst_string_fm2, d.gst_string_fm2);
    QCOMPARE(back.gst_string_fm4, d.gst_string_fm4);
    QCOMPARE(records::encodeDefaults(back), wire);
}

void TestRecords::shortDefaultsReadAsZeroPadded_data()
{
    QTest::addColumn<int>("cut");
    for (int cut : {0, 1, 5, 19, 21, 27, 44, 100, 130, 135, 700})
        QTest::addRow("%d bytes", cut) << cut;
}

void TestRecords::shortDefaultsReadAsZeroPadded()
{
    QFETCH(int, cut);
    const QByteArray shortReport = kGroundImage.left(cut);
    const QByteArray padded = shortReport + QByteArray(records::kDefaultsSize - cut, '\0');
    QCOMPARE(records::encodeDefaults(records::decodeDefaults(shortReport)), padded);
}

void TestRecords::converterEntryBytes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("entry");
    QTest::newRow("stepper on 9600") << 0 << true << 9600 << 30000
                                     << QByteArray::fromHex("61802500" "3075" "3075" "c0a80bcd");
    QTest::newRow("disabled 115200") << 1 << false << 115200 << 20001
                                     << QByteArray::fromHex("6000c201" "214e" "214e" "c0a80bcd");
    QTest::newRow("baud cut to 24 bits") << 3 << false << 0x1123456 << 0
                                         << QByteArray::fromHex("60563412" "0000" "0000" "c0a80bcd");
}

void TestRecords::converterEntryBytes()
{
    QFETCH(int, index);
    QFETCH(bool, enabled);
    QFETCH(int, baud);
    QFETCH(int, port);
    QFETCH(QByteArray, entry);
    CMD_UART_CONV_CONFIG_t c;
    c.converters[index] = {enabled, uint32_t(baud), uint16_t(port), uint16_t(port), kVideoHost};
    const QByteArray wire = records::encodeConverters(c);
    QCOMPARE(wire.size(), records::kConverterConfigSize);
    QByteArray expected(records::kConverterConfigSize, '\0');
    for (int i = 0; i < 4; ++i)
        expected.replace(i * 12, 12, i == index ? entry : QByteArray::fromHex("600000000000000000000000"));
    QCOMPARE(wire, expected);
    const ConverterEntry back = records::decodeConverters(wire).converters[index];
    QCOMPARE(back.enabled, enabled);
    QCOMPARE(back.baudrate, uint32_t(baud) & 0xFFFFFF);
    QCOMPARE(back.self_port, uint16_t(port));
    QCOMPARE(back.dest_port, uint16_t(port));
    QCOMPARE(back.dest_addr, kVideoHost);
}

void TestRecords::converterWordIgnoresBitsOneToSeven()
{
    const QByteArray wire = image(records::kConverterConfigSize, {{0, "fe802500"}, {12, "ff802500"}});
    const CMD_UART_CONV_CONFIG_t c = records::decodeConverters(wire);
    QCOMPARE(c.converters[0].enabled, false);
    QCOMPARE(c.converters[0].baudrate, 9600u);
    QCOMPARE(c.converters[1].enabled, true);
    QCOMPARE(c.converters[1].baudrate, 9600u);
    QCOMPARE(records::encodeConverters(c).left(24), image(24, {{0, "60802500"}, {12, "61802500"}}));
}

void TestRecords::sessionSecretEncodes_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("size");
    const QByteArray defaultLike = QByteArray("A1b2C3d4E5f6G7h8") + '\0';
    QTest::newRow("default secret") << defaultLike << true << QByteArray::fromHex("1180") << 19;
    QTest::newRow("empty") << QByteArray() << false << QByteArray::fromHex("0000") << 2;
    QTest::newRow("empty kept") << QByteArray() << true << QByteArray::fromHex("0080") << 2;
    QTest::newRow("capped at capacity") << QByteArray(2000, 'z') << false << QByteArray::fromHex("fe03") << 1024;
}

void TestRecords::sessionSecretEncodes()
{
    QFETCH(QByteArray, secret);
    QFETCH(bool, save);
    QFETCH(QByteArray, head);
    QFETCH(int, size);
    const QByteArray wire = records::encodeSessionSecret({save, secret});
    QCOMPARE(wire.size(), size);
    QCOMPARE(wire.left(2), head);
    QCOMPARE(wire.mid(2), secret.left(size - 2));
}

void TestRecords::sessionSecretDecodesOnlyBytesPresent_data()
{
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<bool>("save");
    QTest::newRow("word and bytes agree") << QByteArray::fromHex("0380aabbcc") << QByteArray::fromHex("aabbcc") << true;
    QTest::newRow("length beyond report")
        << QByteArray::fromHex("ff0f0102030405") << QByteArray::fromHex("0102030405") << false;
    QTest::newRow("bits 12-14 ignored") << QByteArray::fromHex("0270aabbcc") << QByteArray::fromHex("aabb") << false;
    QTest::newRow("word only") << QByteArray::fromHex("0500") << QByteArray() << false;
    QTest::newRow("half a word") << QByteArray::fromHex("05") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << QByteArray() << false;
}

void TestRecords::sessionSecretDecodesOnlyBytesPresent()
{
    QFETCH(QByteArray, report);
    QFETCH(QByteArray, secret);
    QFETCH(bool, save);
    const CMD_SESSION_SECRET_t s = records::decodeSessionSecret(report);
    QCOMPARE(s.secret, secret);
    QCOMPARE(s.save, save);
}

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
