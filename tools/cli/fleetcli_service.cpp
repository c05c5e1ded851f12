// The station's service commands: reboot, forget, channel, power and antenna.
#include "fleetcli.h"

#include "configtransfer.h"
#include "control_records.h"
#include "opcodenames.h"
#include "records.h"
#include "status_records.h"

#include <QMap>
#include <cmath>

int FleetCli::service(const CommandOptions& o, uint32_t code, const QString& what)
{
    if (o.positional.size() != 1)
        return bad(QStringLiteral("%1 takes one modem address").arg(what));
    TargetAddress t;
    if (!target(o, o.positional.first(), t))
        return BadInput;
    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    configtransfer::serviceBurst(*exchange, code);
    m_out << what << " sent to " << t.text() << " (" << exchange->requestsSent() << " requests)\n";
    return Ok;
}

int FleetCli::setChannel(const CommandOptions& o)
{
    if (o.positional.size() != 2)
        return bad(QStringLiteral("set-channel takes a modem address and a channel in MHz"));
    TargetAddress t;
    if (!target(o, o.positional.first(), t))
        return BadInput;
    bool isNumber = false;
    const double mhz = o.positional.at(1).toDouble(&isNumber);
    if (!isNumber || !(mhz > 0) || mhz > 1e7)
        return bad(QStringLiteral("bad channel \"%1\": expected a frequency in MHz, e.g. 1410").arg(o.positional.at(1)));
    const auto hz = uint64_t(std::llround(mhz * 1e6));
    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    const ModemExchange::Answer plan = exchange->askReport(REP_PARAMETERS, records::kParametersSize);
    if (plan.kind == ModemExchange::Answer::Silent) {
        m_err << "zarnik-cli: no answer from " << t.text() << " to REP_PARAMETERS; nothing sent\n";
        return Failed;
    }
    if (plan.kind == ModemExchange::Answer::Report) {
        const QList<uint64_t> channels = records::channelsOf(records::decodeParameters(plan.payload));
        if (!channels.contains(hz)) {
            QStringList shown;
            for (uint64_t c : channels.mid(0, 16))
                shown << QString::number(double(c) / 1e6, 'g', 10);
            return bad(QStringLiteral("%1 MHz is not a channel of %2 (%3%4)").arg(o.positional.at(1), t.text(),
                shown.join(' '), channels.size() > 16 ? QStringLiteral(" ...") : QString()));
        }
    }
    // The station's order: transmit frequency, then receive frequency.
    const OP_PAYLOAD_t payload = requests::frequency(hz);
    const ModemExchange::Answer tx = exchange->ask(CMD_TX_FREQUENCY, payload, REP_TX_FREQUENCY, records::kFrequencySize);
    const ModemExchange::Answer rx = exchange->ask(CMD_RX_FREQUENCY, payload, REP_RX_FREQUENCY, records::kFrequencySize);
    if (tx.kind == ModemExchange::Answer::Unsupported || rx.kind == ModemExchange::Answer::Unsupported)
        return bad(QStringLiteral("modem %1 answers REP_UNSUPPORTED for a frequency request").arg(t.text()));
    if (tx.kind != ModemExchange::Answer::Report || rx.kind != ModemExchange::Answer::Report
        || records::decodeFrequency(tx.payload).frequency != hz || records::decodeFrequency(rx.payload).frequency != hz) {
        m_err << "zarnik-cli: " << t.text() << " did not confirm " << o.positional.at(1) << " MHz\n";
        return Failed;
    }
    m_out << t.text() << " on " << o.positional.at(1) << " MHz\n";
    return Ok;
}

int FleetCli::setPower(const CommandOptions& o)
{
    int percent = 0;
    if (o.positional.size() != 2 || !commandoptions::parseNumber(o.positional.at(1), 0, 100, percent))
        return bad(QStringLiteral("set-power takes a modem address and a power of 0..100 percent"));
    return setConfirmedByte(o, CMD_TX_POWER_MODE, REP_TX_POWER_MODE, uint8_t(percent),
                            QStringLiteral("%1 %").arg(percent), QStringLiteral("transmits at %1 %").arg(percent));
}

int FleetCli::setAntenna(const CommandOptions& o)
{
    const QMap<QString, int> names{{"sector", 0}, {"0", 0}, {"omni", 1}, {"1", 1}};
    if (o.positional.size() != 2 || !names.contains(o.positional.at(1)))
        return bad(QStringLiteral("set-antenna takes a modem address and sector or omni"));
    const int antenna = names.value(o.positional.at(1));
    return setConfirmedByte(o, CMD_ANTENNA_SEL, REP_ANTENNA_SEL, uint8_t(antenna), QStringLiteral("the antenna"),
                            QStringLiteral("antenna %1").arg(antenna ? "omni" : "sector"));
}

int FleetCli::setConfirmedByte(const CommandOptions& o, quint16 request, quint16 report, uint8_t value,
                               const QString& what, const QString& done)
{
    TargetAddress t;
    if (!target(o, o.positional.first(), t))
        return BadInput;
    auto exchange = open(o, t);
    if (!exchange)
        return m_openFailure;
    const ModemExchange::Answer a = exchange->ask(OPCODE(request), requests::singleByte(value), OPCODE(report), 1);
    if (a.kind == ModemExchange::Answer::Unsupported)
        return bad(QStringLiteral("modem %1 answers REP_UNSUPPORTED for %2").arg(t.text(), opcodenames::name(request)));
    if (a.kind != ModemExchange::Answer::Report || reports::singleByte(a.payload) != value) {
        m_err << "zarnik-cli: " << t.text() << " did not confirm " << what << '\n';
        return Failed;
    }
    m_out << t.text() << ' ' << done << '\n';
    return Ok;
}
