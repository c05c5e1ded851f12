// A tone call between two stations through a relay that plays a bad radio link: the called
// station's loudspeaker (the test command's null sink) is recorded and cut into 20 ms periods.

#include "linkrelay.h"
#include "testkit.h"

#include <QScopeGuard>
#include <complex>

using namespace testkit;
using linkrelay::Link;
using linkrelay::Relay;

namespace {

// Share of the 20 ms periods whose sound is mostly the two tones and not much quieter than usual.
double tonePeriodShare(const QByteArray& pcm)
{
    constexpr int kPeriod = 160;
    const int periods = pcm.size() / 2 / kPeriod;
    QVector<double> rms, tone;
    for (int p = 0; p < periods; ++p) {
        double energy = 0.0;
        std::complex<double> low, high;
        for (int n = 0; n < kPeriod; ++n) {
            const double x = qFromLittleEndian<qint16>(pcm.constData() + 2 * (p * kPeriod + n));
            energy += x * x;
            low += x * std::polar(1.0, -2.0 * M_PI * 1000.0 * n / 8000);
            high += x * std::polar(1.0, -2.0 * M_PI * 1600.0 * n / 8000);
        }
        rms << std::sqrt(energy / kPeriod);
        tone << (energy > 0.0 ? 2.0 * (std::norm(low) + std::norm(high)) / (kPeriod * energy) : 0.0);
    }
    QVector<double> sorted = rms;
    std::sort(sorted.begin(), sorted.end());
    const double usual = sorted.value(sorted.size() / 2);
    int carrying = 0;
    for (int p = 0; p < periods; ++p)
        carrying += (tone[p] >= 0.5 && rms[p] >= 0.25 * usual && usual > 0.0) ? 1 : 0;
    return periods > 0 ? double(carrying) / periods : 0.0;
}

} // namespace

class VoiceRelayTest : public QObject
{
    Q_OBJECT

    QAudioDeviceInfo loudspeaker;

private slots:
    void initTestCase()
    {
        for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioInput))
            if (device.deviceName() == QLatin1String("nullsink.monitor"))
                loudspeaker = device;
        if (QAudioDeviceInfo::defaultInputDevice().deviceName() != "mic_1000_1600hz.monitor" || loudspeaker.isNull())
            QSKIP("needs the test command's two-tone microphone and null sink");
    }

    void toneCarriesThroughTheLink_data()
    {
        QTest::addColumn<Link>("link");
        QTest::addColumn<bool>("cleanUp");
        QTest::addColumn<double>("floor");
        // Floors sit well under what a quiet machine measures (in brackets), for a loaded one.
        QTest::newRow("clean") << Link::Clean << false << 0.97;                // [1.00]
        QTest::newRow("20 % loss") << Link::Loss20 << false << 0.85;           // [0.93]
        QTest::newRow("100 ms jitter") << Link::Jitter100 << false << 0.90;    // [0.99]
        QTest::newRow("bursts of 11") << Link::Bursts11 << false << 0.90;      // [1.00]
        QTest::newRow("adjacent swaps") << Link::SwapAdjacent << false << 0.90; // [1.00]
        QTest::newRow("clean, capture cleaned up") << Link::Clean << true << 0.90;   // [1.00]
    }

    void toneCarriesThroughTheLink()
    {
        QFETCH(Link, link);
        QFETCH(bool, cleanUp);
        QFETCH(double, floor);
        Station caller, called;
        QVERIFY(caller.bound && called.bound);
        Relay relay(link, caller.port, called.port);
        caller.phone.set_noise_suppression(cleanUp);
        caller.phone.set_automatic_gain(cleanUp);
        caller.phone.voice_action(kLoopback, relay.callerSide(), 8);
        QTRY_COMPARE_WITH_TIMEOUT(called.state(), QStringLiteral("Входящий"), 15000);
        called.phone.voice_action(kLoopback, relay.calledSide(), 8);
        QTRY_COMPARE_WITH_TIMEOUT(caller.state(), QStringLiteral("Вызов"), 15000);

        QByteArray heardPcm; // before the recorder: stopping it runs the event loop
        QAudioInput recorder(loudspeaker, voiceFormat());
        QIODevice* heard = recorder.start();
        const auto stopRecorder = qScopeGuard([&] { recorder.stop(); });
        QVERIFY(heard);
        connect(heard, &QIODevice::readyRead, this, [&] { heardPcm += heard->readAll(); });
        // The first two seconds let the sound server settle and the buffer find its delay.
        QTRY_VERIFY_WITH_TIMEOUT(heardPcm.size() >= 5 * 8000 * 2, 30000);
        recorder.stop();
        QCOMPARE(called.state(), QStringLiteral("Вызов"));
        QCOMPARE(caller.state(), QStringLiteral("Вызов"));

        const double share = tonePeriodShare(heardPcm.right(3 * 8000 * 2));
        const PlayoutStats stats = called.phone.findChild<audioworkshop*>()->playout_stats();
        const QString figures = QStringLiteral("tone in %1 of periods; played %2, concealed %3, silent %4, late %5, dropped %6")
                                    .arg(share, 0, 'f', 3).arg(stats.played).arg(stats.concealed).arg(stats.silent)
                                    .arg(stats.late).arg(stats.dropped);
        qInfo("%s", qPrintable(figures));
        QVERIFY2(share >= floor, qPrintable(figures));
        if (link == Link::Loss20) // the decoder fills in for the lost frames
            QVERIFY2(stats.concealed > stats.received / 10, qPrintable(figures));
    }
};

QTEST_GUILESS_MAIN(VoiceRelayTest)
#include "tst_voicerelay.moc"
