#include "ipv4text.h"
#include "presets.h"
#include "records.h"

#include <QLineEdit>
#include <QtTest>

// The preset records as they go on the wire, and the address text of the form's fields.
class TestPresets : public QObject {
    Q_OBJECT

private slots:
    void pipelineTexts_data();
    void pipelineTexts();
    void coreRecordBytes_data();
    void coreRecordBytes();
    void defaultSecretIsSixteenLettersAndDigits();

    void addressText_data();
    void addressText();
    void maskedFieldTextParses_data();
    void maskedFieldTextParses();
};

void TestPresets::pipelineTexts_data()
{
    QTest::addColumn<QString>("fm2");
    QTest::addColumn<QString>("fm4");
    QTest::addColumn<QString>("expectedFm2");
    QTest::addColumn<QString>("expectedFm4");
    QTest::newRow("Q35") << presets::q35().fm2 << presets::q35().fm4
                         << "gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=5/1,format=YUY2,"
                            "width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! jpegenc quality=35 "
                            "idct-method=ifast snapshot=false ! image/jpeg ! rtpjpegpay ! udpsink host=127.0.0.1 "
                            "port=10004"
                         << "gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=10/1,format=YUY2,"
                            "width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! jpegenc quality=35 "
                            "idct-method=ifast snapshot=false ! image/jpeg ! rtpjpegpay ! udpsink host=127.0.0.1 "
                            "port=10004";
    QTest::newRow("Q55") << presets::q55().fm2 << presets::q55().fm4
                         << "gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=7/1,format=YUY2,"
                            "width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! jpegenc quality=55 "
                            "idct-method=ifast snapshot=false ! image/jpeg ! rtpjpegpay ! udpsink host=127.0.0.1 "
                            "port=10004"
                         << "gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=15/1,format=YUY2,"
                            "width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! jpegenc quality=55 "
                            "idct-method=ifast snapshot=false ! image/jpeg ! rtpjpegpay ! udpsink host=127.0.0.1 "
                            "port=10004";
}

void TestPresets::pipelineTexts()
{
    QFETCH(QString, fm2);
    QFETCH(QString, fm4);
    QFETCH(QString, expectedFm2);
    QFETCH(QString, expectedFm4);
    QCOMPARE(fm2, expectedFm2);
    QCOMPARE(fm4, expectedFm4);
    if (QByteArray(QTest::currentDataTag()) == "Q35") {
        QCOMPARE(fm2.size(), 259);
        QCOMPARE(fm4.size(), 260);
    }
}

void TestPresets::coreRecordBytes_data()
{
    QTest::addColumn<int>("core");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("ls");
    QTest::addColumn<int>("hs");
    QTest::addColumn<QByteArray>("opmode");
    QTest::addColumn<QByteArray>("network");  // offsets 17..27: address, prefix, gateway, control port
    QTest::addColumn<QByteArray>("socket0");  // offset 40
    QTest::addColumn<QByteArray>("flags");    // offset 128
    QTest::addColumn<QByteArray>("converter0");
    using presets::Core;
    QTest::newRow("main ground, fm4") << int(Core::MainGround) << 3 << 1 << 1 << QByteArray("a6")
                                      << QByteArray("c0a80b0c18c0a80b01459c") << QByteArray("11271127c0a80bcd")
                                      << QByteArray("40060000") << QByteArray("6180250030753075c0a80bcd");
    QTest::newRow("main board, A") << int(Core::MainAbonent) << 4 << 1 << 0 << QByteArray("29")
                                   << QByteArray("c0a80b0b18c0a80b01459c") << QByteArray("112710277f000001")
                                   << QByteArray("40060000") << QByteArray("6100c201102711277f000001");
    QTest::newRow("kt ground, D") << int(Core::KtGround) << 7 << 2 << 0 << QByteArray("4e")
                                  << QByteArray("c0a80b0c98c0a80b01459c") << QByteArray("11271127c0a80bcd")
                                  << QByteArray("48060000") << QByteArray("6000c201204e204ec0a80bcd");
    QTest::newRow("kt board, D") << int(Core::KtAbonent) << 7 << 2 << 0 << QByteArray("4f")
                                 << QByteArray("c0a80b0b98c0a80b01459c") << QByteArray("112710277f000001")
                                 << QByteArray("48060000") << QByteArray("6000c201204e204ec0a80bcd");
    QTest::newRow("relay mode ground") << int(Core::MainGround) << 9 << 0 << 0 << QByteArray("13")
                                       << QByteArray("c0a80b0c18c0a80b01459c") << QByteArray("11271127c0a80bcd")
                                       << QByteArray("40060000") << QByteArray("6180250030753075c0a80bcd");
}

