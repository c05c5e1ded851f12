#pragma once
// Test tones and a single-frequency detector (Goertzel) for 8000 Hz mono 16-bit PCM.

#include <QByteArray>
#include <QtEndian>
#include <cmath>

namespace tone {

constexpr int kRate = 8000;

inline QByteArray sine(double hz, int samples, double amplitude = 12000.0)
{
    QByteArray pcm(samples * 2, '\0');
    auto* out = reinterpret_cast<uchar*>(pcm.data());
    for (int n = 0; n < samples; ++n)
        qToLittleEndian<qint16>(qint16(std::lround(amplitude * std::sin(2.0 * M_PI * hz * n / kRate))), out + 2 * n);
    return pcm;
}

// Share of the signal's energy that lies at `hz`: about 1 for a pure tone there, about 0 elsewhere.
// Measured over 50 ms blocks (20 Hz wide), so a tone a few hertz off after resampling still counts.
inline double share(const QByteArray& pcm, double hz)
{
    constexpr int kBlock = kRate / 20;
    const auto* in = reinterpret_cast<const uchar*>(pcm.constData());
    const double coeff = 2.0 * std::cos(2.0 * M_PI * hz / kRate);
    double power = 0.0, energy = 0.0;
    for (int start = 0; start + kBlock <= pcm.size() / 2; start += kBlock) {
        double s1 = 0.0, s2 = 0.0;
        for (int n = start; n < start + kBlock; ++n) {
            const double x = qFromLittleEndian<qint16>(in + 2 * n);
            energy += x * x;
            const double s0 = x + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        power += s1 * s1 + s2 * s2 - coeff * s1 * s2;
    }
    return energy > 0.0 ? 2.0 * power / (kBlock * energy) : 0.0;
}

} // namespace tone
