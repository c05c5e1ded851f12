#include "config_file.h"

#include "ipv4text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <cmath>

namespace configfile {

const char* const kFormatName = "zarnik-modem-config";

namespace {

constexpr int kSocketCount = 5;
constexpr int kConverterCount = 4;
constexpr double kLargestExactInteger = 9007199254740991.0; // 2^53 - 1: a JSON number holds it exactly

QJsonValue number(uint64_t value) { return QJsonValue(double(value)); }

QJsonObject socketJson(const SocketEntry& s)
{
    return {{"self_port", s.self_port}, {"dest_addr", ipv4text::format(s.dest_addr)}, {"dest_port", s.dest_port}};
}

} // namespace

QJsonObject defaultsObject(const ModemDefaults& d)
{
    QJsonArray sockets;
    QJsonArray remote;
    for (int i = 0; i < kSocketCount; ++i) {
        sockets.append(socketJson(d.sockets[i]));
        remote.append(socketJson(d.remote_sockets[i]));
    }
    return {
        {"opmode", d.opmode},
        {"rx_frequency_hz", number(d.rx_frequency)},
        {"tx_frequency_hz", number(d.tx_frequency)},
        {"ip_addr", ipv4text::format(d.ip_addr)},
        {"prefix_bits", d.prefix},
        {"local_status", d.local_status},
        {"gateway", ipv4text::format(d.gateway)},
        {"control_port", d.control_port},
        {"sockets", sockets},
        {"remote_sockets", remote},
        {"tap_mode", d.tap_mode},
        {"antenna_sel", d.antenna_sel},
        {"tx_mute", d.tx_mute},
        {"tx_power_mode_percent", d.tx_power_mode},
        {"gst_string_fm2", QString::fromUtf8(d.gst_string_fm2)},
        {"gst_string_fm4", QString::fromUtf8(d.gst_string_fm4)},
    };
}

QJsonArray convertersArray(const ConverterConfig& c)
{
    QJsonArray list;
    for (const ConverterEntry& e : c.converters) {
        list.append(QJsonObject{{"enabled", e.enabled}, {"baudrate_bps", number(e.baudrate)},
            {"self_port", e.self_port}, {"dest_addr", ipv4text::format(e.dest_addr)}, {"dest_port", e.dest_port}});
    }
    return list;
}

namespace {

QJsonObject secretJson(const ModemConfiguration& c)
{
    QJsonObject s{{"length_bytes", c.secretLength}, {"save", c.secretSave}};
    if (c.secret)
        s.insert("secret_base64", QString::fromLatin1(c.secret->toBase64()));
    return s;
}

QJsonObject settingsJson(const ModemConfiguration& c)
{
    return {{"defaults", defaultsObject(c.defaults)}, {"converters", convertersArray(c.converters)},
        {"session_secret", secretJson(c)}};
}

// Walks a parsed document keeping the path of the value at hand; the first fault wins.
class Reader {
public:
    QString error;

    bool ok() const { return error.isEmpty(); }

    void fail(const QString& path, const QString& what)
    {
        if (ok())
            error = QStringLiteral("%1: %2").arg(path, what);
    }

    // The object at `path`, with every key it holds known to the format.
    QJsonObject object(const QJsonValue& v, const QString& path, const QStringList& known, const QStringList& optional = {})
    {
        if (!v.isObject()) {
            fail(path, v.isUndefined() ? QStringLiteral("missing") : QStringLiteral("must be an object"));
            return {};
        }
        const QJsonObject o = v.toObject();
        for (const QString& key : o.keys()) {
            if (!known.contains(key) && !optional.contains(key))
                fail(join(path, key), QStringLiteral("unknown field"));
        }
        for (const QString& key : known) {
            if (!o.contains(key))
                fail(join(path, key), QStringLiteral("missing"));
        }
        return o;
    }

    QJsonArray array(const QJsonValue& v, const QString& path, int size)
    {
        if (!v.isArray()) {
            fail(path, v.isUndefined() ? QStringLiteral("missing") : QStringLiteral("must be a list"));
            return {};
        }
        const QJsonArray a = v.toArray();
        if (a.size() != size)
            fail(path, QStringLiteral("must hold %1 entries, holds %2").arg(size).arg(a.size()));
        return a;
    }

    uint64_t integer(const QJsonObject& o, const QString& path, const QString& key, double low, double high)
    {
        const QJsonValue v = o.value(key);
        const double d = v.toDouble(-1.0);
        if (!v.isDouble() || std::floor(d) != d) {
            fail(join(path, key), QStringLiteral("must be a whole number"));
            return 0;
        }
        if (d < low || d > high) {
            fail(join(path, key), QStringLiteral("%1 is out of range %2..%3")
                .arg(QString::number(d, 'f', 0), QString::number(low, 'f', 0), QString::number(high, 'f', 0)));
            return 0;
        }
        return uint64_t(d);
    }

