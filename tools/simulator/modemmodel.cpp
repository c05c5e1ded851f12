#include "modemmodel.h"

#include "bytes.h"
#include "opcodenames.h"
#include "protocol.h"

#include <cmath>

namespace {

constexpr quint32 kLoopbackStation = 0x7F000001; // 127.0.0.1
constexpr quint16 kStepperPort = 30000;
constexpr int kPacketBits = 1600;
constexpr quint32 kSetupCodeMask = 0xFF000000;

quint16 clampCount(int value)
{
    return quint16(qBound(0, value, 0xFFFF));
}

double wander(QRandomGenerator& random, double value, double step, double low, double high)
{
    return qBound(low, value + (random.generateDouble() * 2.0 - 1.0) * step, high);
}

QByteArray byteRecord(quint8 value)
{
    return QByteArray(1, char(value));
}

QByteArray wordRecord(quint16 value)
{
    QByteArray record(2, '\0');
    bytes::put16(reinterpret_cast<uint8_t*>(record.data()), value);
    return record;
}

QByteArray longRecord(quint32 value)
{
    QByteArray record(4, '\0');
    bytes::put32(reinterpret_cast<uint8_t*>(record.data()), value);
    return record;
}

// The report that answers a setting request, or 0 when the request has none.
quint16 reportOf(quint16 request)
{
    switch (request) {
    case CMD_TX_FREQUENCY: return REP_TX_FREQUENCY;
    case CMD_RX_FREQUENCY: return REP_RX_FREQUENCY;
    case CMD_ANTENNA_SEL: return REP_ANTENNA_SEL;
    case CMD_DEFAULTS_SET: return REP_DEFAULTS_SET;
    case CMD_REBOOT_DEVICE: return REP_REBOOT_DEVICE;
    case CMD_SET_TX_MODE: return REP_SET_TX_MODE;
    case CMD_UART_CONV_CONFIG: return REP_UART_CONV_CONFIG;
    case CMD_SESSION_SECRET: return REP_SESSION_SECRET;
    case CMD_TX_POWER_MODE: return REP_TX_POWER_MODE;
    case CMD_SET_HS_CHANNEL_MOD: return REP_SET_HS_CHANNEL_MOD;
    default: return 0;
    }
}

ConverterConfig factoryConverters()
{
    ConverterConfig c;
    // Converter 0 carries the stepper controller of the antenna rotator.
    c.converters[0] = {true, 115200, kStepperPort, kStepperPort, kLoopbackStation};
    for (int i = 1; i < 4; ++i) {
        const quint16 port = quint16(20000 + i);
        c.converters[i] = {false, 38400, port, port, kLoopbackStation};
    }
    return c;
}

} // namespace

ModemModel::ModemModel(int index, quint32 address, const ModemProfile& profile, quint32 seed)
    : m_index(index)
    , m_address(address)
    , m_profile(profile)
    , m_random(seed)
    , m_defaults(factoryDefaults(index, address, profile.band))
    , m_converters(factoryConverters())
    , m_rssiBaseDb(60.0 + m_random.bounded(20))
    , m_temp1(36.0 + m_random.bounded(6))
    , m_temp2(31.0 + m_random.bounded(6))
    , m_rangeMetres(1000.0 + m_random.bounded(20000))
{
    reboot();
}

ModemDefaults ModemModel::factoryDefaults(int index, quint32 address, const BandPlan& band)
{
    ModemDefaults d;
    // The first modem is the ground end of a point-to-point link, the others on-board ends.
    d.opmode = records::encodeOpmode(4, index == 0 ? 0 : 1, 0, 0);
    d.rx_frequency = band.lowest;
    d.tx_frequency = band.lowest;
    d.ip_addr = address;
    d.prefix = 8;
    d.gateway = kLoopbackStation;
    d.control_port = protocol::kDefaultControlPort;
    for (int i = 0; i < 5; ++i) {
        const quint16 port = quint16(10001 + i);
        d.sockets[i] = {port, port, kLoopbackStation};
        d.remote_sockets[i] = {port, port, kLoopbackStation};
    }
    d.tx_power_mode = 100;
    d.gst_string_fm2 = "videotestsrc ! jpegenc quality=35 ! rtpjpegpay ! udpsink host=127.0.0.1 port=10004";
    d.gst_string_fm4 = "videotestsrc ! jpegenc quality=55 ! rtpjpegpay ! udpsink host=127.0.0.1 port=10004";
    return d;
}

