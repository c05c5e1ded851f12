#include "status_records.h"

#include "bytes.h"

namespace records {

namespace {

constexpr int kIdEntryRssi = 4;
constexpr int kIdEntryRange = 8;
constexpr int kIdEntryRxFirst = 12;
constexpr int kIdEntryRxSecond = 14;
constexpr int kIdEntryFurther = 16;

} // namespace

VersionInfo decodeVersion(const QByteArray& rep)
{
    VersionInfo v;
    v.major = bytes::u16(rep, 0);
    v.minor = bytes::u8(rep, 2);
    v.revision = bytes::u8(rep, 3);
    v.build = bytes::u32(rep, 4);
    v.hardware = bytes::u8(rep, 8);
    v.function = bytes::u8(rep, 9);
    return v;
}

QByteArray encodeVersion(const VersionInfo& v)
{
    bytes::Record r(kVersionSize);
    bytes::put16(r.at(0), v.major);
    bytes::put8(r.at(2), v.minor);
    bytes::put8(r.at(3), v.revision);
    bytes::put32(r.at(4), v.build);
    bytes::put8(r.at(8), v.hardware);
    bytes::put8(r.at(9), v.function);
    return r.bytes;
}

ContStatus decodeContStatus(const QByteArray& rep)
{
    ContStatus s;
    s.opmode = bytes::u8(rep, 0);
    s.sync = bytes::u8(rep, 1);
    s.rssi = bytes::u8(rep, 2);
    s.temp1 = bytes::i8(rep, 3);
    s.temp2 = bytes::i8(rep, 4);
    s.received = bytes::u16(rep, 5);
    s.errors = bytes::u16(rep, 7);
    s.lost = bytes::u16(rep, 9);
    s.sent = bytes::u16(rep, 11);
    s.rx_bits = bytes::i32(rep, 13);
    s.tx_bits = bytes::i32(rep, 21);
    return s;
}

QByteArray encodeContStatus(const ContStatus& s)
{
    bytes::Record r(kContStatusSize);
    bytes::put8(r.at(0), s.opmode);
    bytes::put8(r.at(1), s.sync);
    bytes::put8(r.at(2), s.rssi);
    bytes::put8(r.at(3), static_cast<uint8_t>(s.temp1));
    bytes::put8(r.at(4), static_cast<uint8_t>(s.temp2));
    bytes::put16(r.at(5), s.received);
    bytes::put16(r.at(7), s.errors);
    bytes::put16(r.at(9), s.lost);
    bytes::put16(r.at(11), s.sent);
    bytes::put32(r.at(13), static_cast<uint32_t>(s.rx_bits));
    bytes::put32(r.at(21), static_cast<uint32_t>(s.tx_bits));
    return r.bytes;
}

ExtendedStatus decodeExtendedStatus(const QByteArray& rep)
{
    ExtendedStatus s;
    s.mode = bytes::u8(rep, 0);
    s.role = bytes::u8(rep, 1);
    s.spreading = bytes::u8(rep, 2);
    s.modulation = bytes::u8(rep, 3);
    s.flags = bytes::u8(rep, 4);
    s.antenna = bytes::u8(rep, 8);
    s.tx_power = bytes::u8(rep, 9);
    s.rssi = bytes::u16(rep, 16);
    s.temp1 = bytes::i16(rep, 24);
    s.temp2 = bytes::i16(rep, 26);
    s.received = bytes::u16(rep, 48);
    s.errors = bytes::u16(rep, 50);
    s.lost = bytes::u16(rep, 52);
    s.sent = bytes::u16(rep, 54);
    s.rx_bits = bytes::i32(rep, 56);
    s.tx_bits = bytes::i32(rep, 64);
    s.tx_dropped_bits = bytes::i32(rep, 72);
    return s;
}

QByteArray encodeExtendedStatus(const ExtendedStatus& s)
{
    bytes::Record r(kExtendedStatusSize);
    bytes::put8(r.at(0), s.mode);
    bytes::put8(r.at(1), s.role);
    bytes::put8(r.at(2), s.spreading);
    bytes::put8(r.at(3), s.modulation);
    bytes::put8(r.at(4), s.flags);
    bytes::put8(r.at(8), s.antenna);
    bytes::put8(r.at(9), s.tx_power);
    bytes::put16(r.at(16), s.rssi);
    bytes::put16(r.at(24), static_cast<uint16_t>(s.temp1));
    bytes::put16(r.at(26), static_cast<uint16_t>(s.temp2));
    bytes::put16(r.at(48), s.received);
    bytes::put16(r.at(50), s.errors);
    bytes::put16(r.at(52), s.lost);
    bytes::put16(r.at(54), s.sent);
    bytes::put32(r.at(56), static_cast<uint32_t>(s.rx_bits));
    bytes::put32(r.at(64), static_cast<uint32_t>(s.tx_bits));
    bytes::put32(r.at(72), static_cast<uint32_t>(s.tx_dropped_bits));
    return r.bytes;
}

IdStatistic decodeIdStatistic(const QByteArray& rep)
{
    IdStatistic s;
    const int count = bytes::u8(rep, 0); // a u8, so at most 255 entries whatever the report holds
    s.own_index = bytes::u8(rep, 1);
    s.entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int at = kIdStatisticHeadSize + kIdStatisticEntrySize * i;
        IdStatisticEntry e;
        e.identifier = bytes::u8(rep, at);
        e.rssi = bytes::u16(rep, at + kIdEntryRssi);
        e.range = bytes::u32(rep, at + kIdEntryRange);
        e.rx_first = bytes::u16(rep, at + kIdEntryRxFirst);
        e.rx_second = bytes::u16(rep, at + kIdEntryRxSecond);
        e.further = bytes::u32(rep, at + kIdEntryFurther);
        s.entries.append(e);
    }
    return s;
}

