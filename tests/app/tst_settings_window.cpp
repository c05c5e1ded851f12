// The settings window driven through the main window: presets, its service and set buttons,
// the broadcast hard reset, and a round trip of its records through a simulated modem.
#include "presets.h"
#include "records.h"
#include "simmodem.h"
#include "simnetwork.h"
#include "stationtest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

using namespace stationtest;

namespace {

const QString kModemAddress = QStringLiteral("127.0.0.27");
const QByteArray kRebootFrame = QByteArray::fromHex("01ff00000501dddddddd");
constexpr quint32 kSimulatedModem = 0x7F005101; // 127.0.81.1, apart from other tests' modems

QByteArray header(quint16 opcode)
{
    return protocol::buildReport(opcode, 0, {});
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>(kModemAddress);
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem->address);
        station->spin("op_current_abon_port_spb")->setValue(modem->port());
        station->window->initFrequencyList({});
        // The window opens for use with the modem's first defaults report.
        station->window->update_REP_DEFAULTS_SET(1, records::encodeDefaults(REP_DEFAULTS_SET_t()));
    }

    void cleanup()
    {
        modem.reset();
        station.reset();
    }

    void presetSendsRecordsThenReboots_data();
    void presetSendsRecordsThenReboots();
    void serviceButtonSendsExactFrames_data();
    void serviceButtonSendsExactFrames();
    void setButtonSendsRecordOfOpenTab_data();
    void setButtonSendsRecordOfOpenTab();
    void broadcastHardResetNamesOneModem();
    void recordsWrittenComeBackIntoForm();

private:
    QPushButton* button(const QString& name) const { return station->widget<QPushButton>(qPrintable(name)); }
    // The frames the modem has received once `count` of them arrived.
    QList<QByteArray> framesAfter(int count);

    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
};

QList<QByteArray> TestSettingsWindow::framesAfter(int count)
{
    if (!QTest::qWaitFor([&] { return modem->frames().size() >= count; }, 5000))
        return modem->frames();
    QTest::qWait(50); // nothing more may follow
    return modem->frames();
}

void TestSettingsWindow::presetSendsRecordsThenReboots_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("core");
    QTest::addColumn<QList<int>>("selection"); // mode, ls, hs
    QTest::addColumn<QString>("pipelines");    // "", "Q35" or "Q55"
    QTest::addColumn<QByteArray>("opmode");
    using presets::Core;
    const auto row = [](const char* name, const char* button, Core core, QList<int> selection,
                        const char* pipelines, const char* opmode) {
        QTest::newRow(name) << button << int(core) << selection << pipelines << QByteArray(opmode);
    };
    row("ls board", "op_preset_p2p_ls_abonent_pbt", Core::MainAbonent, {1, 1, 0}, "", "23");
    row("ls ground", "op_preset_p2p_ls_ground_pbt", Core::MainGround, {1, 1, 0}, "", "22");
    row("hs fm2 board", "op_preset_p2p_hs_bpsk_abonent_pbt", Core::MainAbonent, {3, 1, 0}, "Q35", "27");
    row("hs fm2 ground", "op_preset_p2p_hs_bpsk_ground_pbt", Core::MainGround, {3, 1, 0}, "", "26");
    row("hs fm4 board", "op_preset_p2p_hs_qpsk_abonent_pbt", Core::MainAbonent, {3, 1, 1}, "Q35", "a7");
    row("hs fm4 ground", "op_preset_p2p_hs_qpsk_ground_pbt", Core::MainGround, {3, 1, 1}, "", "a6");
    row("A board", "op_preset_p2p_a_abonent_pbt", Core::MainAbonent, {4, 1, 0}, "Q55", "29");
    row("A ground", "op_preset_p2p_a_ground_pbt", Core::MainGround, {4, 1, 0}, "", "28");
    row("C board", "op_preset_p2p_c_abonent_pbt", Core::MainAbonent, {6, 2, 0}, "Q55", "4d");
    row("C ground", "op_preset_p2p_c_ground_pbt", Core::MainGround, {6, 2, 0}, "", "4c");
    row("D board", "op_preset_p2p_d_abonent_pbt", Core::KtAbonent, {7, 2, 0}, "", "4f");
    row("D ground", "op_preset_p2p_d_ground_pbt", Core::KtGround, {7, 2, 0}, "", "4e");
}

