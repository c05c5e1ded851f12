#include "config_file.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The value with the entry at a dotted path such as "defaults.sockets[1].dest_port" replaced;
// an undefined value removes the entry.
QJsonValue withPath(const QJsonValue& v, QStringList path, const QJsonValue& value)
{
    if (path.isEmpty())
        return value;
    const auto m = QRegularExpression("^(.*)\\[(\\d+)\\]$").match(path.first());
    const QString key = m.hasMatch() ? m.captured(1) : path.first();
    path.removeFirst();
    QJsonObject o = v.toObject();
    QJsonValue inner;
    if (m.hasMatch()) {
        QJsonArray list = o.value(key).toArray();
        const int i = m.captured(2).toInt();
        const QJsonValue entry = withPath(list.at(i), path, value);
        entry.isUndefined() ? list.removeAt(i) : list.replace(i, entry);
        inner = list;
    } else {
        inner = withPath(o.value(key), path, value);
    }
    inner.isUndefined() ? o.remove(key) : void(o.insert(key, inner));
    return o;
}

QByteArray edited(const QString& path, const QJsonValue& value)
{
    const QJsonObject root = QJsonDocument::fromJson(configfile::toJson(ModemConfiguration())).object();
    return QJsonDocument(withPath(root, path.split('.'), value).toObject()).toJson();
}

} // namespace

// The configuration file: every stored field survives a round trip, a damaged or newer file is
// refused with the field it concerns, and comparisons name the fields that differ.
class TestConfigFile : public QObject {
    Q_OBJECT

private slots:
    // Every stored field changed, most to a limit: a field the file forgets shows up as a lost change.
    void everyFieldSurvivesTheFile()
    {
        ModemConfiguration c;
        ModemDefaults& d = c.defaults;
        d.opmode = 149;
        d.rx_frequency = 5950000000ULL;
        d.tx_frequency = 1411000001ULL;
        d.ip_addr = 0xC0A80B0C;
        d.prefix = 127;
        d.local_status = d.tx_mute = true;
        d.gateway = 0x0A000001;
        d.control_port = 40006;
        d.sockets[4].dest_addr = 0xFFFFFFFF;
        d.remote_sockets[0].self_port = 65535;
        d.remote_sockets[3].dest_port = 9;
        d.tap_mode = 3;
        d.antenna_sel = 1;
        d.tx_power_mode = 100;
        d.gst_string_fm2 = QByteArray(512, 'x');
        d.gst_string_fm4 = QString::fromUtf8("канал ! fakesink").toUtf8();
        c.converters.converters[3].enabled = true;
        c.converters.converters[1].baudrate = 0xFFFFFF;
        c.converters.converters[0].dest_port = 30000;
        c.converters.converters[2].dest_addr = 0x7F000001;
        c.secret = QByteArray("\0\x01\xFFkey", 6);
        c.secretLength = 6;
        c.secretSave = true;
        c.firmware = VersionInfo{2, 4, 1, 0xFFFFFFFF, 1, 2};
        c.bandPlan = ModemParameters{1400000000, 1450000000, 10000000};
        const QByteArray json = configfile::toJson(c);
        ModemConfiguration back;
        QString error;
        QVERIFY2(configfile::fromJson(json, back, error), qPrintable(error));
        QCOMPARE(records::encodeDefaults(back.defaults), records::encodeDefaults(c.defaults));
        QCOMPARE(records::encodeConverters(back.converters), records::encodeConverters(c.converters));
        QCOMPARE(back.secretLength, c.secretLength);
        QCOMPARE(back.secretSave, c.secretSave);
        QCOMPARE(back.secret, c.secret);
        QCOMPARE(configfile::toJson(back), json); // firmware and band plan included
    }

