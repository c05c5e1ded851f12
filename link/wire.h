#pragma once
// Copying packed wire records to and from byte buffers. The records' multi-byte fields are
// read and written in place, which is right only on a little-endian host.

#include <QByteArray>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "wire records hold little-endian fields in place");

namespace wire {

// A received record: at most its size taken from the report, the rest zero, never read past the report.
template <typename Record>
Record from(const QByteArray& rep)
{
    static_assert(std::is_trivially_copyable_v<Record>);
    Record record{};
    std::memcpy(&record, rep.constData(), std::min(static_cast<size_t>(rep.size()), sizeof record));
    return record;
}

// The first `size` bytes of a record (all of it by default) as they go on the wire.
template <typename Record>
QByteArray image(const Record& record, int size = int(sizeof(Record)))
{
    static_assert(std::is_trivially_copyable_v<Record>);
    return QByteArray(reinterpret_cast<const char*>(&record), std::clamp(size, 0, int(sizeof record)));
}

// IPv4 fields lie in network order (first octet first); the station works with host-order numbers.
inline uint32_t ipv4(const uint8_t (&field)[4])
{
    return (uint32_t(field[0]) << 24) | (uint32_t(field[1]) << 16) | (uint32_t(field[2]) << 8) | field[3];
}

inline void setIpv4(uint8_t (&field)[4], uint32_t hostOrder)
{
    field[0] = uint8_t(hostOrder >> 24);
    field[1] = uint8_t(hostOrder >> 16);
    field[2] = uint8_t(hostOrder >> 8);
    field[3] = uint8_t(hostOrder);
}

} // namespace wire