void TestSettingsWindow::presetSendsRecordsThenReboots()
{
    QFETCH(QString, preset);
    QFETCH(int, core);
    QFETCH(QList<int>, selection);
    QFETCH(QString, pipelines);
    QFETCH(QByteArray, opmode);
    station->widget<QComboBox>("op_defaults_channel_cmb")->setCurrentIndex(1); // presets ignore it
    const QByteArray form = [&] {
        OP_PAYLOAD_t payload;
        station->window->findChild<DefaultsWindow*>()->read_fields(payload);
        return QByteArray(reinterpret_cast<const char*>(payload.bytes), records::kDefaultsSize);
    }();

    button(preset)->click();

    const QList<QByteArray> frames = framesAfter(8);
    QCOMPARE(frames.size(), 8);
    const QByteArray defaults = frames.at(0);
    QCOMPARE(defaults.size(), 1162);
    QCOMPARE(defaults.left(6), header(CMD_DEFAULTS_SET));
    QCOMPARE(defaults.mid(6, 1).toHex(), opmode);
    QCOMPARE(defaults.mid(7, 16).toHex(), QByteArray("004e725300000000004e725300000000"));

    const auto c = presets::Core(core);
    const presets::Pipelines texts =
        pipelines == "Q35" ? presets::q35() : pipelines == "Q55" ? presets::q55() : presets::Pipelines();
    const QByteArray expected = records::encodeDefaults(presets::defaults(
        c, uint8_t(selection[0]), uint8_t(selection[1]), uint8_t(selection[2]), 1400000000, texts));
    QCOMPARE(defaults.mid(6).toHex(), expected.toHex());

    QCOMPARE(frames.at(1).size(), 134);
    QCOMPARE(frames.at(1).left(6), header(CMD_UART_CONV_CONFIG));
    QCOMPARE(frames.at(1).mid(6), records::encodeConverters(presets::converters(c)));

    QCOMPARE(frames.at(2).size(), 25);
    QCOMPARE(frames.at(2).left(8).toHex(), QByteArray("01ff00000d011180"));
    QCOMPARE(frames.at(2).mid(8), presets::defaultSessionSecret().secret);

    for (int i = 3; i < 8; ++i)
        QCOMPARE(frames.at(i), kRebootFrame);

    OP_PAYLOAD_t after;
    station->window->findChild<DefaultsWindow*>()->read_fields(after);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(after.bytes), records::kDefaultsSize), form);
}

void TestSettingsWindow::serviceButtonSendsExactFrames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::newRow("1400 MHz") << "op_setup_fn1_pbt" << QList<QByteArray>{hex("01ff00000501010000ff")};
    QTest::newRow("1500 MHz") << "op_setup_fn2_pbt" << QList<QByteArray>{hex("01ff00000501020000ff")};
    QTest::newRow("1950 MHz") << "op_setup_fn3_pbt" << QList<QByteArray>{hex("01ff00000501030000ff")};
    QTest::newRow("first hardware") << "op_setup_hw_2_pbt" << QList<QByteArray>{hex("01ff00000501000200ff")};
    QTest::newRow("second hardware") << "op_setup_hw_3_pbt" << QList<QByteArray>{hex("01ff00000501000300ff")};
    QTest::newRow("hard reset names the modem")
        << "op_hard_reset_pbt" << QList<QByteArray>{hex("01ff000005017f00001b")};
    QTest::newRow("reboot burst") << "op_control_reboot_pb" << (QList<QByteArray>() << kRebootFrame << kRebootFrame << kRebootFrame
                                                           << kRebootFrame << kRebootFrame);
    QTest::newRow("default secret whatever the form holds")
        << "op_session_secret_reset_pbt"
        << QList<QByteArray>{hex("01ff00000d011180") + presets::defaultSessionSecret().secret};
    QTest::newRow("secret of the form") << "op_session_secret_pbt" << QList<QByteArray>{hex("01ff00000d010280abcd")};
}

void TestSettingsWindow::serviceButtonSendsExactFrames()
{
    QFETCH(QString, name);
    QFETCH(QList<QByteArray>, frames);
    station->widget<QLineEdit>("op_session_secret_le")->setText(QStringLiteral("q80"));
    station->widget<QCheckBox>("op_session_secret_save_chb")->setChecked(true);
    button(name)->click();
    QCOMPARE(framesAfter(frames.size()), frames);
}

void TestSettingsWindow::setButtonSendsRecordOfOpenTab_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QByteArray>("frameStart"); // empty: nothing is sent
    QTest::addColumn<int>("frameSize");
    QTest::newRow("general") << 0 << QByteArray() << 0;
    QTest::newRow("settings") << 1 << header(CMD_DEFAULTS_SET) << 1162;
    QTest::newRow("converter") << 2 << header(CMD_UART_CONV_CONFIG) + hex("60009600") << 134;
    QTest::newRow("session, empty secret") << 3 << header(CMD_SESSION_SECRET) + hex("0000") << 8;
    QTest::newRow("testing") << 4 << QByteArray() << 0;
}

void TestSettingsWindow::setButtonSendsRecordOfOpenTab()
{
    QFETCH(int, tab);
    QFETCH(QByteArray, frameStart);
    QFETCH(int, frameSize);
    auto* tabs = station->widget<QTabWidget>("op_defaults_tab_widget");
    tabs->setCurrentIndex(tab);
    button("op_defaults_set_pb")->click();
    // A converter record after it marks the end of what the first click sent.
    tabs->setCurrentIndex(2);
    button("op_defaults_set_pb")->click();

    const QList<QByteArray> frames = framesAfter(frameStart.isEmpty() ? 1 : 2);
    QCOMPARE(frames.size(), frameStart.isEmpty() ? 1 : 2);
    if (!frameStart.isEmpty()) {
        QVERIFY(frames.first().startsWith(frameStart));
        QCOMPARE(frames.first().size(), frameSize);
    }
    QVERIFY(frames.last().startsWith(header(CMD_UART_CONV_CONFIG)));
}

