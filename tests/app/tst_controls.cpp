// Every control that sends to the current modem, byte for byte: channels and frequencies, the
// radio controls, and the settings window's presets and buttons; following a report sends nothing.
#include "presets.h"
#include "stationtest.h"

using namespace stationtest;

namespace {

const QList<QByteArray> kRebootBurst = QVector<QByteArray>(5, hex("01ff00000501dddddddd")).toList();
const QByteArray kSecretHead = hex("01ff00000d011180"); // a 17-byte secret, kept in permanent memory

QByteArray plan(uint64_t lowest, uint64_t highest, uint32_t step)
{
    return records::encodeParameters({ lowest, highest, step });
}

QByteArray tune(quint16 opcode, uint64_t hz)
{
    return protocol::buildFrame(opcode, protocol::payloadFrom(records::encodeFrequency(hz)));
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>("127.0.0.41");
        station->choose(*modem);
        station->window->update_REP_UNSUPPORTED(1, hex("0981")); // no band plan: built-in channels
        // The settings window opens for use with the modem's first defaults report.
        station->window->update_REP_DEFAULTS_SET(1, records::encodeDefaults({}));
        channels = station->widget<QComboBox>("op_control_channel_cmb");
    }

    void bandPlanGivesChannels_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::newRow("step 0: built-in") << plan(1400000000, 1450000000, 0) << "1400-1450/0" << 6 << "1455";
        QTest::newRow("7 MHz steps") << plan(1400000000, 1430000000, 7000000) << "1400-1430/7" << 5 << "1428";
        QTest::newRow("lowest above highest") << plan(1500000000, 1400000000, 1000000) << "1500-1400/1" << 1 << "1500";
        QTest::newRow("1 Hz steps are bounded") << plan(1000000000, 2000000000, 1) << "1000-2000/0" << 4096 << "1000";
        QTest::newRow("step past the top") << plan(UINT64_MAX - 5, UINT64_MAX, 4)
                                           << "18446744073709-18446744073709/0" << 2 << "18446744073709";
    }

    void bandPlanGivesChannels()
    {
        QFETCH(QByteArray, parameters);
        QFETCH(int, count);
        station->window->update_REP_PARAMETERS(1, parameters);
        QTEST(station->widget<QLabel>("op_params_freqs_lbl")->text(), "label");
        QCOMPARE(channels->count(), count);
        QTEST(channels->itemText(count - 1), "last");
        QCOMPARE(channels->currentIndex(), -1);
        QCOMPARE(station->widget<QComboBox>("op_defaults_channel_cmb")->count(), count);
    }

    void frequencyReportSelectsChannelWithin10Hz_data()
    {
        QTest::addColumn<int>("shown");
        QTest::addColumn<qulonglong>("hz");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("index");
        QTest::newRow("1411 MHz") << 3 << 1411000000ULL << "ПРД: 1411" << 1;
        QTest::newRow("5 Hz above 1422 MHz") << 3 << 1422000005ULL << "ПРД: 1422" << 2;
        QTest::newRow("exactly 10 Hz above 1422 MHz") << 3 << 1422000010ULL << "ПРД: 1422" << 2;
        QTest::newRow("exactly 10 Hz below 1433 MHz") << -1 << 1432999990ULL << "ПРД: 1433" << 3;
        QTest::newRow("11 Hz above, none shown: the first") << -1 << 1422000011ULL << "ПРД: 1422" << 0;
        // Off every channel (a Doppler test step) the shown channel stays, so nothing retunes the modem.
        QTest::newRow("11 Hz above, one shown: kept") << 3 << 1422000011ULL << "ПРД: 1422" << 3;
        QTest::newRow("1411.6 MHz rounds up") << 3 << 1411600000ULL << "ПРД: 1412" << 3;
        QTest::newRow("seven digits") << -1 << 1234567000000ULL << "ПРД: 1.23457e+06" << 0;
    }

    void frequencyReportSelectsChannelWithin10Hz()
    {
        QFETCH(int, shown);
        QFETCH(qulonglong, hz);
        channels->setCurrentIndex(shown);
        station->window->update_REP_TX_FREQUENCY(1, records::encodeFrequency(hz));
        QTEST(station->widget<QLabel>("op_control_tx_freq_lbl")->text(), "label");
        QTEST(channels->currentIndex(), "index");
    }

    void channelsAreTunedTransmitThenReceive()
    {
        // After the band plan no channel is shown, so the first frequency report tunes the
        // modem; a receive report naming another channel retunes it.
        station->window->update_REP_PARAMETERS(2, plan(1400000000, 1450000000, 10000000));
        station->window->update_REP_TX_FREQUENCY(3, records::encodeFrequency(1420000000));
        station->window->update_REP_RX_FREQUENCY(4, records::encodeFrequency(1440000000));
        QCOMPARE(channels->currentText(), QStringLiteral("1440"));
        channels->setCurrentIndex(1);
        QList<QByteArray> sent = { tune(CMD_TX_FREQUENCY, 1420000000), tune(CMD_RX_FREQUENCY, 1420000000),
                                   tune(CMD_TX_FREQUENCY, 1440000000), tune(CMD_RX_FREQUENCY, 1440000000),
                                   tune(CMD_TX_FREQUENCY, 1410000000), tune(CMD_RX_FREQUENCY, 1410000000) };
        QTRY_COMPARE(modem->frames(), sent);
        QCOMPARE(sent.first().size(), 14);

        // Neither a refill nor an index out of range sends.
        station->window->initFrequencyList({ 1500000000, 1510000000 });
        QCOMPARE(channels->currentIndex(), -1);
        QTest::ignoreMessage(QtWarningMsg, "Idx out of range");
        station->window->send_CMD_SET_FREQUENCY(2);
        QTest::qWait(50);
        QCOMPARE(modem->frames(), sent);
    }

    void controlsSendExactFramesAndReportsNothing()
    {
        QList<QByteArray> sent;
        const auto sends = [&](const char* frame) {
            sent << hex(frame);
            return QTest::qWaitFor([&] { return modem->frames() == sent; }, 5000);
        };
        station->widget<QPushButton>("op_control_antenna_sel_omni_pb")->click();
        QVERIFY(sends("01ff0000030101"));

        QSpinBox* power = station->spin("op_control_tx_power_mode_spb");
        power->setValue(50);
        QVERIFY(sends("01ff00000e0132"));
        power->stepUp();
        QVERIFY(sends("01ff00000e013c"));
        station->window->update_REP_TX_POWER_MODE(2, hex("05"));
        QCOMPARE(power->value(), 10);

        auto* fm2 = station->widget<QPushButton>("op_control_hs_channel_mod_fm2_pb");
        auto* fm4 = station->widget<QPushButton>("op_control_hs_channel_mod_fm4_pb");
        station->widget("op_control_hs_channel_mod_w")->setEnabled(true);
        station->window->update_REP_SET_HS_CHANNEL_MOD(3, hex("0001"));
        QVERIFY(fm4->isChecked() && !fm2->isChecked());
        fm2->click();
        QVERIFY(sends("01ff00000f010000"));
        fm2->click();
        QVERIFY(fm2->isChecked());
        fm4->click();
        QVERIFY(sends("01ff00000f010100"));

        station->widget<QLineEdit>("op_control_retranslation_id_le")->setText(QStringLiteral("300"));
        station->widget<QPushButton>("op_control_retranslation_mode_pb")->click();
        QVERIFY(sends("01ff000007012c"));
        QTest::qWait(100);
        QCOMPARE(modem->frames(), sent);
    }

    void switchTestAlternatesModulationAtFixedModem()
    {
        const QHostAddress fixed(QStringLiteral("192.168.11.12"));
        if (!QNetworkInterface::allAddresses().contains(fixed))
            QSKIP("192.168.11.12 is reachable only inside the test network namespace");
        QUdpSocket testModem;
        QVERIFY(testModem.bind(fixed, 40005, QUdpSocket::ShareAddress));
        auto* button = station->widget<QPushButton>("op_control_hs_channel_mod_switch_test_pb");

        station->window->_slot_hs_channel_switch_test(true);
        const QList<QPair<QString, QByteArray>> steps = { { "ФМ4", hex("01ff00000f010100") },
                                                          { "ФМ2", hex("01ff00000f010000") } };
        for (const auto& [modulation, frame] : steps) {
            station->window->_slot_timeout_fm_switch_test();
            QCOMPARE(button->text(), "Тест переключения ФМ: " + modulation);
            QTRY_VERIFY(testModem.hasPendingDatagrams());
            QCOMPARE(testModem.receiveDatagram().data(), frame);
        }
        station->window->_slot_hs_channel_switch_test(false);
        QCOMPARE(button->text(), QStringLiteral("Тест переключения ФМ: остановлен"));
        QVERIFY(modem->frames().isEmpty());
    }

    void presetSendsRecordsThenReboots_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<QByteArray>>("frames");
        using presets::Core;
        const auto row = [](const char* name, Core core, uint8_t mode, uint8_t ls, uint8_t hs,
                            const presets::Pipelines& pipelines = {}) {
            const QByteArray defaults =
                records::encodeDefaults(presets::defaults(core, mode, ls, hs, 1400000000, pipelines));
            const QByteArray converters = records::encodeConverters(presets::converters(core));
            QTest::newRow(name) << QStringLiteral("op_preset_p2p_%1_pbt").arg(name)
                                << QList<QByteArray>{ hex("01ff00000401") + defaults, hex("01ff00000b01") + converters,
                                                      kSecretHead + presets::defaultSessionSecret().secret }
                                       + kRebootBurst;
        };
        row("ls_abonent", Core::MainAbonent, 1, 1, 0);
        row("ls_ground", Core::MainGround, 1, 1, 0);
        row("hs_bpsk_abonent", Core::MainAbonent, 3, 1, 0, presets::q35());
        row("hs_qpsk_ground", Core::MainGround, 3, 1, 1);
        row("a_abonent", Core::MainAbonent, 4, 1, 0, presets::q55());
        row("c_ground", Core::MainGround, 6, 2, 0);
        row("d_abonent", Core::KtAbonent, 7, 2, 0);
        row("d_ground", Core::KtGround, 7, 2, 0);
    }

    void presetSendsRecordsThenReboots()
    {
        QFETCH(QString, button);
        QFETCH(QList<QByteArray>, frames);
        station->widget<QComboBox>("op_defaults_channel_cmb")->setCurrentIndex(1); // presets ignore it
        station->widget<QPushButton>(qPrintable(button))->click();
        QTRY_COMPARE(modem->frames(), frames);
        QCOMPARE(frames.at(0).size(), 1162);
        QCOMPARE(frames.at(2).size(), 25);
    }

    void serviceButtonSendsExactFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QList<QByteArray>>("frames");
        const auto row = [](const char* name, const char* button, const QList<QByteArray>& frames, int tab = 0) {
            QTest::newRow(name) << button << tab << frames;
        };
        row("1950 MHz", "op_setup_fn3_pbt", { hex("01ff00000501030000ff") });
        row("second hardware", "op_setup_hw_3_pbt", { hex("01ff00000501000300ff") });
        row("reboot burst", "op_control_reboot_pb", kRebootBurst);
        row("default secret whatever the form holds", "op_session_secret_reset_pbt",
            { kSecretHead + presets::defaultSessionSecret().secret });
        row("secret of the form", "op_session_secret_pbt", { hex("01ff00000d010280abcd") });
        row("set on the general tab", "op_defaults_set_pb", {}, 0);
        row("set on the testing tab", "op_defaults_set_pb", {}, 4);
        row("set on the session tab", "op_defaults_set_pb", { hex("01ff00000d010280abcd") }, 3);
    }

    void serviceButtonSendsExactFrames()
    {
        QFETCH(QString, button);
        QFETCH(int, tab);
        QFETCH(QList<QByteArray>, frames);
        station->widget<QLineEdit>("op_session_secret_le")->setText(QStringLiteral("q80"));
        station->widget<QCheckBox>("op_session_secret_save_chb")->setChecked(true);
        station->widget<QTabWidget>("op_defaults_tab_widget")->setCurrentIndex(tab);
        station->widget<QPushButton>(qPrintable(button))->click();
        QTRY_COMPARE(modem->frames(), frames);
        QTest::qWait(50);
        QCOMPARE(modem->frames(), frames);
    }

    // Groups with leading zeros are decimal: 041 is 41, where an octal reading would reach .33.
    void typedAddressReachesItsModem_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<QByteArray>>("sent"); // none: the text is no address
        const QList<QPair<QString, QList<QByteArray>>> paths = {
            { "request", { hex("01ff0000030101") } },
            { "search", { hex("01ff000000000881") } },
            { "forget", QVector<QByteArray>(5, hex("01ff00000501cccccccc")).toList() },
            { "reboot", kRebootBurst },
            { "hard reset", { hex("01ff000005017f000029") } },
        };
        for (const auto& [path, frames] : paths) {
            QTest::addRow("%s, padded", qPrintable(path)) << "127.000.000.041" << path << frames;
            QTest::addRow("%s, plain", qPrintable(path)) << "127.0.0.41" << path << frames;
            QTest::addRow("%s, group above 255", qPrintable(path)) << "127.0.0.410" << path << QList<QByteArray>();
            QTest::addRow("%s, group left blank", qPrintable(path)) << "127.0..41" << path << QList<QByteArray>();
        }
    }

    void typedAddressReachesItsModem()
    {
        QFETCH(QString, typed);
        QFETCH(QString, path);
        QFETCH(QList<QByteArray>, sent);
        auto* list = station->widget<QListWidget>("op_abons_lw");
        auto* find = station->widget<QPushButton>("op_control_find_pb");
        modem->report(REP_CONT_STATUS, {}, 1, station->port);
        QTRY_COMPARE(list->count(), 1);
        station->window->update_REP_CONT_STATUS(1, {});
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(typed);
        if (sent.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("Not an address '" + QRegularExpression::escape(typed)));

        if (path == "request") {
            station->widget<QPushButton>("op_control_antenna_sel_omni_pb")->click();
        } else if (path == "search") {
            find->setChecked(true);
            station->window->find_abonent();
        } else if (path == "forget") {
            station->window->forget_abonent();
        } else if (path == "reboot") {
            station->window->reboot_abonent();
        } else {
            station->widget<QPushButton>("op_hard_reset_pbt")->click();
        }

        if (sent.isEmpty()) {
            QTest::qWait(700);
            QVERIFY(modem->frames().isEmpty());
            QCOMPARE(list->count(), 1);
            return;
        }
        QTRY_VERIFY(modem->frames().size() >= sent.size());
        QCOMPARE(modem->frames().mid(0, sent.size()), sent);
        if (path == "search") {
            // The searched modem's own report ends the search.
            modem->report(REP_CONT_STATUS, {}, 2, station->port);
            QTRY_VERIFY(!find->isChecked());
        } else if (path == "forget" || path == "reboot") {
            // Marked under its own address it leaves the list at the next ageing pass, well before an
            // unmarked one would age out (5 s), and the display, showing it, is blanked.
            QTRY_COMPARE_WITH_TIMEOUT(list->count(), 0, 3000);
            QVERIFY(!station->widget("op_version_gbx")->isEnabled());
        }
    }

    void broadcastHardResetNamesOneModem()
    {
        const QHostAddress fixed(QStringLiteral("192.168.11.12"));
        if (!QNetworkInterface::allAddresses().contains(fixed))
            QSKIP("192.168.11.12 is reachable only inside the test network namespace");
        QUdpSocket everyModem;
        QVERIFY(everyModem.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(fixed.toString());
        station->spin("op_current_abon_port_spb")->setValue(everyModem.localPort());
        for (bool broadcast : { false, true }) {
            station->widget<QCheckBox>("op_hard_reset_bc_chb")->setChecked(broadcast);
            station->widget<QPushButton>("op_hard_reset_pbt")->click();
            QTRY_VERIFY(everyModem.hasPendingDatagrams());
            const QNetworkDatagram datagram = everyModem.receiveDatagram();
            QCOMPARE(datagram.data(), hex("01ff00000501c0a80b0c"));
            QCOMPARE(datagram.destinationAddress(), broadcast ? QHostAddress(QHostAddress::Broadcast) : fixed);
        }
    }

private:
    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
    QComboBox* channels = nullptr;
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