void ModemModel::reboot()
{
    m_seqnum = 0;
    m_period = Period();
    m_run = Running();
    m_run.txFrequency = m_defaults.tx_frequency;
    m_run.rxFrequency = m_defaults.rx_frequency;
    m_run.antenna = m_defaults.antenna_sel;
    m_run.txOff = m_defaults.tx_mute;
    m_run.power = m_defaults.tx_power_mode;
    m_run.hsModulation = m_defaults.opmode >> 7;
    m_run.secret = m_savedSecret;
}

void ModemModel::factoryReset()
{
    m_defaults = factoryDefaults(m_index, m_address, m_profile.band);
    m_converters = factoryConverters();
    m_savedSecret = SessionSecret();
    reboot();
}

QByteArray ModemModel::frame(quint16 opcode, const QByteArray& payload)
{
    return protocol::buildReport(opcode, m_seqnum++, payload);
}

QByteArray ModemModel::unsupported(quint16 opcode)
{
    return frame(REP_UNSUPPORTED, wordRecord(opcode));
}

ModemModel::Outcome ModemModel::handle(const QByteArray& datagram)
{
    if (!protocol::isFrame(datagram))
        return {{}, Service::None, QStringLiteral("ignored %1 bytes without the signature").arg(datagram.size())};
    const quint16 opcode = protocol::parseHeader(datagram).opcode;
    // Answering reports could start an endless exchange with another modem.
    if (opcode >= REP_UNSUPPORTED)
        return {{}, Service::None, QStringLiteral("ignored report %1").arg(opcodenames::name(opcode))};
    return applyRequest(opcode, protocol::payloadOf(datagram));
}

