#include "config_file.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

using Change = std::function<void(ModemConfiguration&)>;

// One change per stored field, so that a field the file forgets shows up as a lost change.
const QList<QPair<const char*, Change>>& changes()
{
    static const QList<QPair<const char*, Change>> list{
        {"opmode", [](ModemConfiguration& c) { c.defaults.opmode = 149; }},
        {"rx frequency", [](ModemConfiguration& c) { c.defaults.rx_frequency = 5950000000ULL; }},
        {"tx frequency", [](ModemConfiguration& c) { c.defaults.tx_frequency = 1411000001ULL; }},
        {"ip address", [](ModemConfiguration& c) { c.defaults.ip_addr = 0xC0A80B0C; }},
        {"prefix", [](ModemConfiguration& c) { c.defaults.prefix = 127; }},
        {"local status", [](ModemConfiguration& c) { c.defaults.local_status = true; }},
        {"gateway", [](ModemConfiguration& c) { c.defaults.gateway = 0x0A000001; }},
        {"control port", [](ModemConfiguration& c) { c.defaults.control_port = 40006; }},
        {"socket 4 destination", [](ModemConfiguration& c) { c.defaults.sockets[4].dest_addr = 0xFFFFFFFF; }},
        {"remote socket 0 self port", [](ModemConfiguration& c) { c.defaults.remote_sockets[0].self_port = 65535; }},
        {"remote socket 3 destination port", [](ModemConfiguration& c) { c.defaults.remote_sockets[3].dest_port = 9; }},
        {"tap mode", [](ModemConfiguration& c) { c.defaults.tap_mode = 3; }},
        {"antenna", [](ModemConfiguration& c) { c.defaults.antenna_sel = 1; }},
        {"transmitter muted", [](ModemConfiguration& c) { c.defaults.tx_mute = true; }},
        {"power", [](ModemConfiguration& c) { c.defaults.tx_power_mode = 100; }},
        {"pipeline fm2 of 512 bytes", [](ModemConfiguration& c) { c.defaults.gst_string_fm2 = QByteArray(512, 'x'); }},
        {"pipeline fm4 in Cyrillic", [](ModemConfiguration& c) { c.defaults.gst_string_fm4 = QString::fromUtf8("канал ! fakesink").toUtf8(); }},
        {"converter 3 enabled", [](ModemConfiguration& c) { c.converters.converters[3].enabled = true; }},
        {"converter 1 baud rate", [](ModemConfiguration& c) { c.converters.converters[1].baudrate = 0xFFFFFF; }},
        {"converter 0 ports", [](ModemConfiguration& c) { c.converters.converters[0].dest_port = 30000; }},
        {"converter 2 destination", [](ModemConfiguration& c) { c.converters.converters[2].dest_addr = 0x7F000001; }},
        {"secret kept", [](ModemConfiguration& c) { c.secret = QByteArray("\0\x01\xFFkey", 6); c.secretLength = 6; }},
        {"secret saved", [](ModemConfiguration& c) { c.secretSave = true; }},
        {"firmware", [](ModemConfiguration& c) { c.firmware = VersionInfo{2, 4, 1, 0xFFFFFFFF, 1, 2}; }},
        {"band plan", [](ModemConfiguration& c) { c.bandPlan = ModemParameters{1400000000, 1450000000, 10000000}; }},
    };
    return list;
}

QByteArray edited(const std::function<void(QJsonObject&)>& edit)
{
    QJsonObject root = QJsonDocument::fromJson(configfile::toJson(ModemConfiguration())).object();
    edit(root);
    return QJsonDocument(root).toJson();
}

// Sets one key of a section (or the top level when section is empty); a null value removes it.
std::function<void(QJsonObject&)> setKey(const QString& section, const QString& key, const QJsonValue& value)
{
    return [=](QJsonObject& root) {
        QJsonObject o = section.isEmpty() ? root : root.value(section).toObject();
        if (value.isUndefined())
            o.remove(key);
        else
            o.insert(key, value);
        if (section.isEmpty())
            root = o;
        else
            root.insert(section, o);
    };
}

} // namespace

// The configuration file: every stored field survives a round trip, a damaged or newer file is
// refused with the field it concerns, and comparisons name the fields that differ.
class TestConfigFile : public QObject {
    Q_OBJECT

private slots:
    void everyFieldSurvivesTheFile_data()
    {
        QTest::addColumn<int>("change");
        for (int i = 0; i < changes().size(); ++i)
            QTest::newRow(changes().at(i).first) << i;
    }

    void everyFieldSurvivesTheFile()
    {
        QFETCH(int, change);
        ModemConfiguration c;
        changes().at(change).second(c);
        const QByteArray json = configfile::toJson(c);
        QVERIFY(json != configfile::toJson(ModemConfiguration()));

        ModemConfiguration back;
        QString error;
        QVERIFY2(configfile::fromJson(json, back, error), qPrintable(error));
        QCOMPARE(records::encodeDefaults(back.defaults), records::encodeDefaults(c.defaults));
        QCOMPARE(records::encodeConverters(back.converters), records::encodeConverters(c.converters));
        QCOMPARE(back.secretLength, c.secretLength);
        QCOMPARE(back.secretSave, c.secretSave);
        QCOMPARE(back.secret, c.secret);
        QCOMPARE(configfile::toJson(back), json);
    }

