#pragma once
// Radio side of a simulated modem: the band plan it works in and how many of the peer's
// packets it loses for a given attenuation in front of it and offset from its channel.

#include <QtGlobal>

struct BandPlan {
    quint64 lowest = 1400000000;
    quint64 highest = 1450000000;
    quint32 step = 10000000;
};

// Logistic loss curves, each reaching one half at its "50" point.
struct LossCurves {
    double att50Db = 20.0;
    double attWidthDb = 1.0;
    double offset50Hz = 40000.0;
    double offsetWidthHz = 4000.0;
};

// What the network's modems share on the air: the attenuator in front of them and the curves.
struct RadioEnvironment {
    double attenuationDb = 0.0;
    LossCurves curves;
};

namespace linkquality {

// Above this loss the receiver cannot hold synchronisation.
constexpr double kSyncLossLimit = 0.9;

// The channel of the plan nearest to `frequency` (the lowest one when the step is 0).
quint64 nominalChannel(const BandPlan& band, quint64 frequency);

// Probability that one packet is lost: either curve alone can lose it.
double lossProbability(const LossCurves& curves, double attenuationDb, double offsetHz);

// Deepest loss of the antenna pattern, dB: its nulls are filled to this.
constexpr double kAntennaFloorDb = 40.0;

// Loss of a directional antenna turned `offsetDeg` away from its peer, dB: the sin(x)/x
// pattern of a uniform aperture, whose half-power width is `beamWidthDeg` and whose side
// lobes lie 13 dB and more below the main lobe.
double antennaLossDb(double offsetDeg, double beamWidthDeg);

} // namespace linkquality