ModemModel::Outcome ModemModel::applyRequest(quint16 opcode, const QByteArray& payload)
{
    const QString name = opcodenames::name(opcode);
    const uint8_t head[2] = {bytes::u8(payload, 0), bytes::u8(payload, 1)};
    const int needed = protocol::payloadLength(opcode, head);
    if (needed < 0)
        return {{unsupported(opcode)}, Service::None, QStringLiteral("unknown request %1 -> REP_UNSUPPORTED").arg(name)};
    if (payload.size() < needed) {
        return {{}, Service::None,
            QStringLiteral("ignored %1 with %2 of %3 payload bytes").arg(name).arg(payload.size()).arg(needed)};
    }

    if (opcode == CMD_GET_REPORT) {
        const quint16 wanted = bytes::u16(payload, 0);
        const QByteArray body = m_profile.unsupported.contains(wanted) ? QByteArray() : reportPayload(wanted);
        if (body.isNull()) {
            return {{unsupported(wanted)}, Service::None,
                QStringLiteral("%1 %2 -> REP_UNSUPPORTED").arg(name, opcodenames::name(wanted))};
        }
        return {{frame(wanted, body)}, Service::None, QStringLiteral("%1 %2").arg(name, opcodenames::name(wanted))};
    }

    const quint16 report = reportOf(opcode);
    if (report != 0 && m_profile.unsupported.contains(report))
        return {{unsupported(opcode)}, Service::None, QStringLiteral("%1 -> REP_UNSUPPORTED").arg(name)};

    QString detail;
    switch (opcode) {
    case CMD_TX_FREQUENCY:
        m_run.txFrequency = records::decodeFrequency(payload).frequency;
        detail = QStringLiteral("%1 Hz").arg(m_run.txFrequency);
        break;
    case CMD_RX_FREQUENCY:
        m_run.rxFrequency = records::decodeFrequency(payload).frequency;
        detail = QStringLiteral("%1 Hz").arg(m_run.rxFrequency);
        break;
    case CMD_ANTENNA_SEL:
        // Only the two antennas exist; anything else leaves the selection as it is.
        if (bytes::u8(payload, 0) <= 1)
            m_run.antenna = bytes::u8(payload, 0);
        detail = QString::number(m_run.antenna);
        break;
    case CMD_DEFAULTS_SET:
        m_defaults = records::decodeDefaults(payload);
        m_run.hsModulation = m_defaults.opmode >> 7;
        detail = QStringLiteral("opmode %1").arg(m_defaults.opmode);
        break;
    case CMD_REBOOT_DEVICE:
        return applyService(payload);
    case CMD_SET_TX_MODE:
        m_run.txOff = bytes::u8(payload, 0) != 0;
        detail = m_run.txOff ? QStringLiteral("transmitter off") : QStringLiteral("transmitter on");
        break;
    case CMD_SWITCH_RETR_MODE_ID:
    case CMD_SWITCH_RETR_RECV_MODE_ID:
        m_run.relayId = bytes::u8(payload, 0);
        return {{}, Service::None, QStringLiteral("%1 %2").arg(name).arg(m_run.relayId)};
    case CMD_UART_CONV_CONFIG:
        m_converters = records::decodeConverters(payload);
        break;
    case CMD_SESSION_SECRET: {
        const SessionSecret secret = records::decodeSessionSecret(payload);
        if (secret.secret.size() > records::kSecretCapacity) {
            detail = QStringLiteral("refused %1 bytes").arg(secret.secret.size());
            break;
        }
        m_run.secret = secret;
        if (secret.save)
            m_savedSecret = secret;
        detail = QStringLiteral("%1 bytes%2").arg(secret.secret.size()).arg(secret.save ? ", saved" : "");
        break;
    }
    case CMD_TX_POWER_MODE:
        m_run.power = qMin<quint8>(bytes::u8(payload, 0), 100);
        detail = QStringLiteral("%1 %").arg(m_run.power);
        break;
    case CMD_SET_HS_CHANNEL_MOD:
        m_run.hsModulation = bytes::u16(payload, 0) != 0 ? 1 : 0;
        detail = m_run.hsModulation ? QStringLiteral("FM4") : QStringLiteral("FM2");
        break;
    default:
        break;
    }
    return {{frame(report, reportPayload(report))}, Service::None, QStringLiteral("%1 %2").arg(name, detail).trimmed()};
}

ModemModel::Outcome ModemModel::applyService(const QByteArray& payload)
{
    const quint32 code = bytes::u32(payload, 0);
    const QString hexCode = QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0'));
    Service service = Service::None;
    QString what;
    if (code == protocol::kServiceReboot) {
        service = Service::Reboot;
        what = QStringLiteral("reboot");
    } else if (code == protocol::kServiceDisconnect) {
        service = Service::Disconnect;
        what = QStringLiteral("disconnect");
    } else if (bytes::ipv4(payload, 0) == m_address) {
        service = Service::HardReset;
        what = QStringLiteral("hard reset");
    } else if ((code & kSetupCodeMask) == kSetupCodeMask) {
        service = Service::Setup;
        what = QStringLiteral("set-up %1").arg(hexCode);
    } else {
        // A hard reset meant for another modem, or a code this modem does not know.
        return {{}, Service::None, QStringLiteral("CMD_REBOOT_DEVICE %1 ignored").arg(hexCode)};
    }
    m_lastServiceCode = code;
    return {{frame(REP_REBOOT_DEVICE, longRecord(code))}, service, QStringLiteral("CMD_REBOOT_DEVICE %1").arg(what)};
}

