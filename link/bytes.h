#pragma once
// Bounds-checked little-endian access to received records.
// Bytes beyond the end of a buffer read as zero, so a short report never reads past its data.

#include <QByteArray>
#include <cstdint>
#include <cstring>

namespace bytes {

inline uint8_t u8(const QByteArray& b, int off)
{
    return (off >= 0 && off < b.size()) ? static_cast<uint8_t>(b.at(off)) : 0;
}

inline uint16_t u16(const QByteArray& b, int off)
{
    return static_cast<uint16_t>(u8(b, off) | (u8(b, off + 1) << 8));
}

inline uint32_t u32(const QByteArray& b, int off)
{
    return static_cast<uint32_t>(u16(b, off)) | (static_cast<uint32_t>(u16(b, off + 2)) << 16);
}

inline uint64_t u64(const QByteArray& b, int off)
{
    return static_cast<uint64_t>(u32(b, off)) | (static_cast<uint64_t>(u32(b, off + 4)) << 32);
}

inline int8_t i8(const QByteArray& b, int off) { return static_cast<int8_t>(u8(b, off)); }
inline int16_t i16(const QByteArray& b, int off) { return static_cast<int16_t>(u16(b, off)); }
inline int32_t i32(const QByteArray& b, int off) { return static_cast<int32_t>(u32(b, off)); }

// IPv4 stored in network order (first octet first), returned as a host-order number.
inline uint32_t ipv4(const QByteArray& b, int off)
{
    return (static_cast<uint32_t>(u8(b, off)) << 24) | (static_cast<uint32_t>(u8(b, off + 1)) << 16)
        | (static_cast<uint32_t>(u8(b, off + 2)) << 8) | u8(b, off + 3);
}

// Writers over a buffer the caller has sized; they never grow it.
inline void put8(uint8_t* p, uint8_t v) { p[0] = v; }
inline void put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v)
{
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void put64(uint8_t* p, uint64_t v)
{
    put32(p, static_cast<uint32_t>(v));
    put32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void putIpv4(uint8_t* p, uint32_t hostOrder)
{
    p[0] = static_cast<uint8_t>(hostOrder >> 24);
    p[1] = static_cast<uint8_t>(hostOrder >> 16);
    p[2] = static_cast<uint8_t>(hostOrder >> 8);
    p[3] = static_cast<uint8_t>(hostOrder);
}

// A zero-filled record of `size` bytes being built, with a writable pointer into it.
struct Record {
    explicit Record(int size) : bytes(size, '\0') {}
    uint8_t* at(int offset) { return reinterpret_cast<uint8_t*>(bytes.data()) + offset; }
    QByteArray bytes;
};

} // namespace bytes
