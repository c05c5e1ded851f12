// Capture clean-up on synthetic microphones: what noise suppression and automatic gain do to
// the level of what is sent, and that switched off they leave the frames alone.

#include "capturepreprocessor.h"

#include <QtTest>
#include <cmath>
#include <random>

namespace {

enum class Mic { Hiss, QuietSyllables };

// Three seconds of 20 ms frames; returns output level / input level over the last second.
double gainOf(CapturePreprocessor& preprocessor, Mic mic)
{
    std::mt19937 random(3);
    std::normal_distribution<double> noise(0.0, 1000.0);
    double in = 0.0, out = 0.0;
    for (int frame = 0; frame < 150; ++frame) {
        QByteArray pcm(320, '\0');
        for (int i = 0; i < 160; ++i) {
            const double t = (frame * 160 + i) / 8000.0;
            const double syllable = std::max(0.0, std::sin(2.0 * M_PI * 3.0 * t));
            const double x = mic == Mic::Hiss ? noise(random)
                                              : 300.0 * syllable * (std::sin(2.0 * M_PI * 220.0 * t) + 0.5 * std::sin(2.0 * M_PI * 660.0 * t));
            qToLittleEndian<qint16>(qint16(qBound(-32768.0, x, 32767.0)), pcm.data() + 2 * i);
        }
        const QByteArray before = pcm;
        preprocessor.process(pcm);
        for (int i = 0; frame >= 100 && i < 160; ++i) {
            in += std::pow(qFromLittleEndian<qint16>(before.constData() + 2 * i), 2);
            out += std::pow(qFromLittleEndian<qint16>(pcm.constData() + 2 * i), 2);
        }
    }
    return std::sqrt(out / in);
}

} // namespace

Q_DECLARE_METATYPE(Mic)

class CapturePreprocessorTest : public QObject
{
    Q_OBJECT

    CapturePreprocessor preprocessor;

private slots:
    void init() { QVERIFY(preprocessor.open(160)); }

    void switchesChangeTheSentLevel_data()
    {
        QTest::addColumn<Mic>("mic");
        QTest::addColumn<bool>("noiseSuppression");
        QTest::addColumn<bool>("automaticGain");
        QTest::addColumn<double>("minGain");
        QTest::addColumn<double>("maxGain");
        QTest::newRow("off: quiet voice untouched") << Mic::QuietSyllables << false << false << 1.0 << 1.0;
        QTest::newRow("noise suppression: hiss down") << Mic::Hiss << true << false << 0.0 << 0.5;
        QTest::newRow("automatic gain: quiet voice up") << Mic::QuietSyllables << false << true << 2.0 << 100.0;
    }

    void switchesChangeTheSentLevel()
    {
        QFETCH(Mic, mic);
        QFETCH(bool, noiseSuppression);
        QFETCH(bool, automaticGain);
        QFETCH(double, minGain);
        QFETCH(double, maxGain);
        preprocessor.set_noise_suppression(noiseSuppression);
        preprocessor.set_automatic_gain(automaticGain);
        const double gain = gainOf(preprocessor, mic);
        QVERIFY2(gain >= minGain - 1e-9 && gain <= maxGain + 1e-9, qPrintable(QString::number(gain)));
    }

    void partialFrameIsLeftAlone()
    {
        preprocessor.set_noise_suppression(true);
        QByteArray half(160, '\x40');
        preprocessor.process(half);
        QCOMPARE(half, QByteArray(160, '\x40'));
    }
};

QTEST_APPLESS_MAIN(CapturePreprocessorTest)
#include "tst_capturepreprocessor.moc"
