// The Speex narrowband codec of the voice path, without audio devices.

#include "speexcodec.h"
#include "tone.h"

#include <QtTest>

class SpeexCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void qualityGivesItsBitRateAndFrameSize_data();
    void qualityGivesItsBitRateAndFrameSize();
    void toneSurvivesEncodeAndDecode_data();
    void toneSurvivesEncodeAndDecode();
    void rejectedBodyLogsDecodeErrorAndGivesNothing_data();
    void rejectedBodyLogsDecodeErrorAndGivesNothing();
    void onlyWholeFramesAreEncoded_data();
    void onlyWholeFramesAreEncoded();
};

void SpeexCodecTest::qualityGivesItsBitRateAndFrameSize_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("frameBytes");
    const int rates[] = {2150, 3950, 5950, 8000, 8000, 11000, 11000, 15000, 15000, 18200, 24600};
    const int bytes[] = {6, 10, 15, 20, 20, 28, 28, 38, 38, 46, 62};
    for (int q = 0; q <= 10; ++q)
        QTest::addRow("quality %d", q) << q << rates[q] << bytes[q];
}

void SpeexCodecTest::qualityGivesItsBitRateAndFrameSize()
{
    QFETCH(int, quality);
    QFETCH(int, bitrate);
    QFETCH(int, frameBytes);

    SpeexEncoder encoder;
    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("Quality %1 = bitrate %2").arg(quality).arg(bitrate)));
    QVERIFY(encoder.open(quality));
    QCOMPARE(encoder.frameBytes(), 320);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(encoder.encode(tone::sine(700.0, 160)).size(), frameBytes);
}

void SpeexCodecTest::toneSurvivesEncodeAndDecode_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<double>("hz");
    QTest::newRow("quality 8, 1000 Hz") << 8 << 1000.0;
    QTest::newRow("quality 8, 400 Hz") << 8 << 400.0;
    QTest::newRow("quality 3, 1000 Hz") << 3 << 1000.0;
    QTest::newRow("quality 10, 2500 Hz") << 10 << 2500.0;
}

void SpeexCodecTest::toneSurvivesEncodeAndDecode()
{
    QFETCH(int, quality);
    QFETCH(double, hz);

    SpeexEncoder encoder;
    SpeexDecoder decoder;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Quality "));
    QVERIFY(encoder.open(quality));
    QVERIFY(decoder.open());
    QCOMPARE(decoder.frameBytes(), 320);

    const QByteArray input = tone::sine(hz, 160 * 50);
    QByteArray output;
    for (int frame = 0; frame < 50; ++frame) {
        const QByteArray pcm = decoder.decode(encoder.encode(input.mid(frame * 320, 320)));
        QCOMPARE(pcm.size(), 320);
        if (frame >= 10) // past the codec's start-up
            output += pcm;
    }
    QVERIFY2(tone::share(output, hz) > 0.8, qPrintable(QString::number(tone::share(output, hz))));
    QVERIFY(tone::share(output, hz * 1.5) < 0.05);
}

void SpeexCodecTest::rejectedBodyLogsDecodeErrorAndGivesNothing_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("terminator") << QByteArray::fromHex("7f");
    QTest::newRow("mode 9") << QByteArray::fromHex("48ffffffff");
    QTest::newRow("mode 12") << QByteArray::fromHex("6000000000");
    QTest::newRow("bytes ff") << QByteArray(38, '\xff');
}

void SpeexCodecTest::rejectedBodyLogsDecodeErrorAndGivesNothing()
{
    QFETCH(QByteArray, body);
    SpeexDecoder decoder;
    QVERIFY(decoder.open());
    QTest::ignoreMessage(QtDebugMsg, "Decode error");
    QVERIFY(decoder.decode(body).isEmpty());
}

void SpeexCodecTest::onlyWholeFramesAreEncoded_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("encodedBytes");
    QTest::newRow("nothing") << 0 << 0;
    QTest::newRow("one sample") << 1 << 0;
    QTest::newRow("one sample short") << 159 << 0;
    QTest::newRow("one frame") << 160 << 38;
    QTest::newRow("two frames give the first") << 320 << 38;
}

void SpeexCodecTest::onlyWholeFramesAreEncoded()
{
    QFETCH(int, samples);
    QFETCH(int, encodedBytes);
    SpeexEncoder encoder;
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Quality "));
    QVERIFY(encoder.open(8));
    if (encodedBytes == 0)
        QTest::ignoreMessage(QtDebugMsg, "Encode error!!!");
    QCOMPARE(encoder.encode(tone::sine(700.0, samples)).size(), encodedBytes);
}

QTEST_GUILESS_MAIN(SpeexCodecTest)
#include "tst_speexcodec.moc"
