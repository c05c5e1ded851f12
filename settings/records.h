#pragma once
// The modem's stored settings: defaults record, UART converters, session secret and the mode byte.
// Typed records with codecs to and from their packed little-endian wire images.

#include <QByteArray>
#include <QMetaType>
#include <cstdint>

struct SocketEntry {
    uint16_t self_port = 0;
    uint16_t dest_port = 0;
    uint32_t dest_addr = 0; // host-order number; 192.168.11.205 is 0xC0A80BCD
};

struct ModemDefaults {
    uint8_t opmode = 0;
    uint64_t rx_frequency = 0;
    uint64_t tx_frequency = 0;
    uint32_t ip_addr = 0;
    uint8_t prefix = 0; // 7 bits
    bool local_status = false;
    uint32_t gateway = 0;
    uint16_t control_port = 40005;
    SocketEntry sockets[5];
    SocketEntry remote_sockets[5];
    uint8_t tap_mode = 0; // 2 bits
    uint8_t antenna_sel = 0; // 1 bit
    bool tx_mute = false;
    uint8_t tx_power_mode = 0;
    QByteArray gst_string_fm2; // up to 512 bytes, no NUL
    QByteArray gst_string_fm4;
};
Q_DECLARE_METATYPE(ModemDefaults)

struct ConverterEntry {
    bool enabled = false;
    uint32_t baudrate = 0; // 24 bits
    uint16_t self_port = 0;
    uint16_t dest_port = 0;
    uint32_t dest_addr = 0; // host-order number
};

struct ConverterConfig {
    ConverterEntry converters[4];
};
Q_DECLARE_METATYPE(ConverterConfig)

struct SessionSecret {
    bool save = false;
    QByteArray secret; // at most kSecretCapacity bytes go on the wire
};
Q_DECLARE_METATYPE(SessionSecret)

// The opmode byte split into its selections.
struct OpMode {
    bool valid = false; // code <= 27
    int mode = 0;       // 0..11 when valid
    int unit = 0;       // role within the mode
    int roles = 2;      // 2 for modes 0..7, 3 for relay modes
    int ls = 0;         // low-speed channel index, bits 5..6
    int hs = 0;         // high-speed modulation index, bit 7
};

namespace records {

constexpr int kDefaultsSize = 1156;
constexpr int kGstStringSize = 512;
constexpr int kConverterConfigSize = 128;
constexpr int kSecretRecordSize = 1024;
constexpr int kSecretCapacity = 1022;

QByteArray encodeDefaults(const ModemDefaults& d);      // 1156 bytes
ModemDefaults decodeDefaults(const QByteArray& rep);

QByteArray encodeConverters(const ConverterConfig& c); // 128 bytes
ConverterConfig decodeConverters(const QByteArray& rep);

// Word (length | save << 15) and the secret bytes: secret_length + 2 bytes.
QByteArray encodeSessionSecret(const SessionSecret& s);
// Reads at most the bytes the report holds, whatever its length word says.
SessionSecret decodeSessionSecret(const QByteArray& rep);

OpMode decodeOpmode(uint8_t opmode);
// Code from mode and unit (unit mod 2 below mode 8, mod 3 from mode 8), ls and hs bits; 8 bits.
uint8_t encodeOpmode(int mode, int unit, int ls, int hs);

} // namespace records
