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

} // namespace linkquality
