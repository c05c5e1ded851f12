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
#include <functional>

namespace {

constexpr uint64_t kMHz = 1000000;

ModemDefaults sample()
{
    ModemDefaults d;
    d.opmode = 149;
    d.rx_frequency = d.tx_frequency = 1420 * kMHz;
    d.ip_addr = 0x0A010203;
    d.prefix = 17;
    d.local_status = d.tx_mute = true;
    d.gateway = 0x0A0102FE;
    for (uint16_t i = 0; i < 5; ++i) {
        d.sockets[i] = {uint16_t(5000 + i), uint16_t(6000 + i), 0xC0A80100u + i};
        d.remote_sockets[i] = {uint16_t(7000 + i), uint16_t(8000 + i), 0x0A000001u + i};
    }
    d.tap_mode = d.antenna_sel = 1;
    d.tx_power_mode = 55;
    d.gst_string_fm2 = QStringLiteral("поток ! fakesink").toUtf8();
    return d;
}

} // namespace

// The settings window's file buttons: what the form shows goes to a file and comes back into
// the form, and nothing is sent on the way.
class TestDefaultsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<DefaultsWindow> window;
    std::unique_ptr<QTemporaryDir> dir;
    DefaultsFile* file = nullptr;

    QByteArray form(void (DefaultsWindow::*read)(OP_PAYLOAD_t&) = &DefaultsWindow::read_fields,
        int size = records::kDefaultsSize)
    {
        OP_PAYLOAD_t p;
        (window.get()->*read)(p);
        return QByteArray(reinterpret_cast<const char*>(p.bytes), size);
    }
    QByteArray formConverters() { return form(&DefaultsWindow::read_conv, records::kConverterConfigSize); }

    // A file holding the sample settings, changed by `change`.
    QString writeSample(const QString& name, const std::function<void(ModemConfiguration&)>& change)
    {
        ModemConfiguration c;
        c.defaults = sample();
        change(c);
        QString error;
        return configfile::writeFile(dir->filePath(name), c, error) ? dir->filePath(name) : QString();
    }

    QLabel* label() const { return window->findChild<QLabel*>("op_defaults_file_lbl"); }

private slots:
    void init()
    {
        window = std::make_unique<DefaultsWindow>();
        dir = std::make_unique<QTemporaryDir>();
        file = window->findChild<DefaultsFile*>();
        QVERIFY(file);
        window->update_frequency_list({1400 * kMHz, 1410 * kMHz, 1420 * kMHz});
        const ModemDefaults d = sample();
        window->update_fields(&d);
        ConverterConfig c;
        for (int i = 0; i < 4; ++i)
            c.converters[i] = {i % 2 == 0, 9600, uint16_t(21000 + i), uint16_t(22000 + i), 0x7F000001u + uint32_t(i)};
        window->update_conv(c);
    }

    void buttonsDoNotWidenTheWindow()
    {
        const QSize with = window->minimumSizeHint();
        for (const char* name : {"op_defaults_save_file_pb", "op_defaults_load_file_pb", "op_defaults_file_lbl"}) {
            QVERIFY(window->findChild<QWidget*>(name));
            window->findChild<QWidget*>(name)->hide();
        }
        window->layout()->invalidate();
        QCOMPARE(window->minimumSizeHint(), with);
    }

    // Also: the file holds the secret's length, never the secret.
    void savedFormComesBackIntoTheFormWithoutSending()
    {
        QSignalSpy sent(window.get(), &DefaultsWindow::signal_selected_settings);
        QSignalSpy defaults(window.get(), &DefaultsWindow::signal_CMD_DEFAULTS_SET);
        window->findChild<QLineEdit*>("op_session_secret_le")->setText("c2VjcmV0"); // "secret"
        const QByteArray before = form();
        const QByteArray convertersBefore = formConverters();
        QVERIFY(file->saveTo(dir->filePath("a.json")));
        QCOMPARE(label()->text(), QStringLiteral("Сохранено: a.json"));
        ModemConfiguration c;
        QString error;
        QVERIFY(configfile::readFile(dir->filePath("a.json"), c, error));
        QCOMPARE(c.secretLength, 6);
        QVERIFY(!c.secret);

        ModemDefaults other;
        other.rx_frequency = other.tx_frequency = 1400 * kMHz;
        window->update_fields(&other);
        window->update_conv(ConverterConfig());
        QVERIFY(form() != before);

        QVERIFY(file->loadFrom(dir->filePath("a.json")));
        QCOMPARE(label()->text(), QStringLiteral("Загружено: a.json"));
        QCOMPARE(form(), before);
        QCOMPARE(formConverters(), convertersBefore);
        QCOMPARE(sent.count() + defaults.count(), 0);
    }

    void aFileWithTheSecretFillsTheSecretFields()
    {
        QVERIFY(file->loadFrom(writeSample("s.json", [](ModemConfiguration& c) {
            c.secret = QByteArray("key");
            c.secretLength = 3;
            c.secretSave = true;
        })));
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
        QTest::newRow("not json") << QByteArray("garbage") << "not JSON";
        QTest::newRow("no file") << QByteArray() << "none.json";
    }

    void badFilesLeaveTheFormAsItWas()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, detail);
        const QString path = dir->filePath(content.isEmpty() ? "none.json" : "bad.json");
        QFile f(path);
        QVERIFY(content.isEmpty() || (f.open(QIODevice::WriteOnly) && f.write(content) && f.flush()));
        const QByteArray before = form();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Configuration file: .*"));
        QVERIFY(!file->loadFrom(path));
        QVERIFY(label()->text().startsWith(QStringLiteral("Файл не прочитан")));
        QVERIFY(label()->toolTip().contains(detail));
        QCOMPARE(form(), before);
    }

    void aFrequencyOffTheChannelListIsFlagged()
    {
        const QString off = writeSample("off.json", [](ModemConfiguration& c) {
            c.defaults.rx_frequency = c.defaults.tx_frequency = 1415 * kMHz;
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Configuration file: .*"));
        QVERIFY(file->loadFrom(off));
        QVERIFY(label()->text().contains(QStringLiteral("нет в списке каналов")));
    }

    void buttonsAskForTheFileAndACancelDoesNothing()
    {
        QString chosen = dir->filePath("b.json");
        file->setChooser([&chosen](bool) { return chosen; });
        window->findChild<QPushButton*>("op_defaults_save_file_pb")->click();
        QVERIFY(QFile::exists(chosen));
        chosen.clear();
        window->findChild<QPushButton*>("op_defaults_load_file_pb")->click();
        QCOMPARE(label()->text(), QStringLiteral("Сохранено: b.json"));
    }
};

QTEST_MAIN(TestDefaultsFile)
#include "tst_defaultsfile.moc"
