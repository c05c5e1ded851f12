#include "opcodenames.h"

#include "protocol.h"

namespace {

struct Entry {
    quint16 opcode;
    const char* name;
};

constexpr Entry kNames[] = {
    {CMD_GET_REPORT, "CMD_GET_REPORT"},
    {CMD_TX_FREQUENCY, "CMD_TX_FREQUENCY"},
    {CMD_RX_FREQUENCY, "CMD_RX_FREQUENCY"},
    {CMD_ANTENNA_SEL, "CMD_ANTENNA_SEL"},
    {CMD_DEFAULTS_SET, "CMD_DEFAULTS_SET"},
    {CMD_REBOOT_DEVICE, "CMD_REBOOT_DEVICE"},
    {CMD_SET_TX_MODE, "CMD_SET_TX_MODE"},
    {CMD_SWITCH_RETR_MODE_ID, "CMD_SWITCH_RETR_MODE_ID"},
    {CMD_SWITCH_RETR_RECV_MODE_ID, "CMD_SWITCH_RETR_RECV_MODE_ID"},
    {CMD_UART_CONV_CONFIG, "CMD_UART_CONV_CONFIG"},
    {CMD_SESSION_SECRET, "CMD_SESSION_SECRET"},
    {CMD_TX_POWER_MODE, "CMD_TX_POWER_MODE"},
    {CMD_SET_HS_CHANNEL_MOD, "CMD_SET_HS_CHANNEL_MOD"},
    {REP_UNSUPPORTED, "REP_UNSUPPORTED"},
    {REP_TX_FREQUENCY, "REP_TX_FREQUENCY"},
    {REP_RX_FREQUENCY, "REP_RX_FREQUENCY"},
    {REP_ANTENNA_SEL, "REP_ANTENNA_SEL"},
    {REP_DEFAULTS_SET, "REP_DEFAULTS_SET"},
    {REP_REBOOT_DEVICE, "REP_REBOOT_DEVICE"},
    {REP_SET_TX_MODE, "REP_SET_TX_MODE"},
    {REP_VERSION, "REP_VERSION"},
    {REP_CONT_STATUS, "REP_CONT_STATUS"},
    {REP_PARAMETERS, "REP_PARAMETERS"},
    {REP_EXTENDED_STATUS, "REP_EXTENDED_STATUS"},
    {REP_UART_CONV_CONFIG, "REP_UART_CONV_CONFIG"},
    {REP_ID_STATISTIC, "REP_ID_STATISTIC"},
    {REP_SESSION_SECRET, "REP_SESSION_SECRET"},
    {REP_TX_POWER_MODE, "REP_TX_POWER_MODE"},
    {REP_SET_HS_CHANNEL_MOD, "REP_SET_HS_CHANNEL_MOD"},
};

} // namespace

namespace opcodenames {

QString name(quint16 opcode)
{
    for (const Entry& e : kNames) {
        if (e.opcode == opcode)
            return QString::fromLatin1(e.name);
    }
    return QStringLiteral("0x") + protocol::hex4(opcode);
}

std::optional<quint16> parse(const QString& text)
{
    const QString upper = text.trimmed().toUpper();
    for (const Entry& e : kNames) {
        if (upper == QLatin1String(e.name))
            return e.opcode;
    }
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 0);
    if (ok && value <= 0xFFFF)
        return quint16(value);
    return std::nullopt;
}

} // namespace opcodenames