    void damagedFilesAreRefusedNamingTheField_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        const QJsonValue gone(QJsonValue::Undefined);
        QTest::newRow("not json") << QByteArray("{\"format\":") << "not JSON";
        QTest::newRow("a list") << QByteArray("[]") << "top level is not an object";
        QTest::newRow("other format") << edited("format", "x") << "format: not a modem configuration";
        QTest::newRow("newer version") << edited("format_version", 2)
                                       << "format_version: 2 is newer than this program reads (1)";
        QTest::newRow("no version") << edited("format_version", gone) << "format_version: missing";
        QTest::newRow("no converters") << edited("converters", gone) << "converters: missing";
        QTest::newRow("missing gateway") << edited("defaults.gateway", gone) << "defaults.gateway: missing";
        QTest::newRow("misspelt field") << edited("defaults.ipaddr", "1.2.3.4") << "defaults.ipaddr: unknown field";
        QTest::newRow("power 101 %") << edited("defaults.tx_power_mode_percent", 101)
                                     << "defaults.tx_power_mode_percent: 101 is out of range 0..100";
        QTest::newRow("prefix 128") << edited("defaults.prefix_bits", 128) << "defaults.prefix_bits: 128 is out of range";
        QTest::newRow("negative frequency") << edited("defaults.rx_frequency_hz", -1)
                                            << "defaults.rx_frequency_hz: -1 is out of range";
        QTest::newRow("fractional opmode") << edited("defaults.opmode", 4.5) << "defaults.opmode: must be a whole number";
        QTest::newRow("control port 0") << edited("defaults.control_port", 0) << "defaults.control_port: 0 is out of range";
        QTest::newRow("mute as text") << edited("defaults.tx_mute", "no") << "defaults.tx_mute: must be true or false";
        QTest::newRow("address with five groups") << edited("defaults.ip_addr", "1.2.3.4.5")
                                                  << "defaults.ip_addr: \"1.2.3.4.5\" is not an IPv4 address";
        QTest::newRow("pipeline of 513 bytes") << edited("defaults.gst_string_fm2", QString(513, 'a'))
                                               << "defaults.gst_string_fm2: longer than 512 bytes";
        QTest::newRow("four sockets") << edited("defaults.sockets[4]", gone)
                                      << "defaults.sockets: must hold 5 entries, holds 4";
        QTest::newRow("socket port 65536") << edited("defaults.remote_sockets[1].dest_port", 65536)
                                           << "defaults.remote_sockets[1].dest_port: 65536 is out of range";
        QTest::newRow("baud rate of 25 bits") << edited("converters[2].baudrate_bps", 16777216)
                                              << "converters[2].baudrate_bps: 16777216 is out of range";
        QTest::newRow("secret not base64") << edited("session_secret.secret_base64", "*!*")
                                           << "session_secret.secret_base64: is not Base64";
        QTest::newRow("secret longer than said") << edited("session_secret.secret_base64", "AAAA")
                                                 << "session_secret.secret_base64: holds 3 bytes, length_bytes says 0";
    }

    void damagedFilesAreRefusedNamingTheField()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        ModemConfiguration c;
        c.source = "untouched";
        QString why;
        QVERIFY(!configfile::fromJson(json, c, why));
        QVERIFY2(why.contains(error), qPrintable(why));
        QCOMPARE(c.source, QStringLiteral("untouched"));
    }

    void comparisonNamesDifferingFieldsAndHonoursIgnores_data()
    {
        QTest::addColumn<QStringList>("ignore");
        QTest::addColumn<QStringList>("fields");
        const QStringList all{"converters[1].enabled", "defaults.ip_addr", "defaults.sockets[0].dest_addr",
            "session_secret.length_bytes"};
        QTest::newRow("nothing ignored") << QStringList() << all;
        QTest::newRow("a field name anywhere") << QStringList{"dest_addr"} << QStringList{all[0], all[1], all[3]};
        QTest::newRow("a whole path") << QStringList{"defaults.ip_addr"} << QStringList{all[0], all[2], all[3]};
        QTest::newRow("a section") << QStringList{"converters", "session_secret"} << QStringList{all[1], all[2]};
        QTest::newRow("an entry of a list") << QStringList{"defaults.sockets[0]"} << QStringList{all[0], all[1], all[3]};
        QTest::newRow("a name's prefix is not the name") << QStringList{"ip"} << all;
    }

    void comparisonNamesDifferingFieldsAndHonoursIgnores()
    {
        QFETCH(QStringList, ignore);
        QFETCH(QStringList, fields);
        ModemConfiguration a;
        ModemConfiguration b;
        b.defaults.ip_addr = 0x7F00000C;
        b.defaults.sockets[0].dest_addr = 1;
        b.converters.converters[1].enabled = true;
        b.secret = QByteArray("ab");
        b.secretLength = 2;
        b.firmware = VersionInfo{9, 9, 9, 9, 9, 9}; // describes the modem, not its settings
        QStringList got;
        for (const FieldDifference& d : configfile::withoutIgnored(configfile::compare(a, b), ignore))
            got << d.field;
        QCOMPARE(got, fields);
    }

    void secretsCompareByBytesOnlyWhenBothSidesHoldThem()
    {
        ModemConfiguration a;
        a.secretLength = 3;
        ModemConfiguration b = a;
        b.secret = QByteArray("xyz");
        QVERIFY(configfile::compare(a, b).isEmpty());
        a.secret = QByteArray("xyw");
        const auto diff = configfile::compare(a, b);
        QCOMPARE(diff.size(), 1);
        QCOMPARE(diff.first().field, QStringLiteral("session_secret.secret_base64"));
    }

    void fileErrorsNameTheFile()
    {
        QTemporaryDir dir;
        QString error;
        ModemConfiguration back;
        QVERIFY(!configfile::writeFile(dir.filePath("missing/b.json"), ModemConfiguration(), error));
        QVERIFY(error.contains("missing/b.json"));
        QVERIFY(!configfile::readFile(dir.filePath("none.json"), back, error));
        QVERIFY(error.contains("none.json"));
    }

    void readmeSchemaNamesEveryStoredField()
    {
        QFile readme(QStringLiteral(STATION_README));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const int start = text.indexOf("## Fleet command line");
        QVERIFY(start >= 0);
        const int end = text.indexOf("\n## ", start + 1);
        const QString section = text.mid(start, end < 0 ? -1 : end - start);
        ModemConfiguration full;
        full.secret = QByteArray("s");
        full.firmware = VersionInfo();
        full.bandPlan = ModemParameters();
        const QJsonObject root = QJsonDocument::fromJson(configfile::toJson(full)).object();
        for (const auto& field : configfile::fields(root)) {
            for (QString name : field.first.split('.')) {
                name.remove(QRegularExpression("\\[\\d+\\]$"));
                QVERIFY2(section.contains('"' + name + '"'), qPrintable(name));
            }
        }
    }

    void dottedAddressesAreStrict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "192.168.11.12" << true;
        QTest::newRow("zeros") << "0.0.0.0" << true;
        QTest::newRow("group 256") << "10.0.0.256" << false;
        QTest::newRow("blank group") << "1..2.3" << false;
        QTest::newRow("space") << "1.2.3. 4" << false;
        QTest::newRow("sign") << "1.2.3.+4" << false;
        QTest::newRow("four digits") << "1.2.3.0004" << false;
        QTest::newRow("hostname") << "modem.local" << false;
    }

    void dottedAddressesAreStrict()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        uint32_t value = 0;
        QCOMPARE(configfile::parseAddress(text, value), valid);
    }
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_config_file.moc"
