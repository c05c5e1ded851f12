#pragma once
// Request payloads that the main window sends, and the short reports it reads back: a report
// request, service codes, frequencies and the one- and two-byte radio control records.

#include "protocol.h"

#include <QByteArray>
#include <cstdint>

namespace requests {

OP_PAYLOAD_t getReport(OPCODE report);
OP_PAYLOAD_t serviceCode(uint32_t code);
OP_PAYLOAD_t ipv4ServiceCode(uint32_t hostOrderAddress);
OP_PAYLOAD_t frequency(uint64_t hz);
OP_PAYLOAD_t singleByte(uint8_t value);
OP_PAYLOAD_t hsChannelMod(uint16_t modulation);
// A record cut to at most `limit` bytes, the rest of the payload zero.
OP_PAYLOAD_t record(const QByteArray& bytes, int limit);

} // namespace requests

namespace reports {

// The opcode that a REP_UNSUPPORTED names.
uint16_t unsupportedOpcode(const QByteArray& rep);
// The first byte of a one-byte report (antenna, transmitter off, power).
uint8_t singleByte(const QByteArray& rep);
// The 16-bit modulation word of REP_SET_HS_CHANNEL_MOD.
uint16_t hsChannelMod(const QByteArray& rep);

} // namespace reports
