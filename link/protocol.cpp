#include "protocol.h"

#include "bytes.h"

namespace protocol {

bool isSessionSecretOpcode(quint16 opcode)
{
    return opcode == CMD_SESSION_SECRET || opcode == REP_SESSION_SECRET;
}

int payloadLength(quint16 opcode, const uint8_t* payload)
{
    switch (opcode) {
    case CMD_GET_REPORT: return 2;
    case CMD_TX_FREQUENCY: return 8;
    case CMD_RX_FREQUENCY: return 8;
    case CMD_ANTENNA_SEL: return 1;
    case CMD_DEFAULTS_SET: return kDefaultsRecordSize;
    case CMD_REBOOT_DEVICE: return 4;
    case CMD_SET_TX_MODE: return 1;
    case CMD_SWITCH_RETR_MODE_ID: return 1;
    case CMD_SWITCH_RETR_RECV_MODE_ID: return 1;
    case CMD_UART_CONV_CONFIG: return 128;
    case CMD_TX_POWER_MODE: return 1;
    case CMD_SET_HS_CHANNEL_MOD: return 2;
    case REP_UNSUPPORTED: return 2;
    case REP_TX_FREQUENCY: return 8;
    case REP_RX_FREQUENCY: return 8;
    case REP_ANTENNA_SEL: return 1;
    case REP_DEFAULTS_SET: return kDefaultsRecordSize;
    case REP_REBOOT_DEVICE: return 4;
    case REP_SET_TX_MODE: return 1;
    case REP_VERSION: return 12;
    case REP_CONT_STATUS: return kContStatusSize;
    case REP_PARAMETERS: return 1024;
    case REP_EXTENDED_STATUS: return 136;
    case REP_UART_CONV_CONFIG: return 128;
    case REP_ID_STATISTIC: return 16;
    case REP_TX_POWER_MODE: return 1;
    case CMD_SESSION_SECRET:
    case REP_SESSION_SECRET: {
        const uint16_t word = static_cast<uint16_t>(payload[0] | (payload[1] << 8));
        return (word & 0x0FFF) + 2;
    }
    default: return -1;
    }
}

OP_PAYLOAD_t payloadFrom(const QByteArray& record)
{
    OP_PAYLOAD_t payload;
    memcpy(payload.bytes, record.constData(), static_cast<size_t>(qMin(record.size(), kPayloadSize)));
    return payload;
}

QByteArray buildFrame(quint16 opcode, const OP_PAYLOAD_t& payload)
{
    const int length = payloadLength(opcode, payload.bytes);
    if (length < 0 || length > kPayloadSize)
        return {};
    QByteArray frame(kHeaderSize + length, '\0');
    auto* p = reinterpret_cast<uint8_t*>(frame.data());
    bytes::put16(p, kSignature);
    bytes::put16(p + 2, 0);
    bytes::put16(p + 4, opcode);
    memcpy(p + kHeaderSize, payload.bytes, static_cast<size_t>(length));
    return frame;
}

QByteArray buildReport(quint16 opcode, quint16 seqnum, const QByteArray& payload)
{
    QByteArray frame(kHeaderSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(frame.data());
    bytes::put16(p, kSignature);
    bytes::put16(p + 2, seqnum);
    bytes::put16(p + 4, opcode);
    return frame + payload;
}

FrameHeader parseHeader(const QByteArray& datagram)
{
    FrameHeader h;
    h.signature = bytes::u16(datagram, 0);
    h.seqnum = bytes::u16(datagram, 2);
    h.opcode = bytes::u16(datagram, 4);
    return h;
}

bool isFrame(const QByteArray& datagram)
{
    return datagram.size() >= kHeaderSize && bytes::u16(datagram, 0) == kSignature;
}

QByteArray payloadOf(const QByteArray& datagram)
{
    return datagram.size() > kHeaderSize ? datagram.mid(kHeaderSize) : QByteArray();
}

QString hex4(quint16 value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

} // namespace protocol
