// The station against a simulated modem network: the modems appear, a chosen one is read through
// all ten reports, and what the operator sets comes back in the modem's reports.
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
};

QTEST_MAIN(TestAgainstSimulator)
#include "tst_against_simulator.moc"
