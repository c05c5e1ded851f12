#include "configtransfer.h"

#include "bytes.h"
#include "control_records.h"
#include "statusreports.h"

#include <QDateTime>

namespace configtransfer {

namespace {

constexpr int kBurstLength = 5;

TransferResult failed(ModemExchange& exchange, const ModemExchange::Answer& answer, const QString& report)
{
    if (answer.kind == ModemExchange::Answer::Unsupported)
        return {TransferResult::Unsupported,
            QStringLiteral("modem %1 answers REP_UNSUPPORTED for %2").arg(exchange.modemText(), report)};
    return {TransferResult::Silent, QStringLiteral("no answer from %1 to %2").arg(exchange.modemText(), report)};
}

// The secret report holds as many bytes as its length word says, or it was cut on the way.
bool wholeSecret(const QByteArray& payload)
{
    return payload.size() >= 2 + (bytes::u16(payload, 0) & 0x0FFF);
}

struct Part {
    const char* name;
    OPCODE request;
    quint16 report;
    QByteArray record;
    QString section; // fields of the configuration that the part covers
};

QList<Part> parts(const RestorePlan& plan)
{
    QList<Part> list{
        {"defaults", CMD_DEFAULTS_SET, REP_DEFAULTS_SET, records::encodeDefaults(plan.defaults), "defaults"},
        {"converters", CMD_UART_CONV_CONFIG, REP_UART_CONV_CONFIG, records::encodeConverters(plan.converters),
            "converters"},
    };
    if (plan.secret) {
        list.append({"session secret", CMD_SESSION_SECRET, REP_SESSION_SECRET,
            records::encodeSessionSecret(*plan.secret), "session_secret.secret_base64"});
    }
    return list;
}

// The configuration a record stands for, so that parts compare field by field.
ModemConfiguration asConfiguration(quint16 report, const QByteArray& record, const RestorePlan& plan)
{
    ModemConfiguration c;
    c.defaults = plan.defaults;
    c.converters = plan.converters;
    if (report == REP_DEFAULTS_SET)
        c.defaults = records::decodeDefaults(record);
    else if (report == REP_UART_CONV_CONFIG)
        c.converters = records::decodeConverters(record);
    else
        c.secret = records::decodeSessionSecret(record).secret;
    c.secretLength = c.secret ? c.secret->size() : 0;
    return c;
}

QString describeDifferences(const QList<FieldDifference>& differences)
{
    QStringList items;
    for (const FieldDifference& d : differences) {
        if (d.field.endsWith(QLatin1String("secret_base64")))
            items << d.field;
        else
            items << QStringLiteral("%1 wrote %2 read %3").arg(d.field, d.left, d.right);
    }
    return items.join(QStringLiteral("; "));
}

} // namespace

TransferResult read(ModemExchange& exchange, bool includeSecret, ModemConfiguration& config)
{
    ModemConfiguration c;
    c.source = exchange.modemText();
    c.saved = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);

    ModemExchange::Answer a = exchange.askReport(REP_VERSION, statusreports::minimumLength(REP_VERSION));
    if (a.kind == ModemExchange::Answer::Silent)
        return failed(exchange, a, "REP_VERSION");
    if (a.kind == ModemExchange::Answer::Report)
        c.firmware = records::decodeVersion(a.payload);

    a = exchange.askReport(REP_PARAMETERS, statusreports::minimumLength(REP_PARAMETERS));
    if (a.kind == ModemExchange::Answer::Silent)
        return failed(exchange, a, "REP_PARAMETERS");
    if (a.kind == ModemExchange::Answer::Report)
        c.bandPlan = records::decodeParameters(a.payload);

    a = exchange.askReport(REP_DEFAULTS_SET, records::kDefaultsSize);
    if (a.kind != ModemExchange::Answer::Report)
        return failed(exchange, a, "REP_DEFAULTS_SET");
    c.defaults = records::decodeDefaults(a.payload);

    a = exchange.askReport(REP_UART_CONV_CONFIG, records::kConverterConfigSize);
    if (a.kind != ModemExchange::Answer::Report)
        return failed(exchange, a, "REP_UART_CONV_CONFIG");
    c.converters = records::decodeConverters(a.payload);

    // A cut secret report is asked again rather than kept short.
    for (int i = 0; i < 3; ++i) {
        a = exchange.askReport(REP_SESSION_SECRET, 2);
        if (a.kind != ModemExchange::Answer::Report || wholeSecret(a.payload))
            break;
        a.kind = ModemExchange::Answer::Silent;
    }
    if (a.kind != ModemExchange::Answer::Report)
        return failed(exchange, a, "REP_SESSION_SECRET");
    const SessionSecret secret = records::decodeSessionSecret(a.payload);
    c.secretLength = secret.secret.size();
    c.secretSave = secret.save;
    if (includeSecret)
        c.secret = secret.secret;

    config = c;
    return {};
}

QStringList describe(const RestorePlan& plan)
{
    QStringList lines;
    for (const Part& p : parts(plan)) {
        const int length = protocol::payloadLength(p.request, reinterpret_cast<const uint8_t*>(p.record.constData()));
        lines << QStringLiteral("%1 (%2), %3 payload bytes").arg(QLatin1String(p.name), protocol::hex4(p.request))
                     .arg(length);
    }
    return lines;
}

TransferResult restore(ModemExchange& exchange, const RestorePlan& plan, QStringList& confirmed)
{
    constexpr int kWriteAttempts = 3;
    for (const Part& p : parts(plan)) {
        const OP_PAYLOAD_t payload = requests::record(p.record, int(p.record.size()));
        const ModemConfiguration wanted = asConfiguration(p.report, p.record, plan);
        QList<FieldDifference> differences;
        ModemExchange::Answer a;
        for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
            if (!exchange.send(p.request, payload))
                return {TransferResult::Silent, QStringLiteral("cannot send the %1").arg(QLatin1String(p.name))};
            a = exchange.askReport(p.report, statusreports::minimumLength(p.report));
            if (a.kind != ModemExchange::Answer::Report)
                break;
            const ModemConfiguration got = asConfiguration(p.report, a.payload, plan);
            differences = configfile::withoutIgnored(configfile::compare(wanted, got), {});
            QList<FieldDifference> inPart;
            for (const FieldDifference& d : differences) {
                if (d.field.startsWith(p.section))
                    inPart.append(d);
            }
            differences = inPart;
            if (differences.isEmpty())
                break;
        }
        if (a.kind != ModemExchange::Answer::Report)
            return failed(exchange, a, QStringLiteral("the read-back of the %1").arg(QLatin1String(p.name)));
        if (!differences.isEmpty()) {
            return {TransferResult::Mismatch, QStringLiteral("read-back of the %1 differs: %2")
                .arg(QLatin1String(p.name), describeDifferences(differences))};
        }
        confirmed << QLatin1String(p.name);
    }
    return {};
}

void serviceBurst(ModemExchange& exchange, uint32_t code)
{
    for (int i = 0; i < kBurstLength; ++i)
        exchange.send(CMD_REBOOT_DEVICE, requests::serviceCode(code));
}

} // namespace configtransfer