QByteArray encodeIdStatistic(const IdStatistic& s)
{
    const int count = qMin(s.entries.size(), 255);
    bytes::Record r(kIdStatisticHeadSize + kIdStatisticEntrySize * count);
    bytes::put8(r.at(0), static_cast<uint8_t>(count));
    bytes::put8(r.at(1), s.own_index);
    for (int i = 0; i < count; ++i) {
        const IdStatisticEntry& e = s.entries.at(i);
        uint8_t* p = r.at(kIdStatisticHeadSize + kIdStatisticEntrySize * i);
        bytes::put8(p, e.identifier);
        bytes::put16(p + kIdEntryRssi, e.rssi);
        bytes::put32(p + kIdEntryRange, e.range);
        bytes::put16(p + kIdEntryRxFirst, e.rx_first);
        bytes::put16(p + kIdEntryRxSecond, e.rx_second);
        bytes::put32(p + kIdEntryFurther, e.further);
    }
    return r.bytes;
}

ModemParameters decodeParameters(const QByteArray& rep)
{
    ModemParameters p;
    p.lowest = bytes::u64(rep, 0);
    p.highest = bytes::u64(rep, 8);
    p.step = bytes::u32(rep, 16);
    return p;
}

QByteArray encodeParameters(const ModemParameters& p)
{
    bytes::Record r(kParametersSize);
    bytes::put64(r.at(0), p.lowest);
    bytes::put64(r.at(8), p.highest);
    bytes::put32(r.at(16), p.step);
    return r.bytes;
}

FrequencyRecord decodeFrequency(const QByteArray& rep)
{
    FrequencyRecord f;
    f.frequency = bytes::u64(rep, 0);
    return f;
}

QByteArray encodeFrequency(uint64_t hz)
{
    bytes::Record r(kFrequencySize);
    bytes::put64(r.at(0), hz);
    return r.bytes;
}

QList<uint64_t> channelsOf(const ModemParameters& plan)
{
    // A band plan never yields more channels than this, whatever the report says.
    constexpr int kMaxChannels = 4096;
    QList<uint64_t> channels;
    if (plan.step == 0)
        return channels;
    uint64_t frequency = plan.lowest;
    do {
        channels.append(frequency);
        if (frequency > UINT64_MAX - plan.step)
            break;
        frequency += plan.step;
    } while (frequency <= plan.highest && channels.size() < kMaxChannels);
    return channels;
}

} // namespace records
