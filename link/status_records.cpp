#include "status_records.h"

#include "status_wire.h"
#include "wire.h"

namespace records {

static_assert(sizeof(REP_VERSION_t) == kVersionSize && sizeof(REP_CONT_STATUS_t) == kContStatusSize
              && sizeof(REP_EXTENDED_STATUS_t) == kExtendedStatusSize && sizeof(REP_PARAMETERS_t) == kParametersSize
              && sizeof(REP_RX_FREQUENCY_t) == kFrequencySize
              && sizeof(REP_ID_STATISTIC_ENTRY_t) == kIdStatisticEntrySize
              && offsetof(REP_ID_STATISTIC_t, entries) == kIdStatisticHeadSize);

VersionInfo decodeVersion(const QByteArray& rep)
{
    const auto r = wire::from<REP_VERSION_t>(rep);
    return { r.major, r.minor, r.revision, r.build, r.hardware, r.function };
}

QByteArray encodeVersion(const VersionInfo& v)
{
    REP_VERSION_t r{};
    r.major = v.major;
    r.minor = v.minor;
    r.revision = v.revision;
    r.build = v.build;
    r.hardware = v.hardware;
    r.function = v.function;
    return wire::image(r);
}

ContStatus decodeContStatus(const QByteArray& rep)
{
    const auto r = wire::from<REP_CONT_STATUS_t>(rep);
    return { r.opmode, r.sync, r.rssi, r.temp1, r.temp2, r.received, r.errors, r.lost, r.sent, r.rx_bits, r.tx_bits };
}

QByteArray encodeContStatus(const ContStatus& s)
{
    REP_CONT_STATUS_t r{};
    r.opmode = s.opmode;
    r.sync = s.sync;
    r.rssi = s.rssi;
    r.temp1 = s.temp1;
    r.temp2 = s.temp2;
    r.received = s.received;
    r.errors = s.errors;
    r.lost = s.lost;
    r.sent = s.sent;
    r.rx_bits = s.rx_bits;
    r.tx_bits = s.tx_bits;
    return wire::image(r);
}

ExtendedStatus decodeExtendedStatus(const QByteArray& rep)
{
    const auto r = wire::from<REP_EXTENDED_STATUS_t>(rep);
    return { r.mode,     r.role,   r.spreading, r.modulation, r.flags,   r.antenna, r.tx_power, r.rssi,
             r.temp1,    r.temp2,  r.received,  r.errors,     r.lost,    r.sent,    r.rx_bits,  r.tx_bits,
             r.tx_dropped_bits };
}

QByteArray encodeExtendedStatus(const ExtendedStatus& s)
{
    REP_EXTENDED_STATUS_t r{};
    r.mode = s.mode;
    r.role = s.role;
    r.spreading = s.spreading;
    r.modulation = s.modulation;
    r.flags = s.flags;
    r.antenna = s.antenna;
    r.tx_power = s.tx_power;
    r.rssi = s.rssi;
    r.temp1 = s.temp1;
    r.temp2 = s.temp2;
    r.received = s.received;
    r.errors = s.errors;
    r.lost = s.lost;
    r.sent = s.sent;
    r.rx_bits = s.rx_bits;
    r.tx_bits = s.tx_bits;
    r.tx_dropped_bits = s.tx_dropped_bits;
    return wire::image(r);
}

IdStatistic decodeIdStatistic(const QByteArray& rep)
{
    // Entries that the count names beyond the report read as zero.
    const auto r = wire::from<REP_ID_STATISTIC_t>(rep);
    IdStatistic s;
    s.own_index = r.own_index;
    s.entries.reserve(r.count);
    for (int i = 0; i < r.count; ++i) {
        const REP_ID_STATISTIC_ENTRY_t& e = r.entries[i];
        s.entries.append({ e.identifier, e.rssi, e.range, e.rx_first, e.rx_second, e.further });
    }
    return s;
}

QByteArray encodeIdStatistic(const IdStatistic& s)
{
    constexpr int kMaxEntries = int(sizeof(REP_ID_STATISTIC_t::entries) / sizeof(REP_ID_STATISTIC_ENTRY_t));
    const int count = qMin(s.entries.size(), kMaxEntries);
    REP_ID_STATISTIC_t r{};
    r.count = static_cast<uint8_t>(count);
    r.own_index = s.own_index;
    for (int i = 0; i < count; ++i) {
        const IdStatisticEntry& e = s.entries.at(i);
        REP_ID_STATISTIC_ENTRY_t& out = r.entries[i];
        out.identifier = e.identifier;
        out.rssi = e.rssi;
        out.range = e.range;
        out.rx_first = e.rx_first;
        out.rx_second = e.rx_second;
        out.further = e.further;
    }
    return wire::image(r, kIdStatisticHeadSize + kIdStatisticEntrySize * count);
}

ModemParameters decodeParameters(const QByteArray& rep)
{
    const auto r = wire::from<REP_PARAMETERS_t>(rep);
    return { r.lowest, r.highest, r.step };
}

QByteArray encodeParameters(const ModemParameters& p)
{
    REP_PARAMETERS_t r{};
    r.lowest = p.lowest;
    r.highest = p.highest;
    r.step = p.step;
    return wire::image(r);
}

FrequencyRecord decodeFrequency(const QByteArray& rep)
{
    return { wire::from<REP_RX_FREQUENCY_t>(rep).frequency };
}

QByteArray encodeFrequency(uint64_t hz)
{
    return wire::image(REP_RX_FREQUENCY_t{ hz });
}

} // namespace records