void TestSettingsWindow::broadcastHardResetNamesOneModem()
{
    const QHostAddress fixed(QStringLiteral("192.168.11.12"));
    if (!QNetworkInterface::allAddresses().contains(fixed))
        QSKIP("needs the private test network namespace");

    QUdpSocket everyModem;
    QVERIFY(everyModem.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    station->widget<QLineEdit>("op_current_abon_ip_le")->setText(fixed.toString());
    station->spin("op_current_abon_port_spb")->setValue(everyModem.localPort());

    for (bool broadcast : {false, true}) {
        station->widget<QCheckBox>("op_hard_reset_bc_chb")->setChecked(broadcast);
        button("op_hard_reset_pbt")->click();
        QTRY_VERIFY(everyModem.hasPendingDatagrams());
        const QNetworkDatagram datagram = everyModem.receiveDatagram();
        QCOMPARE(datagram.data(), hex("01ff00000501c0a80b0c"));
        QCOMPARE(datagram.destinationAddress(),
                 broadcast ? QHostAddress(QHostAddress::Broadcast) : fixed);
    }
}

void TestSettingsWindow::recordsWrittenComeBackIntoForm()
{
    SimConfig config;
    config.modems = 1;
    config.firstAddress = kSimulatedModem;
    config.stationPort = station->port;
    config.periodMs = 200;
    SimNetwork network(config);
    QString error;
    QVERIFY2(network.start(error), qPrintable(error));

    auto* bar = station->widget<QProgressBar>("op_stage_prb");
    const QString line = QStringLiteral("%1:%2:").arg(QHostAddress(kSimulatedModem).toString()).arg(SimModem::kControlPort);
    const auto readModem = [&] {
        station->window->SetCurrentAbonent(line);
        QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 10000);
    };
    readModem();
    auto* window = station->window->findChild<DefaultsWindow*>();
    QVERIFY(window->isEnabled());

    station->widget<QComboBox>("op_defaults_mode_cmb")->setCurrentIndex(9);
    station->widget<QComboBox>("op_defaults_unit_cmb")->setCurrentIndex(2);
    station->widget<QComboBox>("op_defaults_channel_cmb")->setCurrentIndex(2);
    station->widget<QLineEdit>("op_defaults_ipaddr_le")->setText(QStringLiteral("10.20.30.40"));
    station->spin("op_defaults_prefix_spb")->setValue(16);
    station->spin("op_defaults_tx_power_mode_spb")->setValue(70);
    station->spin("op_defaults_remote_socket3_dest_port_spb")->setValue(12345);
    station->widget<QLineEdit>("op_defaults_rtsp_url_fm2_le")->setText(presets::q35().fm2);
    station->widget<QGroupBox>("op_conv1_gbx")->setChecked(true);
    station->widget<QComboBox>("op_conv1_serial_baudrate_cmb")->setCurrentIndex(6);
    station->widget<QLineEdit>("op_conv1_socket_dest_ip_le")->setText(QStringLiteral("127.0.0.9"));
    station->widget<QLineEdit>("op_session_secret_le")->setText(QStringLiteral("c2VjcmV0IQ"));

    const auto formRecords = [&] {
        OP_PAYLOAD_t defaults, converters, secret;
        window->read_fields(defaults);
        window->read_conv(converters);
        window->read_session_secret(secret);
        return QList<QByteArray>{
            QByteArray(reinterpret_cast<const char*>(defaults.bytes), records::kDefaultsSize),
            QByteArray(reinterpret_cast<const char*>(converters.bytes), records::kConverterConfigSize),
            QByteArray(reinterpret_cast<const char*>(secret.bytes), 2 + 7)};
    };
    const QList<QByteArray> written = formRecords();
    auto* tabs = station->widget<QTabWidget>("op_defaults_tab_widget");
    for (int tab : {1, 2, 3}) {
        tabs->setCurrentIndex(tab);
        button("op_defaults_set_pb")->click();
    }

    // Blank the form, so only the modem's answers can fill it again.
    const REP_DEFAULTS_SET_t blank;
    window->update_fields(&blank);
    window->update_conv(REP_UART_CONV_CONFIG_t());
    const REP_SESSION_SECRET_t noSecret;
    window->update_session_secret(&noSecret);
    QVERIFY(formRecords() != written);

    readModem();
    QCOMPARE(formRecords(), written);
    QCOMPARE(station->widget<QLineEdit>("op_defaults_ipaddr_le")->text(), QStringLiteral("10.20.30.40"));
    QCOMPARE(station->widget<QComboBox>("op_defaults_unit_cmb")->currentText(), QStringLiteral("Абонент"));
    QCOMPARE(station->widget<QLineEdit>("op_session_secret_le")->text(), QStringLiteral("c2VjcmV0IQ"));
}

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
