#include "defaultswindow.h"
#include "presets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using Frequencies = QList<uint64_t>;
constexpr uint64_t kMHz = 1000000;

// A relay-mode record with every field away from the form's start values.
static ModemDefaults relayRecord()
{
    ModemDefaults d;
    d.opmode = 149; // mode 9, role 2, ls 0, hs 1
    d.rx_frequency = d.tx_frequency = 1455 * kMHz;
    d.ip_addr = 0x0A010203;
    d.prefix = 17;
    d.local_status = true;
    d.gateway = 0x0A0102FE;
    for (uint16_t i = 0; i < 5; ++i) {
        d.sockets[i] = {uint16_t(i == 0 ? 0 : 5000 + i), uint16_t(i == 4 ? 65535 : 6000 + i), 0xC0A80100u + i};
        d.remote_sockets[i] = {uint16_t(7000 + i), uint16_t(8000 + i), 0x0A000001u + i};
    }
    d.tap_mode = 1;
    d.antenna_sel = 1;
    d.tx_mute = true;
    d.tx_power_mode = 55;
    d.gst_string_fm4 = QStringLiteral("поток ! udpsink host=127.0.0.1").toUtf8();
    return d;
}

// Collects the debug lines while alive.
class MessageLog {
public:
    MessageLog() { active = this; previous = qInstallMessageHandler(&collect); }
    ~MessageLog() { qInstallMessageHandler(previous); }
    QStringList lines;

private:
    static void collect(QtMsgType, const QMessageLogContext&, const QString& text) { active->lines << text; }
    static inline MessageLog* active = nullptr;
    QtMessageHandler previous;
};

template <class Change> static ModemDefaults changed(ModemDefaults d, Change change)
{
    change(d);
    return d;
}

// The settings window's form against the records it shows and builds.
class TestDefaultsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<DefaultsWindow> window;

    template <class T = QComboBox> T* child(const char* name) const { return window->findChild<T*>(name); }
    void show(const ModemDefaults& record) const { window->update_fields(&record); }
    // Whatever the payload held before, the form writes every byte of the record.
    template <class Read> QByteArray read(Read readRecord, int size) const
    {
        OP_PAYLOAD_t payload;
        memset(payload.bytes, 0xFF, sizeof payload.bytes);
        (window.get()->*readRecord)(payload);
        return QByteArray(reinterpret_cast<const char*>(payload.bytes), size);
    }
    QByteArray readFields() const { return read(&DefaultsWindow::read_fields, records::kDefaultsSize); }

