#pragma once
// The modem's status, band-plan, frequency and radio control records exactly as they lie on
// the wire: packed, little-endian, at fixed offsets. The codecs of status_records.h fill them.

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct REP_VERSION_t {
    uint16_t major;
    uint8_t minor;
    uint8_t revision;
    uint32_t build;
    uint8_t hardware;
    uint8_t function;
    uint8_t reserved[2];
};
static_assert(sizeof(REP_VERSION_t) == 12);
static_assert(offsetof(REP_VERSION_t, build) == 4 && offsetof(REP_VERSION_t, hardware) == 8
              && offsetof(REP_VERSION_t, reserved) == 10);

struct REP_CONT_STATUS_t {
    uint8_t opmode;
    uint8_t sync;
    uint8_t rssi;
    int8_t temp1;
    int8_t temp2;
    uint16_t received;
    uint16_t errors;
    uint16_t lost;
    uint16_t sent;
    int32_t rx_bits;
    uint8_t reserved1[4];
    int32_t tx_bits;
    uint8_t reserved2[4];
};
static_assert(sizeof(REP_CONT_STATUS_t) == 29);
static_assert(offsetof(REP_CONT_STATUS_t, received) == 5 && offsetof(REP_CONT_STATUS_t, sent) == 11
              && offsetof(REP_CONT_STATUS_t, rx_bits) == 13 && offsetof(REP_CONT_STATUS_t, tx_bits) == 21);

struct REP_EXTENDED_STATUS_t {
    uint8_t mode;
    uint8_t role;
    uint8_t spreading;
    uint8_t modulation;
    uint8_t flags;
    uint8_t reserved1[3];
    uint8_t antenna;
    uint8_t tx_power;
    uint8_t reserved2[6];
    uint16_t rssi; // hundredths of a dB
    uint8_t reserved3[6];
    int16_t temp1; // x100
    int16_t temp2; // x100
    uint8_t reserved4[20];
    uint16_t received;
    uint16_t errors;
    uint16_t lost;
    uint16_t sent;
    int32_t rx_bits;
    uint8_t reserved5[4];
    int32_t tx_bits;
    uint8_t reserved6[4];
    int32_t tx_dropped_bits;
    uint8_t reserved7[60];
};
static_assert(sizeof(REP_EXTENDED_STATUS_t) == 136);
static_assert(offsetof(REP_EXTENDED_STATUS_t, antenna) == 8 && offsetof(REP_EXTENDED_STATUS_t, rssi) == 16
              && offsetof(REP_EXTENDED_STATUS_t, temp1) == 24 && offsetof(REP_EXTENDED_STATUS_t, received) == 48
              && offsetof(REP_EXTENDED_STATUS_t, rx_bits) == 56 && offsetof(REP_EXTENDED_STATUS_t, tx_bits) == 64
              && offsetof(REP_EXTENDED_STATUS_t, tx_dropped_bits) == 72);

struct REP_ID_STATISTIC_ENTRY_t {
    uint8_t identifier; // low 4 bits used
    uint8_t reserved1[3];
    uint16_t rssi;
    uint8_t reserved2[2];
    uint32_t range;
    uint16_t rx_first;
    uint16_t rx_second;
    uint32_t further;
};
static_assert(sizeof(REP_ID_STATISTIC_ENTRY_t) == 20);
static_assert(offsetof(REP_ID_STATISTIC_ENTRY_t, rssi) == 4 && offsetof(REP_ID_STATISTIC_ENTRY_t, range) == 8
              && offsetof(REP_ID_STATISTIC_ENTRY_t, rx_second) == 14 && offsetof(REP_ID_STATISTIC_ENTRY_t, further) == 16);

// The 16-byte head and room for the most entries a one-byte count can name; a report holds `count`.
struct REP_ID_STATISTIC_t {
    uint8_t count;
    uint8_t own_index;
    uint8_t reserved[14];
    REP_ID_STATISTIC_ENTRY_t entries[255];
};
static_assert(sizeof(REP_ID_STATISTIC_t) == 16 + 20 * 255);
static_assert(offsetof(REP_ID_STATISTIC_t, own_index) == 1 && offsetof(REP_ID_STATISTIC_t, entries) == 16);

struct REP_PARAMETERS_t {
    uint64_t lowest; // Hz
    uint64_t highest;
    uint32_t step;
    uint8_t reserved[1004];
};
static_assert(sizeof(REP_PARAMETERS_t) == 1024);
static_assert(offsetof(REP_PARAMETERS_t, highest) == 8 && offsetof(REP_PARAMETERS_t, step) == 16);

// Transmit and receive frequency, requested and reported alike.
struct REP_RX_FREQUENCY_t {
    uint64_t frequency; // Hz
};
static_assert(sizeof(REP_RX_FREQUENCY_t) == 8);
using REP_TX_FREQUENCY_t = REP_RX_FREQUENCY_t;
using CMD_RX_FREQUENCY_t = REP_RX_FREQUENCY_t;
using CMD_TX_FREQUENCY_t = REP_RX_FREQUENCY_t;

struct CMD_ANTENNA_SEL_t {
    uint8_t antenna; // 0 sector, 1 omnidirectional
};
static_assert(sizeof(CMD_ANTENNA_SEL_t) == 1);
using REP_ANTENNA_SEL_t = CMD_ANTENNA_SEL_t;

struct CMD_SET_TX_MODE_t {
    uint8_t tx_off; // 1: transmitter off
};
static_assert(sizeof(CMD_SET_TX_MODE_t) == 1);
using REP_SET_TX_MODE_t = CMD_SET_TX_MODE_t;

struct CMD_TX_POWER_MODE_t {
    uint8_t percent;
};
static_assert(sizeof(CMD_TX_POWER_MODE_t) == 1);
using REP_TX_POWER_MODE_t = CMD_TX_POWER_MODE_t;

struct CMD_SET_HS_CHANNEL_MOD_t {
    uint16_t modulation; // 0 FM2, otherwise FM4
};
static_assert(sizeof(CMD_SET_HS_CHANNEL_MOD_t) == 2);
using REP_SET_HS_CHANNEL_MOD_t = CMD_SET_HS_CHANNEL_MOD_t;

struct CMD_SWITCH_RETR_MODE_ID_t {
    uint8_t relay_id;
};
static_assert(sizeof(CMD_SWITCH_RETR_MODE_ID_t) == 1);
using CMD_SWITCH_RETR_RECV_MODE_ID_t = CMD_SWITCH_RETR_MODE_ID_t;

#pragma pack(pop)
