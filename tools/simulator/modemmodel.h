#pragma once
// The state of one simulated modem and its answers to the control protocol, without sockets:
// requests go in as datagrams, reports come out as whole frames.

#include "linkquality.h"
#include "records.h"
#include "status_records.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <cmath>

// What every modem of a simulated network shares.
struct ModemProfile {
    BandPlan band;
    QSet<quint16> unsupported; // reports answered with REP_UNSUPPORTED, and the requests that set them
    int packetRate = 50;       // radio packets per second the peer sends and this modem sends back
};

class ModemModel {
public:
    enum class Service { None, Reboot, Disconnect, HardReset, Setup };

    struct Outcome {
        QList<QByteArray> replies; // whole frames, in sending order
        Service service = Service::None;
        QString event;             // one line saying what the request did
    };

    ModemModel(int index, quint32 address, const ModemProfile& profile, quint32 seed);

    Outcome handle(const QByteArray& datagram);

    // One report period of radio traffic under the given conditions: new counters and drift.
    void advance(int periodMs, double attenuationDb, const LossCurves& curves);

    // A status report the modem sends unasked, as a whole frame with the next sequence number.
    QByteArray reportFrame(quint16 report);

    // Back from a restart: fresh counters and sequence numbers, running settings from the defaults.
    void reboot();
    // Stored settings back to their factory values, then a restart.
    void factoryReset();

    static ModemDefaults factoryDefaults(int index, quint32 address, const BandPlan& band);

    // NaN: the RSSI wanders slowly; otherwise it holds still apart from noise of this spread, dB,
    // so that the antenna's pattern stands out.
    void setRssiNoise(double spreadDb) { m_rssiNoise = spreadDb; }

    quint64 txFrequency() const { return m_run.txFrequency; }
    double lastLoss() const { return m_lastLoss; }
    bool synchronised() const { return m_period.sync; }
    int rssiDb() const { return m_period.rssiCentiDb / 100; }

private:
    // Settings that a restart reloads from the stored ones.
    struct Running {
        quint64 txFrequency = 0;
        quint64 rxFrequency = 0;
        quint8 antenna = 0;
        bool txOff = false;
        quint8 power = 0;
        quint16 hsModulation = 0;
        quint8 relayId = 0;
        SessionSecret secret;
    };

    // Counters and measured values of the last report period.
    struct Period {
        bool sync = true;
        quint16 received = 0;
        quint16 errors = 0;
        quint16 lost = 0;
        quint16 sent = 0;
        qint32 rxBits = 0;
        qint32 txBits = 0;
        qint32 droppedBits = 0; // what the switched-off transmitter did not send
        int rssiCentiDb = 0; // magnitude
    };

    QByteArray frame(quint16 opcode, const QByteArray& payload);
    QByteArray unsupported(quint16 opcode);
    QByteArray reportPayload(quint16 opcode) const;
    quint8 statusOpmode() const;
    ContStatus contStatus() const;
    ExtendedStatus extendedStatus() const;
    IdStatistic idStatistic() const;
    Outcome applyRequest(quint16 opcode, const QByteArray& payload);
    Outcome applyService(const QByteArray& payload);
    int binomial(int trials, double probability);

    const int m_index;
    const quint32 m_address;
    const ModemProfile& m_profile;
    QRandomGenerator m_random;

    ModemDefaults m_defaults;
    ConverterConfig m_converters;
    SessionSecret m_savedSecret;
    Running m_run;
    Period m_period;
    quint16 m_seqnum = 0;
    quint32 m_lastServiceCode = 0;
    double m_lastLoss = 0.0;
    double m_rssiBaseDb;
    double m_temp1;
    double m_temp2;
    double m_rangeMetres;
    double m_rssiNoise = NAN;
};
