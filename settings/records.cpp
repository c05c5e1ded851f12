#include "records.h"

#include "bytes.h"

#include <QtGlobal>
#include <cstring>

namespace records {

namespace {

constexpr int kOpmode = 0;
constexpr int kRxFrequency = 1;
constexpr int kTxFrequency = 9;
constexpr int kIpAddr = 17;
constexpr int kPrefix = 21;
constexpr int kGateway = 22;
constexpr int kControlPort = 26;
constexpr int kSockets = 40;
constexpr int kRemoteSockets = 88;
constexpr int kRadioFlags = 128;
constexpr int kGstFm2 = 132;
constexpr int kGstFm4 = 644;
constexpr int kSocketEntrySize = 8;
constexpr int kSocketCount = 5;

constexpr int kConverterEntrySize = 12;
constexpr int kConverterCount = 4;
// Bits 1-7 of a converter word: the modem expects this pattern, whatever it means to it.
constexpr uint32_t kConverterWordPattern = 0x60;

constexpr uint16_t kSecretLengthMask = 0x0FFF;
constexpr uint16_t kSecretSave = 0x8000;

// Relay modes (8 and up) have three roles and their codes start at 16.
constexpr int kFirstRelayMode = 8;
constexpr int kFirstRelayCode = 16;
constexpr int kLastValidCode = 27;

void putSocket(uint8_t* p, const SocketEntry& s)
{
    bytes::put16(p, s.self_port);
    bytes::put16(p + 2, s.dest_port);
    bytes::putIpv4(p + 4, s.dest_addr);
}

SocketEntry socketAt(const QByteArray& rep, int off)
{
    SocketEntry s;
    s.self_port = bytes::u16(rep, off);
    s.dest_port = bytes::u16(rep, off + 2);
    s.dest_addr = bytes::ipv4(rep, off + 4);
    return s;
}

// The text fills the field from its start; a full field carries no NUL.
void putText(uint8_t* p, const QByteArray& text)
{
    memcpy(p, text.constData(), static_cast<size_t>(qMin(text.size(), kGstStringSize)));
}

// The bytes before the first NUL of the field, or the whole field; only what the report holds.
QByteArray textAt(const QByteArray& rep, int off)
{
    const QByteArray field = rep.mid(off, kGstStringSize);
    const int nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

} // namespace

QByteArray encodeDefaults(const ModemDefaults& d)
{
    bytes::Record r(kDefaultsSize);
    bytes::put8(r.at(kOpmode), d.opmode);
    bytes::put64(r.at(kRxFrequency), d.rx_frequency);
    bytes::put64(r.at(kTxFrequency), d.tx_frequency);
    bytes::putIpv4(r.at(kIpAddr), d.ip_addr);
    bytes::put8(r.at(kPrefix), static_cast<uint8_t>((d.prefix & 0x7F) | (d.local_status ? 0x80 : 0)));
    bytes::putIpv4(r.at(kGateway), d.gateway);
    bytes::put16(r.at(kControlPort), d.control_port);
    for (int i = 0; i < kSocketCount; ++i) {
        putSocket(r.at(kSockets + kSocketEntrySize * i), d.sockets[i]);
        putSocket(r.at(kRemoteSockets + kSocketEntrySize * i), d.remote_sockets[i]);
    }
    const uint32_t radioFlags = (d.tap_mode & 3u) | ((d.antenna_sel & 1u) << 2)
        | (d.tx_mute ? 1u << 3 : 0u) | (static_cast<uint32_t>(d.tx_power_mode) << 4);
    bytes::put32(r.at(kRadioFlags), radioFlags);
    putText(r.at(kGstFm2), d.gst_string_fm2);
    putText(r.at(kGstFm4), d.gst_string_fm4);
    return r.bytes;
}

ModemDefaults decodeDefaults(const QByteArray& rep)
{
    ModemDefaults d;
    d.opmode = bytes::u8(rep, kOpmode);
    d.rx_frequency = bytes::u64(rep, kRxFrequency);
    d.tx_frequency = bytes::u64(rep, kTxFrequency);
    d.ip_addr = bytes::ipv4(rep, kIpAddr);
    const uint8_t prefix = bytes::u8(rep, kPrefix);
    d.prefix = prefix & 0x7F;
    d.local_status = (prefix & 0x80) != 0;
    d.gateway = bytes::ipv4(rep, kGateway);
    d.control_port = bytes::u16(rep, kControlPort);
    for (int i = 0; i < kSocketCount; ++i) {
        d.sockets[i] = socketAt(rep, kSockets + kSocketEntrySize * i);
        d.remote_sockets[i] = socketAt(rep, kRemoteSockets + kSocketEntrySize * i);
    }
    const uint32_t radioFlags = bytes::u32(rep, kRadioFlags);
    d.tap_mode = radioFlags & 3;
    d.antenna_sel = (radioFlags >> 2) & 1;
    d.tx_mute = (radioFlags >> 3) & 1;
    d.tx_power_mode = static_cast<uint8_t>(radioFlags >> 4);
    d.gst_string_fm2 = textAt(rep, kGstFm2);
    d.gst_string_fm4 = textAt(rep, kGstFm4);
    return d;
}

QByteArray encodeConverters(const ConverterConfig& c)
{
    bytes::Record r(kConverterConfigSize);
    for (int i = 0; i < kConverterCount; ++i) {
        const ConverterEntry& e = c.converters[i];
        uint8_t* p = r.at(kConverterEntrySize * i);
        bytes::put32(p, ((e.baudrate & 0xFFFFFFu) << 8) | kConverterWordPattern | (e.enabled ? 1u : 0u));
        bytes::put16(p + 4, e.self_port);
        bytes::put16(p + 6, e.dest_port);
        bytes::putIpv4(p + 8, e.dest_addr);
    }
    return r.bytes;
}

ConverterConfig decodeConverters(const QByteArray& rep)
{
    ConverterConfig c;
    for (int i = 0; i < kConverterCount; ++i) {
        const int at = kConverterEntrySize * i;
        const uint32_t word = bytes::u32(rep, at);
        ConverterEntry& e = c.converters[i];
        e.enabled = (word & 1) != 0;
        e.baudrate = word >> 8;
        e.self_port = bytes::u16(rep, at + 4);
        e.dest_port = bytes::u16(rep, at + 6);
        e.dest_addr = bytes::ipv4(rep, at + 8);
    }
    return c;
}

QByteArray encodeSessionSecret(const SessionSecret& s)
{
    const int length = qMin(s.secret.size(), kSecretCapacity);
    bytes::Record r(2 + length);
    bytes::put16(r.at(0), static_cast<uint16_t>((length & kSecretLengthMask) | (s.save ? kSecretSave : 0)));
    memcpy(r.at(2), s.secret.constData(), static_cast<size_t>(length));
    return r.bytes;
}

SessionSecret decodeSessionSecret(const QByteArray& rep)
{
    SessionSecret s;
    const uint16_t word = bytes::u16(rep, 0);
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