QByteArray ModemModel::reportPayload(quint16 opcode) const
{
    switch (opcode) {
    case REP_TX_FREQUENCY: return records::encodeFrequency(m_run.txFrequency);
    case REP_RX_FREQUENCY: return records::encodeFrequency(m_run.rxFrequency);
    case REP_ANTENNA_SEL: return byteRecord(m_run.antenna);
    case REP_DEFAULTS_SET: return records::encodeDefaults(m_defaults);
    case REP_REBOOT_DEVICE: return longRecord(m_lastServiceCode);
    case REP_SET_TX_MODE: return byteRecord(m_run.txOff ? 1 : 0);
    case REP_VERSION: {
        VersionInfo v;
        v.major = 2;
        v.minor = 4;
        v.revision = 1;
        v.build = 0x5A000000u | quint32(m_index);
        v.hardware = 0x01;
        v.function = 0x02;
        return records::encodeVersion(v);
    }
    case REP_CONT_STATUS: return records::encodeContStatus(contStatus());
    case REP_PARAMETERS: {
        ModemParameters p;
        p.lowest = m_profile.band.lowest;
        p.highest = m_profile.band.highest;
        p.step = m_profile.band.step;
        return records::encodeParameters(p);
    }
    case REP_EXTENDED_STATUS: return records::encodeExtendedStatus(extendedStatus());
    case REP_UART_CONV_CONFIG: return records::encodeConverters(m_converters);
    case REP_ID_STATISTIC: return records::encodeIdStatistic(idStatistic());
    case REP_SESSION_SECRET: {
        // The save bit tells whether the running secret is the one kept in permanent memory.
        SessionSecret s = m_run.secret;
        s.save = s.secret == m_savedSecret.secret;
        return records::encodeSessionSecret(s);
    }
    case REP_TX_POWER_MODE: return byteRecord(m_run.power);
    case REP_SET_HS_CHANNEL_MOD: return wordRecord(m_run.hsModulation);
    default: return QByteArray();
    }
}

quint8 ModemModel::statusOpmode() const
{
    return quint8((m_defaults.opmode & 0x7F) | (m_run.hsModulation ? 0x80 : 0));
}

ContStatus ModemModel::contStatus() const
{
    ContStatus s;
    s.opmode = statusOpmode();
    s.sync = m_period.sync ? 1 : 0;
    s.rssi = quint8(qBound(0, m_period.rssiCentiDb / 100, 255));
    s.temp1 = qint8(qRound(m_temp1));
    s.temp2 = qint8(qRound(m_temp2));
    s.received = m_period.received;
    s.errors = m_period.errors;
    s.lost = m_period.lost;
    s.sent = m_period.sent;
    s.rx_bits = m_period.rxBits;
    s.tx_bits = m_period.txBits;
    return s;
}

ExtendedStatus ModemModel::extendedStatus() const
{
    const quint8 opmode = statusOpmode();
    const OpMode decoded = records::decodeOpmode(opmode);
    const int code = opmode & 0x1F;
    ExtendedStatus s;
    // An invalid code still names a mode number, beyond the valid ones.
    s.mode = quint8(decoded.valid ? decoded.mode : (code - 16) / 3 + 8);
    s.role = quint8(decoded.valid ? decoded.unit : (code - 16) % 3);
    s.spreading = quint8((opmode >> 5) & 3);
    s.modulation = quint8(m_run.hsModulation);
    s.flags = quint8((m_period.sync ? ExtendedStatus::Synchronised : 0)
        | (m_run.txOff ? ExtendedStatus::TxPowerOff : 0)
        | (decoded.valid ? ExtendedStatus::ModeWhite : 0));
    s.antenna = m_run.antenna;
    s.tx_power = m_run.power;
    s.rssi = quint16(qBound(0, m_period.rssiCentiDb, 0xFFFF));
    s.temp1 = qint16(qRound(m_temp1 * 100));
    s.temp2 = qint16(qRound(m_temp2 * 100));
    s.received = m_period.received;
    s.errors = m_period.errors;
    s.lost = m_period.lost;
    s.sent = m_period.sent;
    s.rx_bits = m_period.rxBits;
    s.tx_bits = m_period.txBits;
    s.tx_dropped_bits = m_period.droppedBits;
    return s;
}

