#include "linkquality.h"

#include <cmath>

namespace {

double logistic(double x, double midpoint, double width)
{
    if (width <= 0.0)
        return x < midpoint ? 0.0 : 1.0;
    return 1.0 / (1.0 + std::exp(-(x - midpoint) / width));
}

} // namespace

namespace linkquality {

quint64 nominalChannel(const BandPlan& band, quint64 frequency)
{
    if (band.step == 0 || band.highest <= band.lowest || frequency <= band.lowest)
        return band.lowest;
    const quint64 lastIndex = (band.highest - band.lowest) / band.step;
    const quint64 index = qMin(lastIndex, (frequency - band.lowest + band.step / 2) / band.step);
    return band.lowest + index * band.step;
}

double lossProbability(const LossCurves& curves, double attenuationDb, double offsetHz)
{
    const double byAttenuation = logistic(attenuationDb, curves.att50Db, curves.attWidthDb);
    const double byOffset = logistic(std::fabs(offsetHz), curves.offset50Hz, curves.offsetWidthHz);
    return 1.0 - (1.0 - byAttenuation) * (1.0 - byOffset);
}

double antennaLossDb(double offsetDeg, double beamWidthDeg)
{
    // sinc² falls to one half at u = 0.443, so u scales with the offset over the half width.
    constexpr double kHalfPowerU = 0.4429;
    constexpr double kPi = 3.14159265358979323846;
    const double wrapped = std::remainder(offsetDeg, 360.0);
    const double x = kPi * kHalfPowerU * wrapped / (beamWidthDeg / 2.0);
    if (std::fabs(x) < 1e-9)
        return 0.0;
    const double gain = std::pow(std::sin(x) / x, 2.0);
    return gain <= 0.0 ? kAntennaFloorDb : qMin(kAntennaFloorDb, -10.0 * std::log10(gain));
}

} // namespace linkquality
