#include "recordfields.h"

#include "bytes.h"
#include "opcodenames.h"
#include "protocol.h"
#include "records.h"
#include "status_records.h"

namespace {

constexpr quint32 kSetupBase = 0xFF000000;
constexpr int kHsModulationSize = 2;
constexpr int kSocketCount = 5;

// The payload length below which a record's fields are not shown.
// -1 for an opcode without a record.
int requiredLength(quint16 opcode)
{
    switch (opcode) {
    case REP_SET_HS_CHANNEL_MOD: return kHsModulationSize;
    case REP_ID_STATISTIC: return records::kIdStatisticHeadSize;
    case CMD_SESSION_SECRET:
    case REP_SESSION_SECRET: return 2;
    default: {
        const uchar zero[2] = {0, 0};
        return protocol::payloadLength(opcode, zero);
    }
    }
}

const char* serviceName(quint32 code)
{
    switch (code) {
    case protocol::kServiceReboot: return "reboot";
    case protocol::kServiceDisconnect: return "disconnect";
    case kSetupBase + 1: return "setup-fn1";
    case kSetupBase + 2: return "setup-fn2";
    case kSetupBase + 3: return "setup-fn3";
    case kSetupBase + 0x200: return "setup-hw2";
    case kSetupBase + 0x300: return "setup-hw3";
    default: return nullptr;
    }
}

void versionFields(RecordFields& f, const QByteArray& p)
{
    const VersionInfo v = records::decodeVersion(p);
    f.number("version.major", v.major);
    f.number("version.minor", v.minor);
    f.number("version.revision", v.revision);
    f.hexNumber("version.build", v.build, 8);
    f.hexNumber("version.hardware", v.hardware, 2);
    f.hexNumber("version.function", v.function, 2);
}

void statusFields(RecordFields& f, const QByteArray& p)
{
    const ContStatus s = records::decodeContStatus(p);
    f.number("status.opmode", s.opmode);
    f.number("status.sync", s.sync);
    f.number("status.rssi", s.rssi);
    f.number("status.temp1", s.temp1);
    f.number("status.temp2", s.temp2);
    f.number("status.received", s.received);
    f.number("status.errors", s.errors);
    f.number("status.lost", s.lost);
    f.number("status.sent", s.sent);
    f.number("status.rx_bits", s.rx_bits);
    f.number("status.tx_bits", s.tx_bits);
}

void extendedFields(RecordFields& f, const QByteArray& p)
{
    const ExtendedStatus s = records::decodeExtendedStatus(p);
    f.number("ext.mode", s.mode);
    f.number("ext.role", s.role);
    f.number("ext.spreading", s.spreading);
    f.number("ext.modulation", s.modulation);
    f.hexNumber("ext.flags", s.flags, 2);
    f.number("ext.antenna", s.antenna);
    f.number("ext.tx_power", s.tx_power);
    f.number("ext.rssi", s.rssi);
    f.number("ext.temp1", s.temp1);
    f.number("ext.temp2", s.temp2);
    f.number("ext.received", s.received);
    f.number("ext.errors", s.errors);
    f.number("ext.lost", s.lost);
    f.number("ext.sent", s.sent);
    f.number("ext.rx_bits", s.rx_bits);
    f.number("ext.tx_bits", s.tx_bits);
    f.number("ext.tx_dropped_bits", s.tx_dropped_bits);
}

void idStatisticFields(RecordFields& f, const QByteArray& p)
{
    const IdStatistic s = records::decodeIdStatistic(p);
    // Entries the report announces but does not hold are not shown.
    const int held = (p.size() - records::kIdStatisticHeadSize) / records::kIdStatisticEntrySize;
    const int count = qMin(s.entries.size(), held);
    f.number("idstat.count", s.entries.size());
    f.number("idstat.own_index", s.own_index);
    if (count == 0)
        return;
    const auto column = [&](const char* name, auto value) {
        f.list(name, RecordField::NumberList);
        for (int i = 0; i < count; ++i)
            f.item(value(s.entries.at(i)));
    };
    column("idstat.identifier", [](const IdStatisticEntry& e) { return quint64(e.identifier & 0x0F); });
    column("idstat.rssi", [](const IdStatisticEntry& e) { return quint64(e.rssi); });
    column("idstat.range", [](const IdStatisticEntry& e) { return quint64(e.range); });
    column("idstat.rx_first", [](const IdStatisticEntry& e) { return quint64(e.rx_first); });
    column("idstat.rx_second", [](const IdStatisticEntry& e) { return quint64(e.rx_second); });
    column("idstat.further", [](const IdStatisticEntry& e) { return quint64(e.further); });
}

void socketFields(RecordFields& f, const SocketEntry (&sockets)[kSocketCount], const char* self, const char* destAddr,
                  const char* destPort)
{
    f.list(self, RecordField::NumberList);
    for (const SocketEntry& s : sockets)
        f.item(s.self_port);
    f.list(destAddr, RecordField::TextList);
    for (const SocketEntry& s : sockets)
        f.itemIpv4(s.dest_addr);
    f.list(destPort, RecordField::NumberList);
    for (const SocketEntry& s : sockets)
        f.item(s.dest_port);
}

void defaultsFields(RecordFields& f, const QByteArray& p)
{
    const ModemDefaults d = records::decodeDefaults(p);
    f.number("defaults.opmode", d.opmode);
    f.unsignedNumber("defaults.rx_frequency", d.rx_frequency);
    f.unsignedNumber("defaults.tx_frequency", d.tx_frequency);
    f.ipv4("defaults.ip_addr", d.ip_addr);
    f.number("defaults.prefix", d.prefix);
    f.number("defaults.local_status", d.local_status ? 1 : 0);
    f.ipv4("defaults.gateway", d.gateway);
    f.number("defaults.control_port", d.control_port);
    socketFields(f, d.sockets, "defaults.socket.self_port", "defaults.socket.dest_addr", "defaults.socket.dest_port");
    socketFields(f, d.remote_sockets, "defaults.remote.self_port", "defaults.remote.dest_addr",
                 "defaults.remote.dest_port");
    f.number("defaults.tap_mode", d.tap_mode);
    f.number("defaults.antenna_sel", d.antenna_sel);
    f.number("defaults.tx_mute", d.tx_mute ? 1 : 0);
    f.number("defaults.tx_power_mode", d.tx_power_mode);
    f.text("defaults.gst_fm2", d.gst_string_fm2);
    f.text("defaults.gst_fm4", d.gst_string_fm4);
}

void converterFields(RecordFields& f, const QByteArray& p)
{
    const ConverterConfig c = records::decodeConverters(p);
    f.list("conv.enabled", RecordField::NumberList);
    for (const ConverterEntry& e : c.converters)
        f.item(e.enabled ? 1 : 0);
    f.list("conv.baudrate", RecordField::NumberList);
    for (const ConverterEntry& e : c.converters)
        f.item(e.baudrate);
    f.list("conv.self_port", RecordField::NumberList);
    for (const ConverterEntry& e : c.converters)
        f.item(e.self_port);
    f.list("conv.dest_addr", RecordField::TextList);
    for (const ConverterEntry& e : c.converters)
        f.itemIpv4(e.dest_addr);
    f.list("conv.dest_port", RecordField::NumberList);
    for (const ConverterEntry& e : c.converters)
        f.item(e.dest_port);
}

void serviceFields(RecordFields& f, const QByteArray& p)
{
    const quint32 code = bytes::u32(p, 0);
    f.hexNumber("service.code", code, 8);
    if (const char* name = serviceName(code)) {
        f.text("service", name);
        return;
    }
    // Any other code is a hard reset naming the modem's address.
    f.text("service", "reset");
    f.ipv4("service.address", bytes::ipv4(p, 0));
}

} // namespace

