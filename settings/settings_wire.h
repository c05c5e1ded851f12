#pragma once
// The modem's stored settings exactly as they lie on the wire: defaults record, UART converters
// and session secret, packed, little-endian, at fixed offsets. The codecs of records.h fill them.

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct SOCKET_ENTRY_t {
    uint16_t self_port;
    uint16_t dest_port;
    uint8_t dest_addr[4]; // network order
};
static_assert(sizeof(SOCKET_ENTRY_t) == 8);
static_assert(offsetof(SOCKET_ENTRY_t, dest_port) == 2 && offsetof(SOCKET_ENTRY_t, dest_addr) == 4);

struct CMD_DEFAULTS_SET_t {
    uint8_t opmode; // bits 0-4 mode code, 5-6 low-speed channel, 7 high-speed modulation
    uint64_t rx_frequency;
    uint64_t tx_frequency;
    uint8_t ip_addr[4]; // network order
    uint8_t prefix;     // bits 0-6 prefix length, bit 7 local_status
    uint8_t gateway[4];
    uint16_t control_port;
    uint8_t reserved1[4];
    uint8_t reserved2[8];
    SOCKET_ENTRY_t sockets[5];
    uint8_t reserved3[8];
    SOCKET_ENTRY_t remote_sockets[5];
    uint32_t radio_flags; // bits 0-1 tap_mode, 2 antenna_sel, 3 tx_mute, 4-11 tx_power_mode
    char gst_string_fm2[512]; // UTF-8, NUL-padded; a full field has no NUL
    char gst_string_fm4[512];
};
static_assert(sizeof(CMD_DEFAULTS_SET_t) == 1156);
static_assert(offsetof(CMD_DEFAULTS_SET_t, rx_frequency) == 1 && offsetof(CMD_DEFAULTS_SET_t, tx_frequency) == 9
              && offsetof(CMD_DEFAULTS_SET_t, ip_addr) == 17 && offsetof(CMD_DEFAULTS_SET_t, prefix) == 21
              && offsetof(CMD_DEFAULTS_SET_t, gateway) == 22 && offsetof(CMD_DEFAULTS_SET_t, control_port) == 26
              && offsetof(CMD_DEFAULTS_SET_t, sockets) == 40 && offsetof(CMD_DEFAULTS_SET_t, remote_sockets) == 88
              && offsetof(CMD_DEFAULTS_SET_t, radio_flags) == 128 && offsetof(CMD_DEFAULTS_SET_t, gst_string_fm2) == 132
              && offsetof(CMD_DEFAULTS_SET_t, gst_string_fm4) == 644);
using REP_DEFAULTS_SET_t = CMD_DEFAULTS_SET_t;

struct CONVERTER_ENTRY_t {
    uint32_t conv_word; // bit 0 enabled, bits 1-7 0x60 on send, bits 8-31 baud rate
    uint16_t self_port;
    uint16_t dest_port;
    uint8_t dest_addr[4]; // network order
};
static_assert(sizeof(CONVERTER_ENTRY_t) == 12);
static_assert(offsetof(CONVERTER_ENTRY_t, self_port) == 4 && offsetof(CONVERTER_ENTRY_t, dest_addr) == 8);

struct CMD_UART_CONV_CONFIG_t {
    CONVERTER_ENTRY_t converters[4];
    uint8_t reserved[80];
};
static_assert(sizeof(CMD_UART_CONV_CONFIG_t) == 128);
static_assert(offsetof(CMD_UART_CONV_CONFIG_t, reserved) == 48);
using REP_UART_CONV_CONFIG_t = CMD_UART_CONV_CONFIG_t;

// Only the word and secret_length secret bytes go on the wire.
struct CMD_SESSION_SECRET_t {
    uint16_t secret_word; // bits 0-11 secret_length, bit 15 save
    uint8_t secret[1022];
};
static_assert(sizeof(CMD_SESSION_SECRET_t) == 1024);
static_assert(offsetof(CMD_SESSION_SECRET_t, secret) == 2);
using REP_SESSION_SECRET_t = CMD_SESSION_SECRET_t;

#pragma pack(pop)
