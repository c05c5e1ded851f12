// The audio engine with the sound devices of the machine (the test command provides a
// PulseAudio null sink and a microphone that hears two steady tones).

#include "audioworkshop.h"
#include "testkit.h"

#include <QFile>
#include <QSoundEffect>
#include <QtEndian>
#include <QtTest>

using namespace testkit;

namespace {

QByteArray decodeAll(const QList<QByteArray>& frames)
{
    SpeexDecoder decoder;
    decoder.open();
    QByteArray pcm;
    for (const QByteArray& frame : frames)
        pcm += decoder.decode(frame);
    return pcm;
}

} // namespace

class AudioWorkshopTest : public QObject
{
    Q_OBJECT

private slots:
    void toneFileHasItsFormat_data();
    void toneFileHasItsFormat();
    void tonesLoad();
    void closedEngineEncodesAndPlaysNothing();
    void captureHandsOutFramesOfTheCallQuality_data();
    void captureHandsOutFramesOfTheCallQuality();
    void twoEnginesCaptureTheTonesIndependently();
    void playbackWritesWhatDecodes_data();
    void playbackWritesWhatDecodes();
};

void AudioWorkshopTest::toneFileHasItsFormat_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("seconds");
    QTest::newRow("dial tone") << ":/ringtones/dial.wav" << 1 << 2.04;
    QTest::newRow("ringtone") << ":/ringtones/ringtone1.wav" << 2 << 31.9;
    QTest::newRow("spare ringtone") << ":/ringtones/ringtone2.wav" << 1 << 3.0;
}

void AudioWorkshopTest::toneFileHasItsFormat()
{
    QFETCH(QString, path);
    QFETCH(int, channels);
    QFETCH(double, seconds);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    const auto* h = reinterpret_cast<const uchar*>(wav.constData());
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(qFromLittleEndian<quint16>(h + 20), quint16(1)); // integer PCM
    QCOMPARE(int(qFromLittleEndian<quint16>(h + 22)), channels);
    QCOMPARE(qFromLittleEndian<quint32>(h + 24), quint32(44100));
    QCOMPARE(qFromLittleEndian<quint16>(h + 34), quint16(16));
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    const double length = qFromLittleEndian<quint32>(h + 40) / (44100.0 * 2 * channels);
    QVERIFY2(qAbs(length - seconds) < 0.01, qPrintable(QString::number(length)));
}

void AudioWorkshopTest::tonesLoad()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    audioworkshop audio;
    const QList<QSoundEffect*> tones = audio.findChildren<QSoundEffect*>();
    QCOMPARE(tones.size(), 2);
    for (QSoundEffect* effect : tones)
        QTRY_COMPARE_WITH_TIMEOUT(effect->status(), QSoundEffect::Ready, 10000);
    audio.play_ringtone();
    audio.play_dialtone();
    QTRY_VERIFY_WITH_TIMEOUT(tones[0]->isPlaying() && tones[1]->isPlaying(), 5000);
    audio.stop_ringtone();
    audio.stop_dialtone();
    QTRY_VERIFY(!tones[0]->isPlaying() && !tones[1]->isPlaying());
}

void AudioWorkshopTest::closedEngineEncodesAndPlaysNothing()
{
    audioworkshop audio;
    QSignalSpy frames(&audio, &audioworkshop::send_voice);
    QVERIFY(audio.encode(tone::sine(1000.0, 160)).isEmpty());
    QVERIFY(audio.decode(speexFrame()).isEmpty());
    QCOMPARE(audio.write_to_out(speexFrame()), 0);
    audio.read_input_dev();
    audio.release_input();
    audio.release_output();
    QCOMPARE(frames.count(), 0);
}

void AudioWorkshopTest::captureHandsOutFramesOfTheCallQuality_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("frameBytes");
    QTest::newRow("quality 2") << 2 << 15;
    QTest::newRow("quality 8") << 8 << 38;
    QTest::newRow("quality 10") << 10 << 62;
}

void AudioWorkshopTest::captureHandsOutFramesOfTheCallQuality()
{
    QFETCH(int, quality);
    QFETCH(int, frameBytes);
    if (!haveSoundDevices())
        QSKIP("no sound devices");

    audioworkshop audio;
    QSignalSpy frames(&audio, &audioworkshop::send_voice);
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Quality "));
    QTest::ignoreMessage(QtDebugMsg, "Input initialize done");
    QVERIFY(audio.init_input(quality));
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 50, 15000);
    for (const QList<QVariant>& frame : frames)
        QCOMPARE(frame.at(0).toByteArray().size(), frameBytes);

    audio.release_input();
    const int count = frames.count();
    QTest::qWait(100);
    QCOMPARE(frames.count(), count);
}

void AudioWorkshopTest::twoEnginesCaptureTheTonesIndependently()
{
    if (!microphoneHearsTestTones())
        QSKIP("needs the test command's two-tone microphone");
    audioworkshop first;
    audioworkshop second;
    QList<QByteArray> firstFrames, secondFrames;
    connect(&first, &audioworkshop::send_voice, this, [&](const QByteArray& f) { firstFrames << f; });
    connect(&second, &audioworkshop::send_voice, this, [&](const QByteArray& f) { secondFrames << f; });
    QVERIFY(first.init_input(8));
    QVERIFY(second.init_input(8));
    QTRY_VERIFY_WITH_TIMEOUT(firstFrames.size() >= 100 && secondFrames.size() >= 100, 15000);
    first.release_input();
    second.release_input();

    for (const QList<QByteArray>& frames : {firstFrames, secondFrames}) {
        const QByteArray pcm = decodeAll(frames).right(8000 * 2);
        QVERIFY2(carriesTestTones(pcm), describeTones(pcm));
    }
}

void AudioWorkshopTest::playbackWritesWhatDecodes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("written");
    QTest::newRow("speex frame") << speexFrame() << 320;
    QTest::newRow("header only") << QByteArray() << 0;
    QTest::newRow("invalid mode") << QByteArray::fromHex("48ffffffff") << 0;
    QTest::newRow("stream terminator") << QByteArray::fromHex("7f") << 0;
}

void AudioWorkshopTest::playbackWritesWhatDecodes()
{
    QFETCH(QByteArray, body);
    QFETCH(int, written);
    if (!haveSoundDevices())
        QSKIP("no sound devices");

    audioworkshop audio;
    QTest::ignoreMessage(QtDebugMsg, "Output initialize done");
    QVERIFY(audio.init_output());
    if (written == 0)
        QTest::ignoreMessage(QtDebugMsg, "Decode error");
    QCOMPARE(audio.write_to_out(body), written);

    audio.release_output();
    QCOMPARE(audio.write_to_out(body), 0);
}

QTEST_GUILESS_MAIN(AudioWorkshopTest)
#include "tst_audioworkshop.moc"