IdStatistic ModemModel::idStatistic() const
{
    const OpMode decoded = records::decodeOpmode(statusOpmode());
    const int members = decoded.valid ? decoded.roles : 2;
    IdStatistic s;
    s.own_index = quint8(decoded.valid ? qMin(decoded.unit, members - 1) : 0);
    for (int i = 0; i < members; ++i) {
        IdStatisticEntry e;
        e.identifier = quint8(i);
        if (i != s.own_index) {
            e.rssi = quint16(qBound(0, m_period.rssiCentiDb, 0xFFFF));
            e.range = quint32(m_rangeMetres) + quint32(i) * 150;
            e.rx_first = m_period.received;
            e.rx_second = quint16(m_period.received - m_period.errors);
            e.further = m_period.lost;
        }
        s.entries.append(e);
    }
    return s;
}

QByteArray ModemModel::reportFrame(quint16 report)
{
    return frame(report, reportPayload(report));
}

int ModemModel::binomial(int trials, double probability)
{
    constexpr int kCountedTrials = 4096;
    if (trials <= kCountedTrials) {
        int hits = 0;
        for (int i = 0; i < trials; ++i)
            hits += m_random.generateDouble() < probability ? 1 : 0;
        return hits;
    }
    // Normal approximation for long periods; Box-Muller from two uniform draws.
    const double mean = trials * probability;
    const double deviation = std::sqrt(mean * (1.0 - probability));
    const double u1 = qMax(m_random.generateDouble(), 1e-12);
    const double gauss = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * m_random.generateDouble());
    return qBound(0, int(std::lround(mean + deviation * gauss)), trials);
}

void ModemModel::advance(int periodMs, double attenuationDb, const LossCurves& curves)
{
    const quint64 nominal = linkquality::nominalChannel(m_profile.band, m_run.rxFrequency);
    const double offsetHz = double(m_run.rxFrequency) - double(nominal);
    m_lastLoss = linkquality::lossProbability(curves, attenuationDb, offsetHz);

    const int packets = m_profile.packetRate <= 0 ? 0 : qMax(1, qRound(m_profile.packetRate * periodMs / 1000.0));
    // Near the limit the receiver slips in and out of synchronisation.
    const double jitter = (m_random.generateDouble() - 0.5) * 0.04;
    m_period.sync = m_lastLoss + jitter < linkquality::kSyncLossLimit;
    const int received = m_period.sync ? binomial(packets, 1.0 - m_lastLoss) : 0;
    m_period.received = clampCount(received);
    m_period.lost = clampCount(m_period.sync ? packets - received : 0);
    m_period.errors = clampCount(binomial(received, 0.05 * m_lastLoss));
    m_period.sent = clampCount(m_run.txOff ? 0 : packets);

    const double perSecond = periodMs > 0 ? 1000.0 / periodMs : 0.0;
    m_period.rxBits = qint32(qMin(2e9, received * kPacketBits * perSecond));
    const qint32 offeredBits = qint32(qMin(2e9, packets * kPacketBits * perSecond));
    m_period.txBits = m_run.txOff ? 0 : offeredBits;
    m_period.droppedBits = m_run.txOff ? offeredBits : 0;

    double noiseDb = 0.0;
    if (std::isnan(m_rssiNoise)) {
        m_rssiBaseDb = wander(m_random, m_rssiBaseDb, 0.3, 55.0, 95.0);
    } else {
        // Box-Muller from two uniform draws.
        const double u1 = qMax(m_random.generateDouble(), 1e-12);
        const double u2 = m_random.generateDouble();
        noiseDb = m_rssiNoise * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
    }
    m_period.rssiCentiDb = qBound(0, int(std::lround((m_rssiBaseDb + attenuationDb + noiseDb) * 100)), 0xFFFF);
    m_temp1 = wander(m_random, m_temp1, 0.05, 25.0, 60.0);
    m_temp2 = wander(m_random, m_temp2, 0.05, 20.0, 55.0);
    m_rangeMetres = wander(m_random, m_rangeMetres, 5.0, 100.0, 60000.0);
}
