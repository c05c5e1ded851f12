#include "control_records.h"

#include "bytes.h"

#include <algorithm>
#include <cstring>

namespace requests {

OP_PAYLOAD_t getReport(OPCODE report)
{
    OP_PAYLOAD_t payload;
    bytes::put16(payload.bytes, report);
    return payload;
}

OP_PAYLOAD_t serviceCode(uint32_t code)
{
    OP_PAYLOAD_t payload;
    bytes::put32(payload.bytes, code);
    return payload;
}

OP_PAYLOAD_t ipv4ServiceCode(uint32_t hostOrderAddress)
{
    OP_PAYLOAD_t payload;
    bytes::putIpv4(payload.bytes, hostOrderAddress);
    return payload;
}

OP_PAYLOAD_t frequency(uint64_t hz)
{
    OP_PAYLOAD_t payload;
    bytes::put64(payload.bytes, hz);
    return payload;
}

OP_PAYLOAD_t singleByte(uint8_t value)
{
    OP_PAYLOAD_t payload;
    bytes::put8(payload.bytes, value);
    return payload;
}

OP_PAYLOAD_t hsChannelMod(uint16_t modulation)
{
    OP_PAYLOAD_t payload;
    bytes::put16(payload.bytes, modulation);
    return payload;
}

OP_PAYLOAD_t record(const QByteArray& bytes, int limit)
{
    OP_PAYLOAD_t payload;
    const int size = std::min({ bytes.size(), limit, protocol::kPayloadSize });
    if (size > 0)
        std::memcpy(payload.bytes, bytes.constData(), static_cast<size_t>(size));
    return payload;
}

} // namespace requests

namespace reports {

uint16_t unsupportedOpcode(const QByteArray& rep)
{
    return bytes::u16(rep, 0);
}

uint8_t singleByte(const QByteArray& rep)
{
    return bytes::u8(rep, 0);
}

uint16_t hsChannelMod(const QByteArray& rep)
{
    return bytes::u16(rep, 0);
}

} // namespace reports
