#include "simconfig.h"

#include "controlcommand.h"
#include "opcodenames.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <cmath>

namespace {

constexpr quint32 kLoopbackNet = 0x7F000000;
constexpr quint32 kLoopbackMask = 0xFF000000;

bool isLoopback(quint32 address)
{
    return (address & kLoopbackMask) == kLoopbackNet;
}

// Reads option values one by one and keeps the first complaint.
class OptionReader {
public:
    explicit OptionReader(const QCommandLineParser& parser)
        : m_parser(parser)
    {
    }

    QString error() const { return m_error; }

    void number(const char* name, int& target, int low, int high)
    {
        if (!m_parser.isSet(QLatin1String(name)))
            return;
        bool ok = false;
        const int value = m_parser.value(QLatin1String(name)).toInt(&ok);
        if (ok && value >= low && value <= high)
            target = value;
        else
            complain(name, QStringLiteral("a whole number from %1 to %2").arg(low).arg(high));
    }

    void real(const char* name, double& target, double low, double high)
    {
        if (!m_parser.isSet(QLatin1String(name)))
            return;
        bool ok = false;
        const double value = m_parser.value(QLatin1String(name)).toDouble(&ok);
        if (ok && value >= low && value <= high)
            target = value;
        else
            complain(name, QStringLiteral("a number from %1 to %2").arg(low).arg(high));
    }

    void duration(const char* name, int& target, int lowMs)
    {
        if (!m_parser.isSet(QLatin1String(name)))
            return;
        const int ms = controlcommand::parseDuration(m_parser.value(QLatin1String(name)));
        if (ms >= lowMs)
            target = ms;
        else
            complain(name, QStringLiteral("a duration of at least %1 ms, such as 500ms or 2s").arg(lowMs));
    }

    void complain(const char* name, const QString& wanted)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("--%1 wants %2").arg(QLatin1String(name), wanted);
    }

private:
    const QCommandLineParser& m_parser;
    QString m_error;
};

bool parseBand(const QString& text, BandPlan& band)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d+(?:\\.\\d+)?)-(\\d+(?:\\.\\d+)?)/(\\d+(?:\\.\\d+)?)$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const auto hertz = [](const QString& mhz) { return std::llround(mhz.toDouble() * 1e6); };
    const long long step = hertz(m.captured(3));
    if (step > 0xFFFFFFFFLL || hertz(m.captured(2)) > 100000000000LL)
        return false;
    band.lowest = quint64(hertz(m.captured(1)));
    band.highest = quint64(hertz(m.captured(2)));
    band.step = quint32(step);
    return true;
}

} // namespace