    void damagedFilesAreRefusedNamingTheField_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("error");
        QTest::newRow("not json") << QByteArray("{\"format\":") << "not JSON";
        QTest::newRow("a list") << QByteArray("[]") << "top level is not an object";
        QTest::newRow("other format") << edited(setKey("", "format", "x")) << "format: not a modem configuration";
        QTest::newRow("newer version") << edited(setKey("", "format_version", 2))
                                       << "format_version: 2 is newer than this program reads (1)";
        QTest::newRow("no version") << edited(setKey("", "format_version", QJsonValue::Undefined))
                                    << "format_version: missing";
        QTest::newRow("no converters") << edited(setKey("", "converters", QJsonValue::Undefined)) << "converters: missing";
        QTest::newRow("missing gateway") << edited(setKey("defaults", "gateway", QJsonValue::Undefined))
                                         << "defaults.gateway: missing";
        QTest::newRow("misspelt field") << edited(setKey("defaults", "ipaddr", "1.2.3.4")) << "defaults.ipaddr: unknown field";
        QTest::newRow("power 101 %") << edited(setKey("defaults", "tx_power_mode_percent", 101))
                                     << "defaults.tx_power_mode_percent: 101 is out of range 0..100";
        QTest::newRow("prefix 128") << edited(setKey("defaults", "prefix_bits", 128)) << "defaults.prefix_bits: 128 is out of range";
        QTest::newRow("tap mode 4") << edited(setKey("defaults", "tap_mode", 4)) << "defaults.tap_mode: 4 is out of range";
        QTest::newRow("negative frequency") << edited(setKey("defaults", "rx_frequency_hz", -1))
                                            << "defaults.rx_frequency_hz: -1 is out of range";
        QTest::newRow("fractional opmode") << edited(setKey("defaults", "opmode", 4.5)) << "defaults.opmode: must be a whole number";
        QTest::newRow("control port 0") << edited(setKey("defaults", "control_port", 0)) << "defaults.control_port: 0 is out of range";
        QTest::newRow("mute as text") << edited(setKey("defaults", "tx_mute", "no")) << "defaults.tx_mute: must be true or false";
        QTest::newRow("address with five groups") << edited(setKey("defaults", "ip_addr", "1.2.3.4.5"))
                                                  << "defaults.ip_addr: \"1.2.3.4.5\" is not an IPv4 address";
        QTest::newRow("address group 256") << edited(setKey("defaults", "gateway", "10.0.0.256")) << "defaults.gateway:";
        QTest::newRow("pipeline of 513 bytes") << edited(setKey("defaults", "gst_string_fm2", QString(513, 'a')))
                                               << "defaults.gst_string_fm2: longer than 512 bytes";
        QTest::newRow("four sockets") << edited([](QJsonObject& root) {
            QJsonObject d = root.value("defaults").toObject();
            QJsonArray s = d.value("sockets").toArray();
            s.removeLast();
            d.insert("sockets", s);
            root.insert("defaults", d);
        }) << "defaults.sockets: must hold 5 entries, holds 4";
        QTest::newRow("socket port 65536") << edited([](QJsonObject& root) {
            QJsonObject d = root.value("defaults").toObject();
            QJsonArray s = d.value("remote_sockets").toArray();
            QJsonObject e = s.at(1).toObject();
            e.insert("dest_port", 65536);
            s.replace(1, e);
            d.insert("remote_sockets", s);
            root.insert("defaults", d);
        }) << "defaults.remote_sockets[1].dest_port: 65536 is out of range";
        QTest::newRow("baud rate of 25 bits") << edited([](QJsonObject& root) {
            QJsonArray list = root.value("converters").toArray();
            QJsonObject e = list.at(2).toObject();
            e.insert("baudrate_bps", 16777216);
            list.replace(2, e);
            root.insert("converters", list);
        }) << "converters[2].baudrate_bps: 16777216 is out of range";
        QTest::newRow("secret not base64") << edited([](QJsonObject& root) {
            QJsonObject s = root.value("session_secret").toObject();
            s.insert("secret_base64", "*!*");
            root.insert("session_secret", s);
        }) << "session_secret.secret_base64: is not Base64";
        QTest::newRow("secret longer than said") << edited([](QJsonObject& root) {
            QJsonObject s = root.value("session_secret").toObject();
            s.insert("secret_base64", "AAAA");
            root.insert("session_secret", s);
        }) << "session_secret.secret_base64: holds 3 bytes, length_bytes says 0";
    }

    void damagedFilesAreRefusedNamingTheField()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, error);
        ModemConfiguration c;
        c.source = "untouched";
        QString why;
        QVERIFY(!configfile::fromJson(json, c, why));
        QVERIFY2(why.startsWith(error) || why.contains(error), qPrintable(why));
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
        // Firmware and band plan describe the modem, not its settings.
        b.firmware = VersionInfo{9, 9, 9, 9, 9, 9};
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
        QCOMPARE(configfile::compare(a, b).size(), 1);
        QCOMPARE(configfile::compare(a, b).first().field, QStringLiteral("session_secret.secret_base64"));
    }

    void aFailedWriteKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.json");
        QString error;
        QVERIFY(configfile::writeFile(path, ModemConfiguration(), error));
        QVERIFY(!configfile::writeFile(dir.filePath("missing/b.json"), ModemConfiguration(), error));
        QVERIFY(error.contains("missing/b.json"));
        ModemConfiguration back;
        QVERIFY(configfile::readFile(path, back, error));
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
        QJsonObject root = QJsonDocument::fromJson(configfile::toJson(full)).object();
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
