#pragma once
// Frame layout and opcode table of the modem control protocol.
// Plain functions over byte buffers, shared by the station, its tests and the simulator.

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <cstdint>

enum OPCODE : quint16 {
    CMD_GET_REPORT = 0x0000,
    CMD_TX_FREQUENCY = 0x0101,
    CMD_RX_FREQUENCY = 0x0102,
    CMD_ANTENNA_SEL = 0x0103,
    CMD_DEFAULTS_SET = 0x0104,
    CMD_REBOOT_DEVICE = 0x0105,
    CMD_SET_TX_MODE = 0x0106,
    CMD_SWITCH_RETR_MODE_ID = 0x0107,
    CMD_SWITCH_RETR_RECV_MODE_ID = 0x0108,
    CMD_UART_CONV_CONFIG = 0x010B,
    CMD_SESSION_SECRET = 0x010D,
    CMD_TX_POWER_MODE = 0x010E,
    CMD_SET_HS_CHANNEL_MOD = 0x010F,

    REP_UNSUPPORTED = 0x8000,
    REP_TX_FREQUENCY = 0x8101,
    REP_RX_FREQUENCY = 0x8102,
    REP_ANTENNA_SEL = 0x8103,
    REP_DEFAULTS_SET = 0x8104,
    REP_REBOOT_DEVICE = 0x8105,
    REP_SET_TX_MODE = 0x8106,
    REP_VERSION = 0x8107,
    REP_CONT_STATUS = 0x8108,
    REP_PARAMETERS = 0x8109,
    REP_EXTENDED_STATUS = 0x810A,
    REP_UART_CONV_CONFIG = 0x810B,
    REP_ID_STATISTIC = 0x810C,
    REP_SESSION_SECRET = 0x810D,
    REP_TX_POWER_MODE = 0x810E,
    REP_SET_HS_CHANNEL_MOD = 0x810F,
};
Q_DECLARE_METATYPE(OPCODE)

namespace protocol {

constexpr quint16 kSignature = 0xFF01;
constexpr int kHeaderSize = 6;
constexpr int kPayloadSize = 1160;
constexpr int kDefaultsRecordSize = 1156;
constexpr int kContStatusSize = 29;
constexpr quint16 kDefaultControlPort = 40005;

// Service codes carried by CMD_REBOOT_DEVICE.
constexpr quint32 kServiceDisconnect = 0xCCCCCCCC;
constexpr quint32 kServiceReboot = 0xDDDDDDDD;

} // namespace protocol

// Payload handed to the send operation; zero-filled on construction so bytes past a record are 0.
struct OP_PAYLOAD_t {
    uint8_t bytes[protocol::kPayloadSize] = {};
};

namespace protocol {

// Payload length L of an opcode: from the table, or from the first word for the session secret.
// -1 when the opcode has no length entry. May exceed kPayloadSize for a session-secret word.
int payloadLength(quint16 opcode, const uint8_t* payload);

bool isSessionSecretOpcode(quint16 opcode);

// A zero-filled payload holding `record` at offset 0 (cut to the buffer's size).
OP_PAYLOAD_t payloadFrom(const QByteArray& record);

// 6 + L bytes, seqnum 0; empty when the opcode has no entry or L exceeds the payload buffer.
QByteArray buildFrame(quint16 opcode, const OP_PAYLOAD_t& payload);

// Frame with an explicit seqnum and payload bytes, as a modem would send it.
QByteArray buildReport(quint16 opcode, quint16 seqnum, const QByteArray& payload);

struct FrameHeader {
    quint16 signature = 0;
    quint16 seqnum = 0;
    quint16 opcode = 0;
};

// Header words of a datagram; words the datagram does not hold read as 0.
FrameHeader parseHeader(const QByteArray& datagram);

// A datagram is a frame when it holds the whole header and starts with the signature.
bool isFrame(const QByteArray& datagram);

// Payload after the header (empty for a datagram shorter than the header).
QByteArray payloadOf(const QByteArray& datagram);

// Four lower-case hex digits, as opcodes print in the traffic lines.
QString hex4(quint16 value);

} // namespace protocol
