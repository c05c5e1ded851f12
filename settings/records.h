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

struct CMD_DEFAULTS_SET_t {
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
using REP_DEFAULTS_SET_t = CMD_DEFAULTS_SET_t;
Q_DECLARE_METATYPE(CMD_DEFAULTS_SET_t)

struct ConverterEntry {
    bool enabled = false;
    uint32_t baudrate = 0; // 24 bits
    uint16_t self_port = 0;
    uint16_t dest_port = 0;
    uint32_t dest_addr = 0; // host-order number
};

struct CMD_UART_CONV_CONFIG_t {
    ConverterEntry converters[4];
};
using REP_UART_CONV_CONFIG_t = CMD_UART_CONV_CONFIG_t;
Q_DECLARE_METATYPE(CMD_UART_CONV_CONFIG_t)

struct CMD_SESSION_SECRET_t {
    bool save = false;
    QByteArray secret; // at most kSecretCapacity bytes go on the wire
};
using REP_SESSION_SECRET_t = CMD_SESSION_SECRET_t;
Q_DECLARE_METATYPE(CMD_SESSION_SECRET_t)

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

QByteArray encodeDefaults(const CMD_DEFAULTS_SET_t& d);      // 1156 bytes
CMD_DEFAULTS_SET_t decodeDefaults(const QByteArray& rep);

QByteArray encodeConverters(const CMD_UART_CONV_CONFIG_t& c); // 128 bytes
CMD_UART_CONV_CONFIG_t decodeConverters(const QByteArray& rep);

// Word (length | save << 15) and the secret bytes: secret_length + 2 bytes.
QByteArray encodeSessionSecret(const CMD_SESSION_SECRET_t& s);
// Reads at most the bytes the report holds, whatever its length word says.
CMD_SESSION_SECRET_t decodeSessionSecret(const QByteArray& rep);

OpMode decodeOpmode(uint8_t opmode);
// Code from mode and unit (unit mod 2 below mode 8, mod 3 from mode 8), ls and hs bits; 8 bits.
uint8_t encodeOpmode(int mode, int unit, int ls, int hs);

} // namespace records