namespace simconfig {

ParseResult parse(const QStringList& arguments, SimConfig& config)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates a network of ZARNIK radio modems on loopback addresses for the control station:\n"
        "status reports, answers to every request, service commands, a stepper controller per modem,\n"
        "an optional serial attenuator on a pseudo-terminal, and the faults of a bad radio link."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QList<QCommandLineOption> options = {
        help,
        {{QStringLiteral("n"), QStringLiteral("modems")}, QStringLiteral("Number of modems (default 3)."), QStringLiteral("N")},
        {QStringLiteral("first-address"), QStringLiteral("Address of modem 1; the others follow it (default 127.0.0.11)."), QStringLiteral("ADDR")},
        {QStringLiteral("station"), QStringLiteral("Where status reports go (default 127.0.0.1:40005)."), QStringLiteral("ADDR:PORT")},
        {QStringLiteral("period"), QStringLiteral("Status report period (default 1s)."), QStringLiteral("D")},
        {QStringLiteral("extended"), QStringLiteral("Send REP_EXTENDED_STATUS every period as well.")},
        {QStringLiteral("id-statistic"), QStringLiteral("Send REP_ID_STATISTIC every period as well.")},
        {QStringLiteral("unsupported"), QStringLiteral("Reports answered with REP_UNSUPPORTED, e.g. REP_PARAMETERS,0x810b."), QStringLiteral("LIST")},
        {QStringLiteral("band"), QStringLiteral("Band plan in MHz: lowest-highest/step (default 1400-1450/10)."), QStringLiteral("L-H/S")},
        {QStringLiteral("packet-rate"), QStringLiteral("Radio packets per second counted by each modem (default 50)."), QStringLiteral("N")},
        {QStringLiteral("reboot-time"), QStringLiteral("Silence after a reboot or hard reset (default 3s)."), QStringLiteral("D")},
        {QStringLiteral("disconnect-time"), QStringLiteral("Pause of status reports after a disconnect (default 10s)."), QStringLiteral("D")},
        {QStringLiteral("stepper-speed"), QStringLiteral("Rotator motor speed in steps per second (default 1000)."), QStringLiteral("N")},
        {QStringLiteral("bearing"), QStringLiteral("Bearing of the peer of each modem in degrees, comma-separated from modem 1;\n"
            "one value serves all. The RSSI then follows the rotator's angle (default: it does not)."), QStringLiteral("DEG[,DEG...]")},
        {QStringLiteral("beam-width"), QStringLiteral("Half-power width of the modems' antenna beam, degrees (default 20)."), QStringLiteral("DEG")},
        {QStringLiteral("rssi-noise"), QStringLiteral("Spread of an aimed modem's RSSI, dB (default 0.5)."), QStringLiteral("DB")},
        {QStringLiteral("attenuator"), QStringLiteral("Offer a simulated attenuator on a pseudo-terminal; its name is printed.")},
        {QStringLiteral("att50"), QStringLiteral("Attenuation that loses half the packets, dB (default 20)."), QStringLiteral("DB")},
        {QStringLiteral("doppler50"), QStringLiteral("Receive frequency offset that loses half the packets, Hz (default 40000)."), QStringLiteral("HZ")},
        {QStringLiteral("loss"), QStringLiteral("Drop probability of every modem's datagrams."), QStringLiteral("P")},
        {QStringLiteral("delay"), QStringLiteral("Delay of every modem's datagrams."), QStringLiteral("D")},
        {QStringLiteral("jitter"), QStringLiteral("Variation of the delay either way."), QStringLiteral("D")},
        {QStringLiteral("duplicate"), QStringLiteral("Probability that a datagram goes out twice."), QStringLiteral("P")},
        {QStringLiteral("reorder"), QStringLiteral("Probability that a datagram is held back behind the next."), QStringLiteral("P")},
        {QStringLiteral("corrupt"), QStringLiteral("Probability that a datagram is damaged (signature, length or bytes)."), QStringLiteral("P")},
        {QStringLiteral("pcap"), QStringLiteral("Write every datagram the modems send and receive into a pcap file."), QStringLiteral("FILE")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the random values (default 1)."), QStringLiteral("N")},
        {{QStringLiteral("v"), QStringLiteral("verbose")}, QStringLiteral("Print one line per simulated event.")},
    };
    parser.addOptions(options);
    if (!parser.parse(arguments))
        return {ParseResult::Error, parser.errorText()};
    if (parser.isSet(help))
        return {ParseResult::Help, parser.helpText() + QLatin1Char('\n') + controlcommand::grammar()};
    if (!parser.positionalArguments().isEmpty())
        return {ParseResult::Error, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first())};