private slots:
    void init() { window = std::make_unique<DefaultsWindow>(); }
    void cleanup() { window.reset(); }

    void reportShownThenReadBackGivesSameRecord_data()
    {
        QTest::addColumn<ModemDefaults>("shown");
        QTest::addColumn<ModemDefaults>("read"); // what the form can hold of it
        const ModemDefaults ground = presets::defaults(presets::Core::MainGround, 4, 1, 0, 1433 * kMHz);
        const auto row = [](const char* name, const ModemDefaults& shown, const ModemDefaults& read) {
            QTest::newRow(name) << shown << read;
        };
        const auto same = [&row](const char* name, const ModemDefaults& d) { row(name, d, d); };
        same("ground preset", ground);
        same("board preset with pipelines",
             presets::defaults(presets::Core::MainAbonent, 6, 2, 0, 1400 * kMHz, presets::q55()));
        same("relay mode, every field off its start value", relayRecord());
        same("mode 0 board", changed(ground, [](auto& d) { d.opmode = records::encodeOpmode(0, 1, 3, 1); }));
        same("last relay mode", changed(ground, [](auto& d) { d.opmode = records::encodeOpmode(11, 1, 2, 0); }));
        row("tap 2 read back as 3", changed(ground, [](auto& d) { d.tap_mode = 2; }),
            changed(ground, [](auto& d) { d.tap_mode = 3; }));
        row("prefix 40 held as 32", changed(ground, [](auto& d) { d.prefix = 40; }),
            changed(ground, [](auto& d) { d.prefix = 32; }));
        row("power 200 held as 100", changed(ground, [](auto& d) { d.tx_power_mode = 200; }), ground);
    }
    void reportShownThenReadBackGivesSameRecord()
    {
        QFETCH(ModemDefaults, shown);
        QFETCH(ModemDefaults, read);
        window->update_frequency_list({});
        show(shown);
        QCOMPARE(readFields().toHex(), records::encodeDefaults(read).toHex());
    }

    void reportedModeSetsSelectorsLabelAndDebugLines_data()
    {
        QTest::addColumn<int>("opmode");
        QTest::addColumn<QList<int>>("selection"); // mode, role, ls, hs
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("149") << 149 << QList<int>{9, 2, 0, 1} << QStringList{
            "pre opmode  149 , valid  true , mode  9 , unit  2 , ls  0 , hs  1 ",
            "opmode  149 , valid  true , mode  9 , unit  2 , abons  3 , new_opmode  149 "};
        QTest::newRow("code 28 is invalid") << 0x1C << QList<int>{-1, -1, -1, -1} << QStringList{
            "pre opmode  253 , valid  false , mode  -1 , unit  -1 , ls  -1 , hs  -1 ",
            "opmode  253 , valid  false , mode  12 , unit  1 , abons  3 , new_opmode  253 "};
    }
    void reportedModeSetsSelectorsLabelAndDebugLines()
    {
        QFETCH(int, opmode);
        QFETCH(QList<int>, selection);
        QFETCH(QStringList, lines);
        show(changed(relayRecord(), [opmode](auto& d) { d.opmode = uint8_t(opmode); }));
        QList<int> shown;
        for (const char* name :
             {"op_defaults_mode_cmb", "op_defaults_unit_cmb", "op_defaults_ls_chan_cmb", "op_defaults_hs_chan_cmb"})
            shown << child(name)->currentIndex();
        QCOMPARE(shown, selection);
        const int shownCode = selection.contains(-1) ? 253 : opmode; // the code of four empty selectors
        QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), QStringLiteral("Режим (%1)").arg(shownCode));
        MessageLog log;
        readFields();
        QCOMPARE(log.lines, lines);
    }

    void roleListFollowsMode()
    {
        QComboBox* mode = child("op_defaults_mode_cmb");
        QComboBox* role = child("op_defaults_unit_cmb");
        mode->setCurrentIndex(9);
        role->setCurrentIndex(2);
        mode->setCurrentIndex(10);
        QCOMPARE(role->currentText(), QStringLiteral("Абонент"));
        mode->setCurrentIndex(3);
        QCOMPARE(role->currentText(), QStringLiteral("Борт"));
        QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), QStringLiteral("Режим (7)"));
    }

    void channelSelectionFollowsReport_data()
    {
        QTest::addColumn<qulonglong>("rx");
        QTest::addColumn<qulonglong>("tx");
        QTest::addColumn<int>("selected"); // channel 2 was selected before
        QTest::addColumn<bool>("warned");
        QTest::newRow("1433 MHz is channel 3") << qulonglong(1433 * kMHz) << qulonglong(1433 * kMHz) << 3 << false;
        QTest::newRow("not in the list") << qulonglong(1433 * kMHz + 1) << qulonglong(1433 * kMHz + 1) << 0 << true;
        QTest::newRow("differing frequencies") << qulonglong(1400 * kMHz) << qulonglong(1411 * kMHz) << 2 << false;
    }
    void channelSelectionFollowsReport()
    {
        QFETCH(qulonglong, rx);
        QFETCH(qulonglong, tx);
        QFETCH(int, selected);
        QFETCH(bool, warned);
        window->update_frequency_list({});
        child("op_defaults_channel_cmb")->setCurrentIndex(2);
        MessageLog log;
        show(changed(relayRecord(), [rx, tx](auto& d) { d.rx_frequency = rx; d.tx_frequency = tx; }));
        QCOMPARE(child("op_defaults_channel_cmb")->currentIndex(), selected);
        QCOMPARE(log.lines.contains(QStringLiteral("Recv frequency not in channel list")), warned);
    }

    void unselectedChannelNeverReadsOutsideList_data()
    {
        QTest::addColumn<Frequencies>("list");     // not given to the window when empty
        QTest::addColumn<Frequencies>("reported"); // rx, tx; none: no report shown
        QTest::addColumn<Frequencies>("sent");
        const Frequencies station{2400 * kMHz, 2410 * kMHz};
        QTest::newRow("nothing known: first built-in channel") << Frequencies() << Frequencies()
                                                               << Frequencies{1400 * kMHz, 1400 * kMHz};
        QTest::newRow("a list, no report: its first channel") << station << Frequencies()
                                                              << Frequencies{2400 * kMHz, 2400 * kMHz};
        QTest::newRow("report before any list") << Frequencies() << Frequencies{1433 * kMHz, 1433 * kMHz}
                                                << Frequencies{1433 * kMHz, 1433 * kMHz};
        QTest::newRow("differing report") << station << Frequencies{2405 * kMHz, 2415 * kMHz}
                                          << Frequencies{2405 * kMHz, 2415 * kMHz};
    }
    void unselectedChannelNeverReadsOutsideList()
    {
        QFETCH(Frequencies, list);
        QFETCH(Frequencies, reported);
        QFETCH(Frequencies, sent);
        if (!list.isEmpty())
            window->update_frequency_list(list);
        if (!reported.isEmpty())
            show(changed(relayRecord(), [&](auto& d) { d.rx_frequency = reported[0]; d.tx_frequency = reported[1]; }));
        const ModemDefaults d = records::decodeDefaults(readFields());
        QCOMPARE((Frequencies{d.rx_frequency, d.tx_frequency}), sent);
    }

    void presetWithoutFrequencyListUsesFirstBuiltInChannel()
    {
        QSignalSpy sent(window.get(), &DefaultsWindow::signal_CMD_DEFAULTS_SET);
        child<QPushButton>("op_preset_p2p_a_ground_pbt")->click();
        const auto d = sent.value(0).value(0).value<ModemDefaults>();
        QCOMPARE((Frequencies{d.rx_frequency, d.tx_frequency}), (Frequencies{1400 * kMHz, 1400 * kMHz}));
    }

    // Groups with leading zeros are decimal; text that is no address is written as 0.0.0.0.
    void typedAddressFieldsAreReadInDecimal_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("offset"); // of the address in the record the field belongs to
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("written");
        const QList<QPair<const char*, int>> fields = {
            {"op_defaults_ipaddr_le", 17},
            {"op_defaults_gateway_le", 22},
            {"op_defaults_socket3_dest_addr_le", 68},
            {"op_defaults_remote_socket1_dest_ip_le", 100},
            {"op_defaults_remote_socket4_dest_addr_le", 124},
            {"op_conv1_socket_dest_ip_le", 20},
        };
        for (const auto& [field, offset] : fields) {
            const auto row = [field = field, offset = offset](const char* name, const char* typed, const char* hex) {
                QTest::addRow("%s, %s", field, name) << field << offset << typed << QByteArray(hex);
            };
            row("padded", "010.000.000.008", "0a000008");
            row("plain", "192.168.11.9", "c0a80b09");
            row("group above 255", "10.0.0.256", "00000000");
        }
    }
    void typedAddressFieldsAreReadInDecimal()
    {
        QFETCH(QString, field);
        QFETCH(int, offset);
        QFETCH(QString, typed);
        window->update_frequency_list({});
        child<QLineEdit>(qPrintable(field))->setText(typed);
        const QByteArray record = field.startsWith("op_conv") ? read(&DefaultsWindow::read_conv, 128) : readFields();
        QTEST(record.mid(offset, 4).toHex(), "written");
    }

    void convertersShownThenReadBack_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<uint>("baudrate");
        QTest::addColumn<QString>("shown"); // a rate not offered keeps the previous one
        QTest::newRow("enabled at 9600") << true << 9600u << "9600";
        QTest::newRow("disabled at 115200") << false << 115200u << "115200";
        QTest::newRow("rate not offered") << true << 12345u << "38400";
    }
    void convertersShownThenReadBack()
    {
        QFETCH(bool, enabled);
        QFETCH(uint, baudrate);
        QFETCH(QString, shown);
        ConverterConfig report = presets::converters(presets::Core::KtGround);
        report.converters[2] = {enabled, baudrate, 4001, 65535, 0x7F000005};
        window->update_conv(report);
        QCOMPARE(child<QGroupBox>("op_conv2_gbx")->isChecked(), enabled);
        QCOMPARE(child("op_conv2_serial_baudrate_cmb")->currentText(), shown);
        QCOMPARE(child<QLineEdit>("op_conv2_socket_dest_ip_le")->text(), QStringLiteral("127.0.0.5"));
        report.converters[2].baudrate = shown.toUInt();
        QCOMPARE(read(&DefaultsWindow::read_conv, 128).toHex(), records::encodeConverters(report).toHex());
    }

    void secretShownAsBase64WithoutPaddingThenReadBack_data()
    {
        QTest::addColumn<QByteArray>("secret");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QByteArray>("word");
        QTest::newRow("none") << QByteArray() << "" << false << QByteArray("0000");
        QTest::newRow("3 bytes") << QByteArray("abc") << "YWJj" << true << QByteArray("0380");
        QTest::newRow("4 bytes") << QByteArray("abcd") << "YWJjZA" << false << QByteArray("0400");
    }
    void secretShownAsBase64WithoutPaddingThenReadBack()
    {
        QFETCH(QByteArray, secret);
        QFETCH(QString, text);
        QFETCH(bool, save);
        QFETCH(QByteArray, word);
        const SessionSecret report{false, secret};
        window->update_session_secret(&report);
        QCOMPARE(child<QLineEdit>("op_session_secret_le")->text(), text);
        child<QCheckBox>("op_session_secret_save_chb")->setChecked(save);
        QCOMPARE(read(&DefaultsWindow::read_session_secret, 2 + secret.size()), QByteArray::fromHex(word) + secret);
    }
};

QTEST_MAIN(TestDefaultsWindow)
#include "tst_defaultswindow.moc"