    bool boolean(const QJsonObject& o, const QString& path, const QString& key)
    {
        const QJsonValue v = o.value(key);
        if (!v.isBool())
            fail(join(path, key), QStringLiteral("must be true or false"));
        return v.toBool();
    }

    QString text(const QJsonObject& o, const QString& path, const QString& key)
    {
        const QJsonValue v = o.value(key);
        if (!v.isString())
            fail(join(path, key), QStringLiteral("must be a text"));
        return v.toString();
    }

    uint32_t address(const QJsonObject& o, const QString& path, const QString& key)
    {
        uint32_t value = 0;
        const QString t = text(o, path, key);
        if (ok() && !parseAddress(t, value))
            fail(join(path, key), QStringLiteral("\"%1\" is not an IPv4 address").arg(t));
        return value;
    }

    QByteArray pipeline(const QJsonObject& o, const QString& path, const QString& key)
    {
        const QByteArray utf8 = text(o, path, key).toUtf8();
        if (utf8.size() > records::kGstStringSize)
            fail(join(path, key), QStringLiteral("longer than %1 bytes").arg(records::kGstStringSize));
        if (utf8.contains('\0'))
            fail(join(path, key), QStringLiteral("holds a NUL character"));
        return utf8;
    }

    static QString join(const QString& path, const QString& key) { return path.isEmpty() ? key : path + '.' + key; }
};

SocketEntry readSocket(Reader& r, const QJsonValue& v, const QString& path)
{
    const QJsonObject o = r.object(v, path, {"self_port", "dest_addr", "dest_port"});
    SocketEntry s;
    s.self_port = uint16_t(r.integer(o, path, "self_port", 0, 65535));
    s.dest_addr = r.address(o, path, "dest_addr");
    s.dest_port = uint16_t(r.integer(o, path, "dest_port", 0, 65535));
    return s;
}

void readSockets(Reader& r, const QJsonObject& o, const QString& path, const QString& key, SocketEntry* entries)
{
    const QString listPath = Reader::join(path, key);
    const QJsonArray list = r.array(o.value(key), listPath, kSocketCount);
    for (int i = 0; i < kSocketCount && r.ok(); ++i)
        entries[i] = readSocket(r, list.at(i), QStringLiteral("%1[%2]").arg(listPath).arg(i));
}

ModemDefaults readDefaults(Reader& r, const QJsonValue& v)
{
    const QString path = QStringLiteral("defaults");
    const QJsonObject o = r.object(v, path, {"opmode", "rx_frequency_hz", "tx_frequency_hz", "ip_addr",
        "prefix_bits", "local_status", "gateway", "control_port", "sockets", "remote_sockets", "tap_mode",
        "antenna_sel", "tx_mute", "tx_power_mode_percent", "gst_string_fm2", "gst_string_fm4"});
    ModemDefaults d;
    if (!r.ok())
        return d;
    d.opmode = uint8_t(r.integer(o, path, "opmode", 0, 255));
    d.rx_frequency = r.integer(o, path, "rx_frequency_hz", 0, kLargestExactInteger);
    d.tx_frequency = r.integer(o, path, "tx_frequency_hz", 0, kLargestExactInteger);
    d.ip_addr = r.address(o, path, "ip_addr");
    d.prefix = uint8_t(r.integer(o, path, "prefix_bits", 0, 127));
    d.local_status = r.boolean(o, path, "local_status");
    d.gateway = r.address(o, path, "gateway");
    d.control_port = uint16_t(r.integer(o, path, "control_port", 1, 65535));
    readSockets(r, o, path, "sockets", d.sockets);
    readSockets(r, o, path, "remote_sockets", d.remote_sockets);
    d.tap_mode = uint8_t(r.integer(o, path, "tap_mode", 0, 3));
    d.antenna_sel = uint8_t(r.integer(o, path, "antenna_sel", 0, 1));
    d.tx_mute = r.boolean(o, path, "tx_mute");
    d.tx_power_mode = uint8_t(r.integer(o, path, "tx_power_mode_percent", 0, 100));
    d.gst_string_fm2 = r.pipeline(o, path, "gst_string_fm2");
    d.gst_string_fm4 = r.pipeline(o, path, "gst_string_fm4");
    return d;
}

ConverterConfig readConverters(Reader& r, const QJsonValue& v)
{
    ConverterConfig c;
    const QJsonArray list = r.array(v, QStringLiteral("converters"), kConverterCount);
    for (int i = 0; i < kConverterCount && r.ok(); ++i) {
        const QString path = QStringLiteral("converters[%1]").arg(i);
        const QJsonObject o = r.object(list.at(i), path, {"enabled", "baudrate_bps", "self_port", "dest_addr", "dest_port"});
        if (!r.ok())
            break;
        ConverterEntry& e = c.converters[i];
        e.enabled = r.boolean(o, path, "enabled");
        e.baudrate = uint32_t(r.integer(o, path, "baudrate_bps", 0, 0xFFFFFF));
        e.self_port = uint16_t(r.integer(o, path, "self_port", 0, 65535));
        e.dest_addr = r.address(o, path, "dest_addr");
        e.dest_port = uint16_t(r.integer(o, path, "dest_port", 0, 65535));
    }
    return c;
}

void readSecret(Reader& r, const QJsonValue& v, ModemConfiguration& c)
{
    const QString path = QStringLiteral("session_secret");
    const QJsonObject o = r.object(v, path, {"length_bytes", "save"}, {"secret_base64"});
    if (!r.ok())
        return;
    c.secretLength = int(r.integer(o, path, "length_bytes", 0, records::kSecretCapacity));
    c.secretSave = r.boolean(o, path, "save");
    if (!r.ok() || !o.contains("secret_base64"))
        return;
    const QString text = r.text(o, path, "secret_base64");
    const auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        r.fail(path + ".secret_base64", QStringLiteral("is not Base64"));
        return;
    }
    if (decoded.decoded.size() != c.secretLength) {
        r.fail(path + ".secret_base64", QStringLiteral("holds %1 bytes, length_bytes says %2")
            .arg(decoded.decoded.size()).arg(c.secretLength));
        return;
    }
    c.secret = decoded.decoded;
}

void readFirmware(Reader& r, const QJsonValue& v, ModemConfiguration& c)
{
    if (v.isNull())
        return;
    const QString path = QStringLiteral("firmware");
    const QJsonObject o = r.object(v, path, {"major", "minor", "revision", "build", "hardware", "function"});
    if (!r.ok())
        return;
    VersionInfo f;
    f.major = uint16_t(r.integer(o, path, "major", 0, 65535));
    f.minor = uint8_t(r.integer(o, path, "minor", 0, 255));
    f.revision = uint8_t(r.integer(o, path, "revision", 0, 255));
    f.build = uint32_t(r.integer(o, path, "build", 0, 4294967295.0));
    f.hardware = uint8_t(r.integer(o, path, "hardware", 0, 255));
    f.function = uint8_t(r.integer(o, path, "function", 0, 255));
    c.firmware = f;
}

void readBandPlan(Reader& r, const QJsonValue& v, ModemConfiguration& c)
{
    if (v.isNull())
        return;
    const QString path = QStringLiteral("band_plan");
    const QJsonObject o = r.object(v, path, {"lowest_hz", "highest_hz", "step_hz"});
    if (!r.ok())
        return;
    ModemParameters p;
    p.lowest = r.integer(o, path, "lowest_hz", 0, kLargestExactInteger);
    p.highest = r.integer(o, path, "highest_hz", 0, kLargestExactInteger);
    p.step = uint32_t(r.integer(o, path, "step_hz", 0, 4294967295.0));
    c.bandPlan = p;
}

// Leaf values by path, e.g. "defaults.sockets[0].self_port" -> "10001".
void flatten(const QJsonValue& v, const QString& path, QMap<QString, QString>& out)
{
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            flatten(it.value(), Reader::join(path, it.key()), out);
    } else if (v.isArray()) {
        const QJsonArray a = v.toArray();
        for (int i = 0; i < a.size(); ++i)
            flatten(a.at(i), QStringLiteral("%1[%2]").arg(path).arg(i), out);
    } else if (v.isString()) {
        out.insert(path, QStringLiteral("\"%1\"").arg(v.toString()));
    } else if (v.isBool()) {
        out.insert(path, v.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    } else {
        out.insert(path, QString::number(v.toDouble(), 'f', 0));
    }
}

bool ignored(const QString& field, const QStringList& patterns)
{
    for (const QString& p : patterns) {
        if (p.isEmpty())
            continue;
        if (field == p || field.startsWith(p + '.') || field.startsWith(p + '['))
            return true;
        // A bare name matches that field or section at any depth.
        for (const QString& part : field.split('.')) {
            if (part == p || part.section('[', 0, 0) == p)
                return true;
        }
    }
    return false;
}

} // namespace

