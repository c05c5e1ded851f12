#include "records.h"
#include "settings_wire.h"
#include "wire.h"

#include <QtTest>

// Wire images of the stored settings and the mode byte.
class TestRecords : public QObject {
    Q_OBJECT

private slots:
    void opmodePacksModeRoleAndChannels_data()
    {
        QTest::addColumn<int>("opmode");
        QTest::addColumn<QList<int>>("selection"); // mode, role, ls, hs; -1: nothing selected
        QTest::newRow("41 point-to-point") << 41 << QList<int>{4, 1, 1, 0};
        QTest::newRow("149 relay") << 149 << QList<int>{9, 2, 0, 1};
        QTest::newRow("166 ground preset") << 166 << QList<int>{3, 0, 1, 1};
        QTest::newRow("79 kt board preset") << 79 << QList<int>{7, 1, 2, 0};
        QTest::newRow("251 last valid code") << 251 << QList<int>{11, 2, 3, 1};
        QTest::newRow("nothing selected") << 0xFD << QList<int>{-1, -1, -1, -1};
    }
    void opmodePacksModeRoleAndChannels()
    {
        QFETCH(int, opmode);
        QFETCH(QList<int>, selection);
        QCOMPARE(int(records::encodeOpmode(selection[0], selection[1], selection[2], selection[3])), opmode);
        const OpMode m = records::decodeOpmode(uint8_t(opmode));
        QCOMPARE(m.valid, opmode != 0xFD);
        if (m.valid)
            QCOMPARE((QList<int>{m.mode, m.unit, m.ls, m.hs}), selection);
    }

    void defaultsRecordLayoutAndRoundTrip()
    {
        ModemDefaults d;
        d.opmode = 166;
        d.rx_frequency = 1400000000;
        d.tx_frequency = 1411000000;
        d.ip_addr = 0xC0A80B0C;
        d.prefix = 24;
        d.local_status = true;
        d.gateway = 0xC0A80B01;
        for (uint16_t i = 0; i < 5; ++i) {
            d.sockets[i] = {uint16_t(10001 + i), uint16_t(20001 + i), 0xC0A80BCD};
            d.remote_sockets[i] = {uint16_t(11001 + i), uint16_t(21001 + i), 0xC0A80BCD};
        }
        d.tap_mode = 3;
        d.antenna_sel = 1;
        d.tx_mute = true;
        d.tx_power_mode = 100;
        d.gst_string_fm2 = "fm2";
        d.gst_string_fm4 = QByteArray(600, 'x'); // cut to the field, with no NUL
        const QByteArray wire
            = QByteArray::fromHex("a6" "004e725300000000" "c0261a5400000000" "c0a80b0c" "98" "c0a80b01" "459c")
            + QByteArray(12, '\0')
            + QByteArray::fromHex("1127214ec0a80bcd" "1227224ec0a80bcd" "1327234ec0a80bcd" "1427244ec0a80bcd"
                                  "1527254ec0a80bcd")
            + QByteArray(8, '\0')
            + QByteArray::fromHex("f92a0952c0a80bcd" "fa2a0a52c0a80bcd" "fb2a0b52c0a80bcd" "fc2a0c52c0a80bcd"
                                  "fd2a0d52c0a80bcd")
            + QByteArray::fromHex("4f060000") + QByteArray("fm2").leftJustified(512, '\0') + QByteArray(512, 'x');
        QCOMPARE(records::encodeDefaults(d).toHex(), wire.toHex());
        QCOMPARE(records::decodeDefaults(wire).gst_string_fm2, QByteArray("fm2"));
        // Decoded and encoded again: the same bytes, and a cut report reads as zero-padded.
        for (int cut : {0, 1, 21, 27, 100, 130, 700, records::kDefaultsSize}) {
            const QByteArray again = records::encodeDefaults(records::decodeDefaults(wire.left(cut)));
            QCOMPARE(again.toHex(), (wire.left(cut) + QByteArray(records::kDefaultsSize - cut, '\0')).toHex());
        }
    }

