// Two stations in one process call each other over loopback with real capture and playback
// (the test command's PulseAudio: a null sink, and a microphone hearing two steady tones).

#include "testkit.h"

#include <QScopeGuard>
#include <cmath>
#include <complex>

using namespace testkit;

namespace {

// Share of the signal's energy at `hz` in 8000 Hz 16-bit PCM (one DFT bin per 50 ms block, so 20 Hz wide).
double toneShare(const QByteArray& pcm, double hz)
{
    constexpr int kBlock = 8000 / 20;
    const int samples = pcm.size() / 2 / kBlock * kBlock;
    double power = 0.0, energy = 0.0;
    std::complex<double> bin;
    for (int n = 0; n < samples; ++n) {
        const double x = qFromLittleEndian<qint16>(pcm.constData() + 2 * n);
        energy += x * x;
        bin += x * std::polar(1.0, -2.0 * M_PI * hz * n / 8000);
        if ((n + 1) % kBlock == 0)
            power += std::norm(std::exchange(bin, {}));
    }
    return energy > 0.0 ? 2.0 * power / (kBlock * energy) : 0.0;
}

} // namespace

class VoiceCallTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!haveSoundDevices())
            QSKIP("no sound devices");
    }

    // Radio jitter delivers late frames in bursts; the playback buffer takes one whole.
    void burstRightAfterOpeningPlaybackIsTakenWhole_data()
    {
        QTest::addColumn<int>("frames");
        QTest::newRow("one frame") << 1;
        QTest::newRow("220 ms at once") << 11;
    }

    void burstRightAfterOpeningPlaybackIsTakenWhole()
    {
        QFETCH(int, frames);
        audioworkshop audio;
        QVERIFY(audio.init_output());
        const QByteArray frame = voiceDatagram().mid(1);
        int taken = 0;
        for (int i = 0; i < frames; ++i)
            taken += audio.write_to_out(frame);
        QCOMPARE(taken, frames * 320);
    }

    void stationsRingAnswerTalkAndHangUp()
    {
        Station caller, called;
        QVERIFY(caller.bound && called.bound);
        QSignalSpy callerLevels(&caller.phone, &PhoneControl::update_signal);
        QSignalSpy calledLevels(&called.phone, &PhoneControl::update_signal);

        caller.phone.voice_action(kLoopback, called.port, 8);
        QCOMPARE(caller.state(), QStringLiteral("Исходящий"));
        QTRY_COMPARE_WITH_TIMEOUT(called.state(), QStringLiteral("Входящий"), 15000);
        QCOMPARE(called.action, QStringLiteral("Ответ"));
        called.phone.voice_action(kLoopback, caller.port, 8);
        QTRY_COMPARE_WITH_TIMEOUT(caller.state(), QStringLiteral("Вызов"), 15000);

        // Both directions carry the full flow of quality 8.
        callerLevels.clear();
        calledLevels.clear();
        QTRY_VERIFY_WITH_TIMEOUT(callerLevels.contains({4}) && calledLevels.contains({4}), 15000);

        caller.phone.voice_action(kLoopback, called.port, 8);
        QCOMPARE(caller.color, QColor(Qt::white));
        QTRY_COMPARE_WITH_TIMEOUT(called.state(), QStringLiteral("Офлайн"), 5000);
        QTest::qWait(300); // the called station's tail must not ring at the caller
        QCOMPARE(caller.states, QStringList({"Исходящий", "Вызов", "Офлайн"}));
        QCOMPARE(called.states, QStringList({"Входящий", "Вызов", "Офлайн"}));
    }

    void tonesSpokenAtOneStationAreHeardAtTheOther()
    {
        QAudioDeviceInfo loudspeaker;
        for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioInput))
            if (device.deviceName() == QLatin1String("nullsink.monitor"))
                loudspeaker = device;
        // The test command's microphone hears 1000 Hz and 1600 Hz together, at equal strength.
        if (QAudioDeviceInfo::defaultInputDevice().deviceName() != "mic_1000_1600hz.monitor" || loudspeaker.isNull())
            QSKIP("needs the test command's two-tone microphone and null sink");

        // The called station answers towards a socket that swallows its voice, so the caller stays
        // outgoing and the loudspeaker carries the caller's voice alone.
        Station caller, called;
        QUdpSocket swallow;
        QVERIFY(caller.bound && called.bound && swallow.bind(kLoopback, 0));
        caller.phone.voice_action(kLoopback, called.port, 8);
        QTRY_COMPARE_WITH_TIMEOUT(called.state(), QStringLiteral("Входящий"), 15000);
        called.phone.voice_action(kLoopback, swallow.localPort(), 8);

        QAudioFormat format;
        format.setSampleRate(8000);
        format.setChannelCount(1);
        format.setSampleSize(16);
        format.setCodec(QStringLiteral("audio/pcm"));
        format.setByteOrder(QAudioFormat::LittleEndian);
        format.setSampleType(QAudioFormat::SignedInt);
        QByteArray played; // before the recorder: stopping it runs the event loop
        QAudioInput recorder(loudspeaker, format);
        QIODevice* heard = recorder.start();
        // A recorder destroyed while running aborts inside the sound plugin, so stop it on every exit.
        const auto stopRecorder = qScopeGuard([&] { recorder.stop(); });
        QVERIFY(heard);
        connect(heard, &QIODevice::readyRead, this, [&] { played += heard->readAll(); });
        // Three seconds, judged by the last: a freshly started sound server settles first.
        QTRY_VERIFY_WITH_TIMEOUT(played.size() >= 3 * 8000 * 2, 20000);
        recorder.stop();
        QCOMPARE(called.state(), QStringLiteral("Вызов"));
        const QByteArray lastSecond = played.right(8000 * 2);
        const double low = toneShare(lastSecond, 1000.0), high = toneShare(lastSecond, 1600.0);
        QVERIFY2(low > 0.3 && high > 0.3, qPrintable(QStringLiteral("1000 Hz: %1, 1600 Hz: %2").arg(low).arg(high)));
    }
};

QTEST_GUILESS_MAIN(VoiceCallTest)
#include "tst_voicecall.moc"
