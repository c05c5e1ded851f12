#pragma once
// The shape of a simulated modem network and its start-up faults, from the command line.

#include "faultylink.h"
#include "linkquality.h"
#include "modemmodel.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

struct SimConfig {
    int modems = 3;
    quint32 firstAddress = 0x7F00000B; // 127.0.0.11
    QHostAddress stationAddress{QHostAddress::LocalHost};
    quint16 stationPort = 40005;
    int periodMs = 1000;
    bool extendedStatus = false;
    bool idStatistic = false;
    ModemProfile profile;
    int rebootMs = 3000;
    int disconnectMs = 10000;
    int stepperSpeed = 1000; // steps per second
    // Bearing of each modem's peer, degrees, modem 1 first; one value serves every modem.
    // Without one a modem's RSSI does not depend on its antenna.
    QList<double> bearings;
    double beamWidth = 20.0;   // degrees at half power
    double rssiNoiseDb = 0.5;  // spread of an aimed modem's RSSI
    bool attenuator = false;
    LossCurves curves;
    Faults faults;
    quint32 seed = 1;
    bool verbose = false;
    QString pcapPath; // capture of all the modems' traffic; empty for none
};

namespace simconfig {

constexpr int kMaxModems = 16384;

struct ParseResult {
    enum Status { Run, Help, Error } status = Run;
    QString text; // the help text, or what was wrong
};

// `arguments` includes the program name, as QCoreApplication::arguments() gives it.
ParseResult parse(const QStringList& arguments, SimConfig& config);

} // namespace simconfig
