#include "statusreports.h"

#include "bytes.h"
#include "config_file.h"
#include "control_records.h"
#include "opcodenames.h"
#include "records.h"
#include "status_records.h"

namespace statusreports {

namespace {

// The reports of the station's staged polling, in its order.
constexpr quint16 kStages[] = {
    REP_VERSION, REP_PARAMETERS, REP_TX_FREQUENCY, REP_RX_FREQUENCY, REP_ANTENNA_SEL,
    REP_DEFAULTS_SET, REP_REBOOT_DEVICE, REP_SET_TX_MODE, REP_UART_CONV_CONFIG, REP_SESSION_SECRET,
};

} // namespace

int minimumLength(quint16 report)
{
    switch (report) {
    case REP_VERSION: return records::kVersionSize;
    case REP_PARAMETERS: return records::kParametersSize;
    case REP_TX_FREQUENCY:
    case REP_RX_FREQUENCY: return records::kFrequencySize;
    case REP_DEFAULTS_SET: return records::kDefaultsSize;
    case REP_REBOOT_DEVICE: return 4;
    case REP_UART_CONV_CONFIG: return records::kConverterConfigSize;
    case REP_SESSION_SECRET: return 2;
    default: return 1;
    }
}

QJsonObject decode(quint16 report, const QByteArray& payload)
{
    switch (report) {
    case REP_VERSION: {
        const VersionInfo v = records::decodeVersion(payload);
        return {{"major", v.major}, {"minor", v.minor}, {"revision", v.revision}, {"build", double(v.build)},
            {"hardware", v.hardware}, {"function", v.function}};
    }
    case REP_PARAMETERS: {
        const ModemParameters p = records::decodeParameters(payload);
        return {{"lowest_hz", double(p.lowest)}, {"highest_hz", double(p.highest)}, {"step_hz", double(p.step)}};
    }
    case REP_TX_FREQUENCY:
    case REP_RX_FREQUENCY:
        return {{"frequency_hz", double(records::decodeFrequency(payload).frequency)}};
    case REP_ANTENNA_SEL:
        return {{"antenna_sel", reports::singleByte(payload)}};
    case REP_DEFAULTS_SET:
        return configfile::defaultsObject(records::decodeDefaults(payload));
    case REP_REBOOT_DEVICE:
        return {{"service_code", QStringLiteral("0x%1").arg(bytes::u32(payload, 0), 8, 16, QLatin1Char('0'))}};
    case REP_SET_TX_MODE:
        return {{"tx_off", reports::singleByte(payload) != 0}};
    case REP_UART_CONV_CONFIG:
        return {{"converters", configfile::convertersArray(records::decodeConverters(payload))}};
    case REP_SESSION_SECRET: {
        // The secret itself is never printed.
        const SessionSecret s = records::decodeSessionSecret(payload);
        return {{"length_bytes", s.secret.size()}, {"save", s.save}};
    }
    default:
        return {};
    }
}

QList<PolledReport> poll(ModemExchange& exchange)
{
    QList<PolledReport> list;
    for (const quint16 opcode : kStages) {
        PolledReport r;
        r.opcode = opcode;
        r.name = opcodenames::name(opcode);
        const ModemExchange::Answer answer = exchange.askReport(opcode, minimumLength(opcode));
        r.kind = answer.kind;
        if (answer.kind == ModemExchange::Answer::Report)
            r.fields = decode(opcode, answer.payload);
        list.append(r);
    }
    return list;
}

} // namespace statusreports