void RecordFields::decode(quint16 opcode, const QByteArray& payload)
{
    clear();
    const int required = requiredLength(opcode);
    if (required < 0 || payload.size() < required)
        return;
    RecordFields& f = *this;
    switch (opcode) {
    case CMD_GET_REPORT: f.text("report", opcodenames::name(bytes::u16(payload, 0)).toLatin1()); break;
    case REP_UNSUPPORTED: f.text("unsupported", opcodenames::name(bytes::u16(payload, 0)).toLatin1()); break;
    case CMD_TX_FREQUENCY:
    case CMD_RX_FREQUENCY:
    case REP_TX_FREQUENCY:
    case REP_RX_FREQUENCY: f.unsignedNumber("frequency", records::decodeFrequency(payload).frequency); break;
    case CMD_ANTENNA_SEL:
    case REP_ANTENNA_SEL: f.number("antenna", bytes::u8(payload, 0)); break;
    case CMD_SET_TX_MODE:
    case REP_SET_TX_MODE: f.number("tx_off", bytes::u8(payload, 0)); break;
    case CMD_TX_POWER_MODE:
    case REP_TX_POWER_MODE: f.number("tx_power", bytes::u8(payload, 0)); break;
    case CMD_SET_HS_CHANNEL_MOD:
    case REP_SET_HS_CHANNEL_MOD: f.number("hs_modulation", bytes::u16(payload, 0)); break;
    case CMD_SWITCH_RETR_MODE_ID:
    case CMD_SWITCH_RETR_RECV_MODE_ID: f.number("relay_id", bytes::u8(payload, 0)); break;
    case CMD_REBOOT_DEVICE: serviceFields(f, payload); break;
    case REP_REBOOT_DEVICE: f.hexNumber("service.code", bytes::u32(payload, 0), 8); break;
    case CMD_DEFAULTS_SET:
    case REP_DEFAULTS_SET: defaultsFields(f, payload); break;
    case CMD_UART_CONV_CONFIG:
    case REP_UART_CONV_CONFIG: converterFields(f, payload); break;
    case CMD_SESSION_SECRET:
    case REP_SESSION_SECRET: {
        const SessionSecret s = records::decodeSessionSecret(payload);
        f.number("secret.length", s.secret.size());
        f.number("secret.save", s.save ? 1 : 0);
        break;
    }
    case REP_VERSION: versionFields(f, payload); break;
    case REP_CONT_STATUS: statusFields(f, payload); break;
    case REP_EXTENDED_STATUS: extendedFields(f, payload); break;
    case REP_ID_STATISTIC: idStatisticFields(f, payload); break;
    case REP_PARAMETERS: {
        const ModemParameters m = records::decodeParameters(payload);
        f.unsignedNumber("params.lowest", m.lowest);
        f.unsignedNumber("params.highest", m.highest);
        f.unsignedNumber("params.step", m.step);
        break;
    }
    default: break;
    }
}

