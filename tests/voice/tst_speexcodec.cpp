// The Speex codec of the voice path: frame sizes per quality, and what the loudspeaker gets
// from a body the decoder rejects.

#include "audioworkshop.h"
#include "testkit.h"

using namespace testkit;

class SpeexCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void qualityGivesItsBitRateAndFrameSize_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("bitrate");
        QTest::addColumn<int>("frameBytes");
        const int rates[] = {2150, 3950, 5950, 8000, 8000, 11000, 11000, 15000, 15000, 18200, 24600};
        const int bytes[] = {6, 10, 15, 20, 20, 28, 28, 38, 38, 46, 62};
        for (int q = 0; q <= 10; ++q)
            QTest::addRow("quality %d", q) << q << rates[q] << bytes[q];
    }

    void qualityGivesItsBitRateAndFrameSize()
    {
        QFETCH(int, quality);
        QFETCH(int, bitrate);
        QFETCH(int, frameBytes);
        SpeexEncoder encoder;
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Quality %1 = bitrate %2").arg(quality).arg(bitrate)));
        QVERIFY(encoder.open(quality));
        QCOMPARE(encoder.frameBytes(), 320);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(encoder.encode(QByteArray(320, char(i * 40))).size(), frameBytes);
    }

    void garbageBodyLogsDecodeErrorAndPlaysNothing_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("played");
        QTest::newRow("speex frame") << voiceDatagram().mid(1) << 320;
        QTest::newRow("header only") << QByteArray() << 0;
        QTest::newRow("stream terminator") << QByteArray::fromHex("7f") << 0;
        QTest::newRow("mode 9") << QByteArray::fromHex("48ffffffff") << 0;
        QTest::newRow("bytes ff") << QByteArray(38, '\xff') << 0;
    }

    void garbageBodyLogsDecodeErrorAndPlaysNothing()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, played);
        if (!haveSoundDevices())
            QSKIP("no sound devices");
        audioworkshop audio;
        QVERIFY(audio.init_output());
        if (played == 0)
            QTest::ignoreMessage(QtDebugMsg, "Decode error");
        QCOMPARE(audio.write_to_out(body), played);
    }
};

QTEST_GUILESS_MAIN(SpeexCodecTest)
#include "tst_speexcodec.moc"
