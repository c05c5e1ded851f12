// The station against a simulated modem network: the modems appear, a chosen one is read through
// all ten reports, and what the operator sets comes back in the modem's reports.
#include "operator_awareness.h"
#include "simnetwork.h"
#include "stationtest.h"

using namespace stationtest;

class TestAgainstSimulator : public QObject
{
    Q_OBJECT

private slots:
    void whatOperatorSetsComesBackFromModem()
    {
        Station station;
        SimConfig config;
        config.firstAddress = 0x7F004701; // 127.0.71.1, apart from the other tests' modems
        config.stationPort = station.port;
        config.periodMs = 200;
        SimNetwork network(config);
        QString error;
        QVERIFY2(network.start(error), qPrintable(error));
        auto* list = station.widget<QListWidget>("op_abons_lw");
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 10000);
        // Chooses a modem as a double click does, and waits for all ten reports.
        const auto readModem = [&] {
            emit list->itemDoubleClicked(list->item(1));
            QVERIFY(!station.widget("op_stage_prb")->isHidden());
            QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_stage_prb")->isHidden(), 10000);
        };
        readModem();

        auto* channels = station.widget<QComboBox>("op_control_channel_cmb");
        const int chosen = channels->currentIndex() == 3 ? 2 : 3;
        channels->setCurrentIndex(chosen);
        auto* window = station.window->findChild<DefaultsWindow*>();
        station.widget<QComboBox>("op_defaults_mode_cmb")->setCurrentIndex(9);
        station.widget<QComboBox>("op_defaults_unit_cmb")->setCurrentIndex(2);
        station.widget<QLineEdit>("op_defaults_ipaddr_le")->setText(QStringLiteral("127.0.0.40"));
        station.widget<QGroupBox>("op_conv1_gbx")->setChecked(true);
        station.widget<QLineEdit>("op_session_secret_le")->setText(QStringLiteral("c2VjcmV0IQ"));
        const auto formRecords = [window] {
            OP_PAYLOAD_t defaults, converters, secret;
            window->read_fields(defaults);
            window->read_conv(converters);
            window->read_session_secret(secret);
            const auto bytes = [](const OP_PAYLOAD_t& p, int size) { return QByteArray(reinterpret_cast<const char*>(p.bytes), size); };
            return QList<QByteArray>{ bytes(defaults, records::kDefaultsSize),
                                      bytes(converters, records::kConverterConfigSize), bytes(secret, 2 + 7) };
        };
        const QList<QByteArray> written = formRecords();
        for (int tab : { 1, 2, 3 }) {
            station.widget<QTabWidget>("op_defaults_tab_widget")->setCurrentIndex(tab);
            station.widget<QPushButton>("op_defaults_set_pb")->click();
        }

        // Blank the form, so only the modem's answers can fill it again.
        station.window->update_REP_DEFAULTS_SET(1, {});
        station.window->update_REP_UART_CONV_CONFIG(2, {});
        station.window->update_REP_SESSION_SECRET(3, {});
        QVERIFY(formRecords() != written);
        readModem();
        QCOMPARE(formRecords(), written);
        QCOMPARE(station.widget<QLabel>("op_control_tx_freq_lbl")->text(), "ПРД: " + channels->itemText(chosen));
        QCOMPARE(station.widget<QLabel>("op_control_rx_freq_lbl")->text(), "ПРМ: " + channels->itemText(chosen));
    }

    // A field engineer's fault scenario: what the simulated network does wrong shows in the journal.
    void journalTellsTheNetworksFaults()
    {
        Station station;
        SimConfig config;
        config.firstAddress = 0x7F004801; // 127.0.72.1
        config.stationPort = station.port;
        config.periodMs = 100;
        config.stepperSpeed = 2000;
        SimNetwork network(config);
        QString error;
        QVERIFY2(network.start(error), qPrintable(error));
        Journal& journal = station.window->findChild<OperatorAwareness*>()->journal();
        const auto entries = [&journal](JournalEntry::Kind kind, const QString& modem, const QString& text) {
            return journal.matching({ { kind }, modem, text }).size();
        };
        auto* list = station.widget<QListWidget>("op_abons_lw");
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 10000);
        QCOMPARE(entries(JournalEntry::Modem, {}, {}), 3);
        emit list->itemDoubleClicked(list->item(0));
        QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_stage_prb")->isHidden(), 10000);
        // Modems are numbered by their last octet; the chosen one, then the two others.
        const QString chosenAddress = QHostAddress(station.widget<QLineEdit>("op_current_abon_ip_le")->text()).toString();
        const int chosen = chosenAddress.section('.', 3).toInt();
        const int lossy = chosen % 3 + 1;
        const int quiet = lossy % 3 + 1;
        const auto key = [](int modem) { return QStringLiteral("127.0.72.%1:40005").arg(modem); };
        QVERIFY(entries(JournalEntry::Request, key(chosen), QStringLiteral("REP_VERSION")) > 0);

        QCOMPARE(network.execute(QStringLiteral("loss %1 0.5").arg(lossy)), QStringLiteral("ok: loss %1 0.5").arg(lossy));
        QTRY_VERIFY_WITH_TIMEOUT(entries(JournalEntry::LinkLoss, key(lossy), {}) > 0, 30000);
        QCOMPARE(entries(JournalEntry::LinkLoss, key(quiet), {}), 0);

        QCOMPARE(network.execute(QStringLiteral("silence %1").arg(quiet)), QStringLiteral("ok: silence %1").arg(quiet));
        QTRY_VERIFY_WITH_TIMEOUT(entries(JournalEntry::Modem, key(quiet), {}) > 1, 15000);

        // The rotator follows the chosen modem's controller: a stall, then a silent controller.
        auto* angle = station.spin("sm_angle_spb");
        QTRY_VERIFY_WITH_TIMEOUT(angle->isEnabled(), 10000);
        QCOMPARE(network.execute(QStringLiteral("stall %1").arg(chosen)), QStringLiteral("ok: stall %1").arg(chosen));
        angle->setValue(angle->value() + 20);
        QTRY_VERIFY_WITH_TIMEOUT(entries(JournalEntry::Rotator, {}, QStringLiteral("Мотор")) > 0, 15000);
        QCOMPARE(network.execute(QStringLiteral("ctl-silence %1").arg(chosen)), QStringLiteral("ok: ctl-silence %1").arg(chosen));
        QTRY_VERIFY_WITH_TIMEOUT(entries(JournalEntry::Rotator, {}, QStringLiteral("не отвечает")) > 0, 15000);
    }
};

QTEST_MAIN(TestAgainstSimulator)
#include "tst_against_simulator.moc"