    OptionReader read(parser);
    read.number("modems", config.modems, 1, kMaxModems);
    read.duration("period", config.periodMs, 10);
    read.number("packet-rate", config.profile.packetRate, 0, 100000);
    read.duration("reboot-time", config.rebootMs, 0);
    read.duration("disconnect-time", config.disconnectMs, 0);
    read.number("stepper-speed", config.stepperSpeed, 1, 1000000);
    read.real("att50", config.curves.att50Db, 0.0, 100.0);
    read.real("beam-width", config.beamWidth, 1.0, 360.0);
    read.real("rssi-noise", config.rssiNoiseDb, 0.0, 20.0);
    if (parser.isSet(QStringLiteral("bearing"))) {
        for (const QString& item : parser.value(QStringLiteral("bearing")).split(QLatin1Char(','))) {
            bool ok = false;
            const double bearing = item.toDouble(&ok);
            if (ok && bearing >= -180.0 && bearing <= 180.0)
                config.bearings.append(bearing);
            else
                read.complain("bearing", QStringLiteral("degrees from -180 to 180, comma-separated"));
        }
    }
    double offset50 = config.curves.offset50Hz;
    read.real("doppler50", offset50, 1.0, 1e9);
    config.curves.offset50Hz = offset50;
    config.curves.offsetWidthHz = offset50 / 10.0;
    read.real("loss", config.faults.loss, 0.0, 1.0);
    read.duration("delay", config.faults.delayMs, 0);
    read.duration("jitter", config.faults.jitterMs, 0);
    read.real("duplicate", config.faults.duplicate, 0.0, 1.0);
    read.real("reorder", config.faults.reorder, 0.0, 1.0);
    read.real("corrupt", config.faults.corrupt, 0.0, 1.0);
    int seed = int(config.seed);
    read.number("seed", seed, 0, 0x7FFFFFFF);
    config.seed = quint32(seed);
    config.extendedStatus = parser.isSet(QStringLiteral("extended"));
    config.idStatistic = parser.isSet(QStringLiteral("id-statistic"));
    config.attenuator = parser.isSet(QStringLiteral("attenuator"));
    config.verbose = parser.isSet(QStringLiteral("verbose"));
    config.pcapPath = parser.value(QStringLiteral("pcap"));

    if (parser.isSet(QStringLiteral("first-address"))) {
        bool ok = false;
        const QHostAddress first(parser.value(QStringLiteral("first-address")));
        config.firstAddress = first.toIPv4Address(&ok);
        if (!ok || !isLoopback(config.firstAddress))
            read.complain("first-address", QStringLiteral("an address in 127.0.0.0/8"));
    }
    if (!isLoopback(config.firstAddress + quint32(config.modems - 1)))
        read.complain("modems", QStringLiteral("a count that keeps every modem inside 127.0.0.0/8"));

    if (parser.isSet(QStringLiteral("station"))) {
        const QString text = parser.value(QStringLiteral("station"));
        const int colon = text.lastIndexOf(QLatin1Char(':'));
        bool portOk = false;
        const uint port = text.mid(colon + 1).toUInt(&portOk);
        bool addressOk = false;
        const quint32 address = QHostAddress(text.left(colon)).toIPv4Address(&addressOk);
        if (colon < 0 || !portOk || port == 0 || port > 0xFFFF || !addressOk || !isLoopback(address)) {
            read.complain("station", QStringLiteral("a loopback address and port, such as 127.0.0.1:40005"));
        } else {
            config.stationAddress = QHostAddress(address);
            config.stationPort = quint16(port);
        }
    }
    const quint32 station = config.stationAddress.toIPv4Address();
    if (station >= config.firstAddress && station - config.firstAddress < quint32(config.modems))
        read.complain("station", QStringLiteral("an address that no simulated modem uses"));
    if (parser.isSet(QStringLiteral("band")) && !parseBand(parser.value(QStringLiteral("band")), config.profile.band))
        read.complain("band", QStringLiteral("lowest-highest/step in MHz, such as 1400-1450/10"));
    if (parser.isSet(QStringLiteral("unsupported"))) {
        for (const QString& item : parser.value(QStringLiteral("unsupported")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const std::optional<quint16> opcode = opcodenames::parse(item);
            if (opcode)
                config.profile.unsupported.insert(*opcode);
            else
                read.complain("unsupported", QStringLiteral("report names or numbers, such as REP_PARAMETERS,0x810b"));
        }
    }
    if (!read.error().isEmpty())
        return {ParseResult::Error, read.error()};
    return {};
}

} // namespace simconfig