    // Code written against the wire record reads a report in place; what a cut report lacks reads as zero.
    void reportReadInPlaceThroughItsWireRecord_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<QList<qulonglong>>("fields"); // rx frequency, address, socket 2's port, flags, text
        QTest::newRow("whole record") << records::kDefaultsSize
                                      << QList<qulonglong>{1433000000, 0x7F00000B, 20002, 0x3F4, 'v'};
        QTest::newRow("cut inside the address") << 19 << QList<qulonglong>{1433000000, 0x7F000000, 0, 0, 0};
        QTest::newRow("empty") << 0 << QList<qulonglong>{0, 0, 0, 0, 0};
        QTest::newRow("longer than the record") << 2000 << QList<qulonglong>{1433000000, 0x7F00000B, 20002, 0x3F4, 'v'};
    }
    void reportReadInPlaceThroughItsWireRecord()
    {
        QFETCH(int, cut);
        ModemDefaults d;
        d.rx_frequency = 1433000000;
        d.ip_addr = 0x7F00000B;
        d.sockets[2].dest_port = 20002;
        d.tx_power_mode = 63;
        d.antenna_sel = 1;
        d.gst_string_fm2 = "v";
        const QByteArray rep = records::encodeDefaults(d).leftJustified(cut, '\xAA', true);
        const REP_DEFAULTS_SET_t record = wire::from<REP_DEFAULTS_SET_t>(rep);
        QTEST((QList<qulonglong>{record.rx_frequency, wire::ipv4(record.ip_addr), record.sockets[2].dest_port,
                                 record.radio_flags, qulonglong(record.gst_string_fm2[0])}),
              "fields");
    }

    void converterRecordLayoutAndRoundTrip()
    {
        // Bits 1-7 of an entry's first word carry a fixed pattern; only bit 0 is read.
        QByteArray wire(records::kConverterConfigSize, '\0');
        wire.replace(12, 12, QByteArray::fromHex("ff80250030753a75c0a80bcd"));
        const ConverterEntry e = records::decodeConverters(wire).converters[1];
        QCOMPARE((QList<uint>{e.enabled, e.baudrate, e.self_port, e.dest_port, e.dest_addr}),
                 (QList<uint>{1, 9600, 30000, 30010, 0xC0A80BCD}));
        const QByteArray idle = QByteArray::fromHex("600000000000000000000000");
        wire.replace(0, 48, idle + QByteArray::fromHex("6180250030753a75c0a80bcd") + idle + idle);
        QCOMPARE(records::encodeConverters(records::decodeConverters(wire)).toHex(), wire.toHex());
    }

    void sessionSecretRecord_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("encodesBack"); // false: a report no encoder would make
        QTest::newRow("sixteen and a NUL, kept") << QByteArray("1180" "41316232433364344535663647376838" "00")
                                                 << QByteArray("A1b2C3d4E5f6G7h8", 17) << true << true;
        QTest::newRow("empty") << QByteArray("0000") << QByteArray() << false << true;
        QTest::newRow("empty, kept") << QByteArray("0080") << QByteArray() << true << true;
        QTest::newRow("length beyond the report") << QByteArray("ff0f0102") << QByteArray("\x01\x02") << false << false;
        QTest::newRow("bits 12-14 ignored") << QByteArray("0270aabbcc") << QByteArray("\xaa\xbb") << false << false;
        QTest::newRow("half a word") << QByteArray("05") << QByteArray() << false << false;
    }
    void sessionSecretRecord()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QByteArray, secret);
        QFETCH(bool, save);
        QFETCH(bool, encodesBack);
        const SessionSecret decoded = records::decodeSessionSecret(QByteArray::fromHex(wire));
        QCOMPARE(decoded.secret, secret);
        QCOMPARE(decoded.save, save);
        QCOMPARE(records::encodeSessionSecret(decoded).toHex() == wire, encodesBack);
    }
    void longSecretIsCutToCapacity()
    {
        const QByteArray wire = records::encodeSessionSecret({false, QByteArray(2000, 'z')});
        QCOMPARE(wire, QByteArray::fromHex("fe03") + QByteArray(1022, 'z'));
    }
};

QTEST_APPLESS_MAIN(TestRecords)
#include "tst_records.moc"