QList<QPair<QString, QString>> fields(const QJsonValue& value)
{
    QMap<QString, QString> flat;
    flatten(value, QString(), flat);
    QList<QPair<QString, QString>> list;
    for (auto it = flat.cbegin(); it != flat.cend(); ++it)
        list.append({it.key(), it.value()});
    return list;
}

QByteArray toJson(const ModemConfiguration& c)
{
    QJsonObject root = settingsJson(c);
    root.insert("format", QString::fromLatin1(kFormatName));
    root.insert("format_version", kFormatVersion);
    root.insert("source", c.source);
    root.insert("saved", c.saved);
    if (c.firmware) {
        const VersionInfo& f = *c.firmware;
        root.insert("firmware", QJsonObject{{"major", f.major}, {"minor", f.minor}, {"revision", f.revision},
            {"build", number(f.build)}, {"hardware", f.hardware}, {"function", f.function}});
    } else {
        root.insert("firmware", QJsonValue::Null);
    }
    if (c.bandPlan) {
        root.insert("band_plan", QJsonObject{{"lowest_hz", number(c.bandPlan->lowest)},
            {"highest_hz", number(c.bandPlan->highest)}, {"step_hz", number(c.bandPlan->step)}});
    } else {
        root.insert("band_plan", QJsonValue::Null);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool fromJson(const QByteArray& json, ModemConfiguration& config, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("not a modem configuration: the top level is not an object");
        return false;
    }
    const QJsonObject root = doc.object();
    if (root.value("format").toString() != QLatin1String(kFormatName)) {
        error = QStringLiteral("format: not a modem configuration (expected \"%1\")").arg(kFormatName);
        return false;
    }
    // The version decides what else the file may hold, so it is checked before any other field.
    const QJsonValue version = root.value("format_version");
    const double v = version.toDouble(-1.0);
    if (!version.isDouble() || std::floor(v) != v || v < 1) {
        error = QStringLiteral("format_version: missing or not a positive whole number");
        return false;
    }
    if (v > kFormatVersion) {
        error = QStringLiteral("format_version: %1 is newer than this program reads (%2)")
                    .arg(QString::number(v, 'f', 0)).arg(kFormatVersion);
        return false;
    }

    Reader r;
    r.object(root, QString(), {"format", "format_version", "source", "saved", "firmware", "band_plan", "defaults",
        "converters", "session_secret"});
    ModemConfiguration c;
    if (r.ok()) {
        c.source = r.text(root, QString(), "source");
        c.saved = r.text(root, QString(), "saved");
        readFirmware(r, root.value("firmware"), c);
        readBandPlan(r, root.value("band_plan"), c);
        c.defaults = readDefaults(r, root.value("defaults"));
    }
    if (r.ok())
        c.converters = readConverters(r, root.value("converters"));
    if (r.ok())
        readSecret(r, root.value("session_secret"), c);
    if (!r.ok()) {
        error = r.error;
        return false;
    }
    config = c;
    return true;
}

bool readFile(const QString& path, ModemConfiguration& config, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // A configuration is a few kilobytes; anything far larger is not one.
    constexpr qint64 kLargestFile = 1 << 20;
    if (file.size() > kLargestFile) {
        error = QStringLiteral("%1: too large for a modem configuration").arg(path);
        return false;
    }
    QString why;
    if (!fromJson(file.readAll(), config, why)) {
        error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool writeFile(const QString& path, const ModemConfiguration& config, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson(config)) < 0 || !file.commit()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QList<FieldDifference> compare(const ModemConfiguration& left, const ModemConfiguration& right)
{
    QMap<QString, QString> a;
    QMap<QString, QString> b;
    flatten(settingsJson(left), QString(), a);
    flatten(settingsJson(right), QString(), b);
    const QString secretKey = QStringLiteral("session_secret.secret_base64");
    if (!a.contains(secretKey) || !b.contains(secretKey)) {
        a.remove(secretKey);
        b.remove(secretKey);
    }
    QList<FieldDifference> differences;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        const QString other = b.value(it.key());
        if (other != it.value())
            differences.append({it.key(), it.value(), other});
    }
    return differences;
}

QList<FieldDifference> withoutIgnored(const QList<FieldDifference>& differences, const QStringList& patterns)
{
    QList<FieldDifference> kept;
    for (const FieldDifference& d : differences) {
        if (!ignored(d.field, patterns))
            kept.append(d);
    }
    return kept;
}

bool parseAddress(const QString& text, uint32_t& hostOrder)
{
    const QStringList groups = text.split('.');
    if (groups.size() != 4)
        return false;
    uint32_t value = 0;
    for (const QString& g : groups) {
        if (g.isEmpty() || g.size() > 3)
            return false;
        for (const QChar ch : g) {
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
                return false;
        }
        const uint octet = g.toUInt();
        if (octet > 255)
            return false;
        value = (value << 8) | octet;
    }
    hostOrder = value;
    return true;
}

} // namespace configfile
