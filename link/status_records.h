#pragma once
// Report records of the modem's status, parameters and radio controls, and their codecs.
// Decoders read missing bytes as zero; encoders produce the full record the modem sends.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QVector>
#include <cstdint>

struct VersionInfo {
    uint16_t major = 0;
    uint8_t minor = 0;
    uint8_t revision = 0;
    uint32_t build = 0;
    uint8_t hardware = 0;
    uint8_t function = 0;
};

struct ContStatus {
    uint8_t opmode = 0;
    uint8_t sync = 0;
    uint8_t rssi = 0; // magnitude in dB; the level is minus this value
    int8_t temp1 = 0;
    int8_t temp2 = 0;
    uint16_t received = 0;
    uint16_t errors = 0;
    uint16_t lost = 0;
    uint16_t sent = 0;
    int32_t rx_bits = 0;
    int32_t tx_bits = 0;
};

struct ExtendedStatus {
    enum Flag : uint8_t { Synchronised = 0x01, AntennaFault = 0x02, TxPowerOff = 0x04, ModeWhite = 0x08 };
    uint8_t mode = 0;
    uint8_t role = 0;
    uint8_t spreading = 0;
    uint8_t modulation = 0;
    uint8_t flags = 0;
    uint8_t antenna = 0;
    uint8_t tx_power = 0;
    uint16_t rssi = 0; // hundredths of a dB
    int16_t temp1 = 0; // x100
    int16_t temp2 = 0; // x100
    uint16_t received = 0;
    uint16_t errors = 0;
    uint16_t lost = 0;
    uint16_t sent = 0;
    int32_t rx_bits = 0;
    int32_t tx_bits = 0;
    int32_t tx_dropped_bits = 0;
};
Q_DECLARE_METATYPE(ExtendedStatus)

struct IdStatisticEntry {
    uint8_t identifier = 0;
    uint16_t rssi = 0;
    uint32_t range = 0;
    uint16_t rx_first = 0;
    uint16_t rx_second = 0;
    uint32_t further = 0;
};

struct IdStatistic {
    uint8_t own_index = 0;
    QVector<IdStatisticEntry> entries; // N entries; entries beyond the report read as zero
};

struct ModemParameters {
    uint64_t lowest = 0;
    uint64_t highest = 0;
    uint32_t step = 0;
};

// Transmit and receive frequency reports and requests share this 8-byte record.
struct FrequencyRecord {
    uint64_t frequency = 0;
};
Q_DECLARE_METATYPE(FrequencyRecord)

struct AntennaSelection {
    uint8_t antenna = 0; // 0 sector, 1 omnidirectional
};
Q_DECLARE_METATYPE(AntennaSelection)

namespace records {

constexpr int kVersionSize = 12;
constexpr int kContStatusSize = 29;
constexpr int kExtendedStatusSize = 136;
constexpr int kIdStatisticHeadSize = 16;
constexpr int kIdStatisticEntrySize = 20;
constexpr int kParametersSize = 1024;
constexpr int kFrequencySize = 8;

VersionInfo decodeVersion(const QByteArray& rep);
QByteArray encodeVersion(const VersionInfo& v);

ContStatus decodeContStatus(const QByteArray& rep);
QByteArray encodeContStatus(const ContStatus& s);

ExtendedStatus decodeExtendedStatus(const QByteArray& rep);
QByteArray encodeExtendedStatus(const ExtendedStatus& s);

IdStatistic decodeIdStatistic(const QByteArray& rep);
QByteArray encodeIdStatistic(const IdStatistic& s);

ModemParameters decodeParameters(const QByteArray& rep);
QByteArray encodeParameters(const ModemParameters& p);

// Channels of a band plan, lowest first; the lowest counts even above the highest, none without a step.
QList<uint64_t> channelsOf(const ModemParameters& plan);

FrequencyRecord decodeFrequency(const QByteArray& rep);
QByteArray encodeFrequency(uint64_t hz);

} // namespace records
