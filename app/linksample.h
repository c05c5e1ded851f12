#pragma once
// One moment of a modem's link as its status reports gave it, kept small because an hour of
// it is kept for every modem heard.

#include <QtGlobal>
#include <cmath>

struct LinkSample {
    static constexpr quint8 kUnknownPower = 0xFF;

    qint64 ms = 0;             // ms since the epoch, UTC
    qint16 rssiCentiDb = 0;    // the level, negative
    qint16 temp1CentiC = 0;
    qint16 temp2CentiC = 0;
    quint16 received = 0;      // packet counts of the report
    quint16 errors = 0;
    quint16 lost = 0;
    quint16 sent = 0;
    quint16 intervalMs = 0;    // what the counts cover; 0 when unknown
    quint8 txPower = kUnknownPower; // percent, from the extended status only
    bool sync = false;
    bool gapBefore = false;    // reports were missed or the modem restarted before this one
    bool refined = false;      // an extended status has given finer values

    double rssiDbm() const { return rssiCentiDb / 100.0; }
    double temp1() const { return temp1CentiC / 100.0; }
    double temp2() const { return temp2CentiC / 100.0; }
    double power() const { return txPower == kUnknownPower ? NAN : double(txPower); }
    // Packets per second for one of the counts; NaN when the period is unknown.
    double perSecond(quint16 count) const { return intervalMs ? count * 1000.0 / intervalMs : NAN; }
};
