#include "records.h"

#include "protocol.h"
#include "settings_wire.h"
#include "wire.h"

#include <QtGlobal>
#include <cstring>

namespace records {

namespace {

constexpr int kSocketCount = 5;
constexpr int kConverterCount = 4;
// Bits 1-7 of a converter word: the modem expects this pattern, whatever it means to it.
constexpr uint32_t kConverterWordPattern = 0x60;

constexpr uint16_t kSecretLengthMask = 0x0FFF;
constexpr uint16_t kSecretSave = 0x8000;

// Relay modes (8 and up) have three roles and their codes start at 16.
constexpr int kFirstRelayMode = 8;
constexpr int kFirstRelayCode = 16;
constexpr int kLastValidCode = 27;

static_assert(sizeof(CMD_DEFAULTS_SET_t) == kDefaultsSize && sizeof(CMD_DEFAULTS_SET_t) == protocol::kDefaultsRecordSize
              && sizeof(CMD_DEFAULTS_SET_t::gst_string_fm2) == kGstStringSize
              && sizeof(CMD_UART_CONV_CONFIG_t) == kConverterConfigSize
              && sizeof(CMD_SESSION_SECRET_t) == kSecretRecordSize
              && sizeof(CMD_SESSION_SECRET_t::secret) == kSecretCapacity);
// The payload buffer holds the largest record with four bytes to spare.
static_assert(sizeof(OP_PAYLOAD_t) == sizeof(CMD_DEFAULTS_SET_t) + 4);

void putSocket(SOCKET_ENTRY_t& out, const SocketEntry& s)
{
    out.self_port = s.self_port;
    out.dest_port = s.dest_port;
    wire::setIpv4(out.dest_addr, s.dest_addr);
}

SocketEntry socketOf(const SOCKET_ENTRY_t& in)
{
    return { in.self_port, in.dest_port, wire::ipv4(in.dest_addr) };
}

// The text fills the field from its start; a full field carries no NUL.
void putText(char (&field)[kGstStringSize], const QByteArray& text)
{
    memcpy(field, text.constData(), static_cast<size_t>(qMin(text.size(), kGstStringSize)));
}

// The bytes before the first NUL of the field, or the whole field.
QByteArray textOf(const char (&field)[kGstStringSize])
{
    return QByteArray(field, static_cast<int>(qstrnlen(field, kGstStringSize)));
}

} // namespace

QByteArray encodeDefaults(const ModemDefaults& d)
{
    CMD_DEFAULTS_SET_t r{};
    r.opmode = d.opmode;
    r.rx_frequency = d.rx_frequency;
    r.tx_frequency = d.tx_frequency;
    wire::setIpv4(r.ip_addr, d.ip_addr);
    r.prefix = static_cast<uint8_t>((d.prefix & 0x7F) | (d.local_status ? 0x80 : 0));
    wire::setIpv4(r.gateway, d.gateway);
    r.control_port = d.control_port;
    for (int i = 0; i < kSocketCount; ++i) {
        putSocket(r.sockets[i], d.sockets[i]);
        putSocket(r.remote_sockets[i], d.remote_sockets[i]);
    }
    r.radio_flags = (d.tap_mode & 3u) | ((d.antenna_sel & 1u) << 2) | (d.tx_mute ? 1u << 3 : 0u)
        | (static_cast<uint32_t>(d.tx_power_mode) << 4);
    putText(r.gst_string_fm2, d.gst_string_fm2);
    putText(r.gst_string_fm4, d.gst_string_fm4);
    return wire::image(r);
}

ModemDefaults decodeDefaults(const QByteArray& rep)
{
    const auto r = wire::from<REP_DEFAULTS_SET_t>(rep);
    ModemDefaults d;
    d.opmode = r.opmode;
    d.rx_frequency = r.rx_frequency;
    d.tx_frequency = r.tx_frequency;
    d.ip_addr = wire::ipv4(r.ip_addr);
    d.prefix = r.prefix & 0x7F;
    d.local_status = (r.prefix & 0x80) != 0;
    d.gateway = wire::ipv4(r.gateway);
    d.control_port = r.control_port;
    for (int i = 0; i < kSocketCount; ++i) {
        d.sockets[i] = socketOf(r.sockets[i]);
        d.remote_sockets[i] = socketOf(r.remote_sockets[i]);
    }
    d.tap_mode = r.radio_flags & 3;
    d.antenna_sel = (r.radio_flags >> 2) & 1;
    d.tx_mute = (r.radio_flags >> 3) & 1;
    d.tx_power_mode = static_cast<uint8_t>(r.radio_flags >> 4);
    d.gst_string_fm2 = textOf(r.gst_string_fm2);
    d.gst_string_fm4 = textOf(r.gst_string_fm4);
    return d;
}

QByteArray encodeConverters(const ConverterConfig& c)
{
    CMD_UART_CONV_CONFIG_t r{};
    for (int i = 0; i < kConverterCount; ++i) {
        const ConverterEntry& e = c.converters[i];
        CONVERTER_ENTRY_t& out = r.converters[i];
        out.conv_word = ((e.baudrate & 0xFFFFFFu) << 8) | kConverterWordPattern | (e.enabled ? 1u : 0u);
        out.self_port = e.self_port;
        out.dest_port = e.dest_port;
        wire::setIpv4(out.dest_addr, e.dest_addr);
    }
    return wire::image(r);
}

ConverterConfig decodeConverters(const QByteArray& rep)
{
    const auto r = wire::from<REP_UART_CONV_CONFIG_t>(rep);
    ConverterConfig c;
    for (int i = 0; i < kConverterCount; ++i) {
        const CONVERTER_ENTRY_t& in = r.converters[i];
        c.converters[i] = { (in.conv_word & 1) != 0, in.conv_word >> 8, in.self_port, in.dest_port,
                            wire::ipv4(in.dest_addr) };
    }
    return c;
}

QByteArray encodeSessionSecret(const SessionSecret& s)
{
    const int length = qMin(s.secret.size(), kSecretCapacity);
    CMD_SESSION_SECRET_t r{};
    r.secret_word = static_cast<uint16_t>((length & kSecretLengthMask) | (s.save ? kSecretSave : 0));
    memcpy(r.secret, s.secret.constData(), static_cast<size_t>(length));
    return wire::image(r, 2 + length);
}

SessionSecret decodeSessionSecret(const QByteArray& rep)
{
    const uint16_t word = wire::from<REP_SESSION_SECRET_t>(rep).secret_word;
    SessionSecret s;
    // mid() stops at the end of the report, so an overstated length reads only the bytes present.
    s.secret = rep.mid(2, word & kSecretLengthMask);
    s.save = (word & kSecretSave) != 0;
    return s;
}

OpMode decodeOpmode(uint8_t opmode)
{
    OpMode m;
    const int code = opmode & 0x1F;
    m.valid = code <= kLastValidCode;
    if (code & kFirstRelayCode) {
        m.mode = (code - kFirstRelayCode) / 3 + kFirstRelayMode;
        m.unit = (code - kFirstRelayCode) % 3;
        m.roles = 3;
    } else {
        m.mode = code >> 1;
        m.unit = code & 1;
        m.roles = 2;
    }
    m.ls = (opmode >> 5) & 3;
    m.hs = opmode >> 7;
    return m;
}

uint8_t encodeOpmode(int mode, int unit, int ls, int hs)
{
    // Selectors with nothing chosen pass -1; % keeps the dividend's sign, as the label expects.
    const int code = mode < kFirstRelayMode ? mode * 2 + unit % 2
                                            : kFirstRelayCode + (mode - kFirstRelayMode) * 3 + unit % 3;
    return static_cast<uint8_t>((((ls * 32) & 0x60) | (hs * 128) | code) & 0xFF);
}

} // namespace records