QByteArray RecordFields::find(const char* name) const
{
    for (const RecordField& field : m_fields) {
        if (qstrcmp(field.name, name) == 0)
            return valueBytes(field);
    }
    return {};
}

void RecordFields::clear()
{
    m_fields.resize(0);
    // Keeps the buffer: a reserved QByteArray is not freed when resized to 0.
    if (m_values.capacity() == 0)
        m_values.reserve(4096);
    m_values.resize(0);
}

void RecordFields::begin(const char* name, RecordField::Kind kind)
{
    RecordField field;
    field.name = name;
    field.kind = kind;
    field.begin = m_values.size();
    m_fields.append(field);
}

void RecordFields::end() { m_fields.last().length = m_values.size() - m_fields.last().begin; }

void RecordFields::appendUnsigned(quint64 value)
{
    char digits[24];
    char* p = digits + sizeof digits;
    do {
        *--p = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    m_values.append(p, int(digits + sizeof digits - p));
}

void RecordFields::appendIpv4(quint32 hostOrder)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        appendUnsigned((hostOrder >> shift) & 0xFF);
        if (shift > 0)
            m_values.append('.');
    }
}

void RecordFields::number(const char* name, qint64 value)
{
    begin(name, RecordField::Number);
    if (value < 0)
        m_values.append('-');
    appendUnsigned(value < 0 ? 0 - quint64(value) : quint64(value));
    end();
}

void RecordFields::unsignedNumber(const char* name, quint64 value)
{
    begin(name, RecordField::Number);
    appendUnsigned(value);
    end();
}

void RecordFields::hexNumber(const char* name, quint64 value, int digits)
{
    static const char kHex[] = "0123456789abcdef";
    begin(name, RecordField::Text);
    m_values.append("0x");
    for (int i = digits - 1; i >= 0; --i)
        m_values.append(kHex[(value >> (4 * i)) & 0xF]);
    end();
}

void RecordFields::text(const char* name, const QByteArray& value)
{
    begin(name, RecordField::Text);
    m_values.append(value);
    end();
}

void RecordFields::ipv4(const char* name, quint32 hostOrder)
{
    begin(name, RecordField::Text);
    appendIpv4(hostOrder);
    end();
}

void RecordFields::list(const char* name, RecordField::Kind kind) { begin(name, kind); }

void RecordFields::item(quint64 value)
{
    if (m_values.size() > m_fields.last().begin)
        m_values.append(',');
    appendUnsigned(value);
    end();
}

void RecordFields::itemIpv4(quint32 hostOrder)
{
    if (m_values.size() > m_fields.last().begin)
        m_values.append(',');
    appendIpv4(hostOrder);
    end();
}
