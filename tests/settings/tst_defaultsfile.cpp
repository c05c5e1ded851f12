#include "config_file.h"
#include "defaultsfile.h"
#include "defaultswindow.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr uint64_t kMHz = 1000000;
const QList<uint64_t> kChannels{1400 * kMHz, 1410 * kMHz, 1420 * kMHz};

ModemDefaults sample()
{
    ModemDefaults d;
    d.opmode = 149;
    d.rx_frequency = d.tx_frequency = 1420 * kMHz;
    d.ip_addr = 0x0A010203;
    d.prefix = 17;
    d.local_status = true;
    d.gateway = 0x0A0102FE;
    for (uint16_t i = 0; i < 5; ++i) {
        d.sockets[i] = {uint16_t(5000 + i), uint16_t(6000 + i), 0xC0A80100u + i};
        d.remote_sockets[i] = {uint16_t(7000 + i), uint16_t(8000 + i), 0x0A000001u + i};
    }
    d.tap_mode = 1;
    d.antenna_sel = 1;
    d.tx_mute = true;
    d.tx_power_mode = 55;
    d.gst_string_fm2 = QStringLiteral("поток ! fakesink").toUtf8();
    return d;
}

ConverterConfig sampleConverters()
{
    ConverterConfig c;
    for (int i = 0; i < 4; ++i)
        c.converters[i] = {i % 2 == 0, 9600, uint16_t(21000 + i), uint16_t(22000 + i), 0x7F000001u + uint32_t(i)};
    return c;
}

} // namespace

// The settings window's file buttons: what the form shows goes to a file and comes back into
// the form, and nothing is sent on the way.
class TestDefaultsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<DefaultsWindow> window;
    std::unique_ptr<QTemporaryDir> dir;
    DefaultsFile* file = nullptr;

    QByteArray formDefaults()
    {
        OP_PAYLOAD_t p;
        window->read_fields(p);
        return QByteArray(reinterpret_cast<const char*>(p.bytes), records::kDefaultsSize);
    }

    QByteArray formConverters()
    {
        OP_PAYLOAD_t p;
        window->read_conv(p);
        return QByteArray(reinterpret_cast<const char*>(p.bytes), records::kConverterConfigSize);
    }

    QString status() const { return window->findChild<QLabel*>("op_defaults_file_lbl")->text(); }

private slots:
    void init()
    {
        window = std::make_unique<DefaultsWindow>();
        dir = std::make_unique<QTemporaryDir>();
        file = window->findChild<DefaultsFile*>();
        QVERIFY(file);
        window->update_frequency_list(kChannels);
        const ModemDefaults d = sample();
        window->update_fields(&d);
        window->update_conv(sampleConverters());
    }

    void buttonsDoNotWidenTheWindow()
    {
        const QStringList added{"op_defaults_save_file_pb", "op_defaults_load_file_pb", "op_defaults_file_lbl"};
        const QSize with = window->minimumSizeHint();
        for (const QString& name : added) {
            QVERIFY(window->findChild<QWidget*>(name));
            window->findChild<QWidget*>(name)->hide();
        }
        window->layout()->invalidate();
        QCOMPARE(window->minimumSizeHint(), with);
    }

    void savedFormComesBackIntoTheFormWithoutSending()
    {
        QSignalSpy sent(window.get(), &DefaultsWindow::signal_selected_settings);
        QSignalSpy defaults(window.get(), &DefaultsWindow::signal_CMD_DEFAULTS_SET);
        const QByteArray before = formDefaults();
        const QByteArray convertersBefore = formConverters();
        QVERIFY(file->saveTo(dir->filePath("a.json")));
        QCOMPARE(status(), QStringLiteral("Сохранено: a.json"));

        ModemDefaults other;
        other.rx_frequency = other.tx_frequency = 1400 * kMHz;
        window->update_fields(&other);
        window->update_conv(ConverterConfig());
        QVERIFY(formDefaults() != before);

        QVERIFY(file->loadFrom(dir->filePath("a.json")));
        QCOMPARE(status(), QStringLiteral("Загружено: a.json"));
        QCOMPARE(formDefaults(), before);
        QCOMPARE(formConverters(), convertersBefore);
        QCOMPARE(sent.count() + defaults.count(), 0);
    }

    void savedFileHoldsTheSecretsLengthOnly()
    {
        window->findChild<QLineEdit*>("op_session_secret_le")->setText("c2VjcmV0"); // "secret"
        QVERIFY(file->saveTo(dir->filePath("a.json")));
        ModemConfiguration c;
        QString error;
        QVERIFY(configfile::readFile(dir->filePath("a.json"), c, error));
        QCOMPARE(c.secretLength, 6);
        QVERIFY(!c.secret);
        QCOMPARE(records::encodeDefaults(c.defaults), formDefaults());
    }

    void aFileWithTheSecretFillsTheSecretFields()
    {
        ModemConfiguration c;
        c.defaults = sample();
        c.secret = QByteArray("key");
        c.secretLength = 3;
        c.secretSave = true;
        QString error;
        QVERIFY(configfile::writeFile(dir->filePath("s.json"), c, error));
        QVERIFY(file->loadFrom(dir->filePath("s.json")));
        QCOMPARE(window->findChild<QLineEdit*>("op_session_secret_le")->text(), QStringLiteral("a2V5"));
        QVERIFY(window->findChild<QCheckBox*>("op_session_secret_save_chb")->isChecked());
    }

    void badFilesLeaveTheFormAsItWas_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("detail");
        QJsonObject root = QJsonDocument::fromJson(configfile::toJson(ModemConfiguration())).object();
        root.insert("format_version", 7);
        QTest::newRow("newer version") << QJsonDocument(root).toJson() << "newer";
        root.insert("format_version", 1);
        root.remove("converters");
        QTest::newRow("missing converters") << QJsonDocument(root).toJson() << "converters: missing";
        QTest::newRow("not json") << QByteArray("garbage") << "not JSON";
        QTest::newRow("no file") << QByteArray() << "none.json";
    }

    void badFilesLeaveTheFormAsItWas()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, detail);
        QString path = dir->filePath("none.json");
        if (!content.isEmpty()) {
            path = dir->filePath("bad.json");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = formDefaults();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Configuration file: .*"));
        QVERIFY(!file->loadFrom(path));
        QVERIFY(status().startsWith(QStringLiteral("Файл не прочитан")));
        QVERIFY(window->findChild<QLabel*>("op_defaults_file_lbl")->toolTip().contains(detail));
        QCOMPARE(formDefaults(), before);
    }

    void aFrequencyOffTheChannelListIsFlagged()
    {
        ModemConfiguration c;
        c.defaults = sample();
        c.defaults.rx_frequency = c.defaults.tx_frequency = 1415 * kMHz;
        QString error;
        QVERIFY(configfile::writeFile(dir->filePath("off.json"), c, error));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Configuration file: .*"));
        QVERIFY(file->loadFrom(dir->filePath("off.json")));
        QVERIFY(status().contains(QStringLiteral("нет в списке каналов")));
    }

    void buttonsAskForTheFileAndACancelDoesNothing()
    {
        QString chosen = dir->filePath("b.json");
        file->setChooser([&chosen](bool) { return chosen; });
        window->findChild<QPushButton*>("op_defaults_save_file_pb")->click();
        QVERIFY(QFile::exists(chosen));
        chosen.clear();
        window->findChild<QPushButton*>("op_defaults_load_file_pb")->click();
        QCOMPARE(status(), QStringLiteral("Сохранено: b.json"));
    }
};

QTEST_MAIN(TestDefaultsFile)
#include "tst_defaultsfile.moc"