void TestPresets::coreRecordBytes()
{
    QFETCH(int, core);
    QFETCH(int, mode);
    QFETCH(int, ls);
    QFETCH(int, hs);
    QFETCH(QByteArray, opmode);
    QFETCH(QByteArray, network);
    QFETCH(QByteArray, socket0);
    QFETCH(QByteArray, flags);
    QFETCH(QByteArray, converter0);
    const auto c = presets::Core(core);
    const QByteArray d = records::encodeDefaults(
        presets::defaults(c, uint8_t(mode), uint8_t(ls), uint8_t(hs), 1433000000, presets::q35()));
    QCOMPARE(d.size(), 1156);
    QCOMPARE(d.left(1).toHex(), opmode);
    QCOMPARE(d.mid(1, 16).toHex(), QByteArray("40d869550000000040d8695500000000"));
    QCOMPARE(d.mid(17, 11).toHex(), network);
    QCOMPARE(d.mid(28, 12), QByteArray(12, '\0'));
    QCOMPARE(d.mid(40, 8).toHex(), socket0);
    QCOMPARE(d.mid(80, 8), QByteArray(8, '\0'));
    QCOMPARE(d.mid(128, 4).toHex(), flags);
    const bool pipelines = c == presets::Core::MainAbonent;
    QCOMPARE(d.mid(132, 259), pipelines ? presets::q35().fm2.toUtf8() : QByteArray(259, '\0'));
    QCOMPARE(d.mid(644, 260), pipelines ? presets::q35().fm4.toUtf8() : QByteArray(260, '\0'));

    const QByteArray conv = records::encodeConverters(presets::converters(c));
    QCOMPARE(conv.left(12).toHex(), converter0);
    for (int i = 1; i < 4; ++i)
        QCOMPARE(conv.mid(12 * i, 12).toHex(), QByteArray("6000c201") + QByteArray::number(0x20 + i, 16) + "4e"
                                                   + QByteArray::number(0x20 + i, 16) + "4ec0a80bcd");
    QCOMPARE(conv.mid(48), QByteArray(80, '\0'));
}

void TestPresets::defaultSecretIsSixteenLettersAndDigits()
{
    const CMD_SESSION_SECRET_t s = presets::defaultSessionSecret();
    QVERIFY(s.save);
    QCOMPARE(s.secret.size(), 17);
    QCOMPARE(s.secret.at(16), '\0');
    for (int i = 0; i < 16; ++i)
        QVERIFY2(QChar(s.secret.at(i)).isLetterOrNumber() && uchar(s.secret.at(i)) < 0x80, s.secret.constData());
    const QByteArray wire = records::encodeSessionSecret(s);
    QCOMPARE(wire.size(), 19);
    QCOMPARE(wire.left(2).toHex(), QByteArray("1180"));
}

void TestPresets::addressText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("address");
    QTest::newRow("plain") << "192.168.11.205" << 0xC0A80BCDu;
    QTest::newRow("leading zeros are decimal") << "192.168.011.012" << 0xC0A80B0Cu;
    QTest::newRow("highest") << "255.255.255.255" << 0xFFFFFFFFu;
    QTest::newRow("group above 255") << "192.168.11.256" << 0u;
    QTest::newRow("three groups") << "192.168.11" << 0u;
    QTest::newRow("five groups") << "1.2.3.4.5" << 0u;
    QTest::newRow("empty masked field") << "..." << 0u;
    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("sign") << "+1.2.3.4" << 0u;
    QTest::newRow("hex") << "0x1.2.3.4" << 0u;
}

void TestPresets::addressText()
{
    QFETCH(QString, text);
    QFETCH(uint, address);
    QCOMPARE(ipv4text::parse(text), address);
    if (address)
        QCOMPARE(ipv4text::parse(ipv4text::format(address)), address);
}

void TestPresets::maskedFieldTextParses_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<uint>("address");
    QTest::newRow("short groups") << "10.0.0.1" << 0x0A000001u;
    QTest::newRow("full groups") << "192.168.11.205" << 0xC0A80BCDu;
    QTest::newRow("group left blank") << "10.0..1" << 0u;
}

void TestPresets::maskedFieldTextParses()
{
    QFETCH(QString, typed);
    QFETCH(uint, address);
    QLineEdit field;
    field.setInputMask(QStringLiteral("000.000.000.000"));
    field.setText(typed);
    QCOMPARE(ipv4text::parse(field.text()), address);
}

QTEST_MAIN(TestPresets)
#include "tst_presets.moc"
