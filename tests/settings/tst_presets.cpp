#include "ipv4text.h"
#include "presets.h"

#include <QtTest>

// The preset records as they go on the wire, and the address text of the form's fields.
class TestPresets : public QObject {
    Q_OBJECT

private slots:
    void pipelineTexts()
    {
        const auto text = [](int rate, int quality) {
            return QStringLiteral("gst-launch-1.0 v4l2src device=/dev/video0 ! video/x-raw,framerate=%1/1,format=YUY2,"
                                  "width=640,height=480 ! videoconvert ! video/x-raw,format=I420 ! jpegenc quality=%2 "
                                  "idct-method=ifast snapshot=false ! image/jpeg ! rtpjpegpay ! udpsink host=127.0.0.1 "
                                  "port=10004").arg(rate).arg(quality);
        };
        QCOMPARE(presets::q35().fm2, text(5, 35));
        QCOMPARE(presets::q35().fm4, text(10, 35));
        QCOMPARE(presets::q55().fm2, text(7, 55));
        QCOMPARE(presets::q55().fm4, text(15, 55));
    }

    void coreRecordBytes_data()
    {
        QTest::addColumn<int>("core");
        QTest::addColumn<QByteArray>("network");    // offsets 17..27: address, prefix, gateway, control port
        QTest::addColumn<QByteArray>("socket0");    // offset 40
        QTest::addColumn<QByteArray>("flags");      // offset 128
        QTest::addColumn<QByteArray>("converter0"); // converters 1 to 3 are the same for every core
        using presets::Core;
        QTest::newRow("main ground") << int(Core::MainGround) << QByteArray("c0a80b0c18c0a80b01459c")
            << QByteArray("11271127c0a80bcd") << QByteArray("40060000") << QByteArray("6180250030753075c0a80bcd");
        QTest::newRow("main board") << int(Core::MainAbonent) << QByteArray("c0a80b0b18c0a80b01459c")
            << QByteArray("112710277f000001") << QByteArray("40060000") << QByteArray("6100c201102711277f000001");
        QTest::newRow("kt ground") << int(Core::KtGround) << QByteArray("c0a80b0c98c0a80b01459c")
            << QByteArray("11271127c0a80bcd") << QByteArray("48060000") << QByteArray("6000c201204e204ec0a80bcd");
        QTest::newRow("kt board") << int(Core::KtAbonent) << QByteArray("c0a80b0b98c0a80b01459c")
            << QByteArray("112710277f000001") << QByteArray("48060000") << QByteArray("6000c201204e204ec0a80bcd");
    }
    void coreRecordBytes()
    {
        QFETCH(int, core);
        QFETCH(QByteArray, network);
        QFETCH(QByteArray, socket0);
        QFETCH(QByteArray, flags);
        QFETCH(QByteArray, converter0);
        const auto c = presets::Core(core);
        const QByteArray d = records::encodeDefaults(presets::defaults(c, 7, 2, 0, 1433000000, presets::q35()));
        const bool board = c == presets::Core::MainAbonent || c == presets::Core::KtAbonent;
        QCOMPARE(d.left(17).toHex(), QByteArray(board ? "4f" : "4e") + "40d869550000000040d8695500000000");
        QCOMPARE(d.mid(17, 11).toHex(), network);
        QCOMPARE(d.mid(40, 8).toHex(), socket0);
        QCOMPARE(d.mid(128, 4).toHex(), flags);
        // Only the main board unit carries the pipelines.
        const bool pipelines = c == presets::Core::MainAbonent;
        QCOMPARE(d.mid(132, 259), pipelines ? presets::q35().fm2.toUtf8() : QByteArray(259, '\0'));
        QCOMPARE(d.mid(644, 260), pipelines ? presets::q35().fm4.toUtf8() : QByteArray(260, '\0'));
        const QByteArray conv = records::encodeConverters(presets::converters(c));
        QCOMPARE(conv.toHex(), converter0 + "6000c201214e214ec0a80bcd" "6000c201224e224ec0a80bcd"
                                            "6000c201234e234ec0a80bcd" + QByteArray(80, '\0').toHex());
    }

    void addressText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("address");
        QTest::newRow("plain") << "192.168.11.205" << 0xC0A80BCDu;
        QTest::newRow("leading zeros are decimal") << "192.168.011.012" << 0xC0A80B0Cu;
        QTest::newRow("group above 255") << "192.168.11.256" << 0u;
        QTest::newRow("five groups") << "1.2.3.4.5" << 0u;
        QTest::newRow("empty masked field") << "..." << 0u;
        QTest::newRow("group left blank") << "10.0..1" << 0u;
        QTest::newRow("sign") << "+1.2.3.4" << 0u;
    }
    void addressText()
    {
        QFETCH(QString, text);
        QFETCH(uint, address);
        QCOMPARE(ipv4text::parse(text), address);
    }
};

QTEST_APPLESS_MAIN(TestPresets)
#include "tst_presets.moc"
