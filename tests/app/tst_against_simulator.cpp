// The station against a simulated modem network: the modems appear, a chosen one is read through
// all ten reports, and what the operator sets comes back in the modem's reports.
#include "presets.h"
#include "simnetwork.h"
#include "stationtest.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

using namespace stationtest;

class TestAgainstSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        SimConfig config;
        config.modems = 2;
        config.firstAddress = 0x7F004701; // 127.0.71.1, apart from the other tests' modems
        config.stationPort = station->port;
        config.periodMs = 200;
        network = std::make_unique<SimNetwork>(config);
        QString error;
        QVERIFY2(network->start(error), qPrintable(error));
        QTRY_COMPARE_WITH_TIMEOUT(station->widget<QListWidget>("op_abons_lw")->count(), 2, 10000);
        readModem();
    }

    void cleanup()
    {
        network.reset();
        station.reset();
    }

    void choosingChannelRetunesModem()
    {
        auto* channels = station->widget<QComboBox>("op_control_channel_cmb");
        const int chosen = channels->currentIndex() == 3 ? 2 : 3;
        channels->setCurrentIndex(chosen);
        readModem();
        QCOMPARE(station->widget<QLabel>("op_control_tx_freq_lbl")->text(), "ПРД: " + channels->itemText(chosen));
        QCOMPARE(station->widget<QLabel>("op_control_rx_freq_lbl")->text(), "ПРМ: " + channels->itemText(chosen));
        QCOMPARE(channels->currentIndex(), chosen);
    }

    void settingsWrittenComeBackIntoForm()
    {
        auto* window = station->window->findChild<DefaultsWindow*>();
        QVERIFY(window->isEnabled());
        station->widget<QComboBox>("op_defaults_mode_cmb")->setCurrentIndex(9);
        station->widget<QComboBox>("op_defaults_unit_cmb")->setCurrentIndex(2);
        station->widget<QComboBox>("op_defaults_channel_cmb")->setCurrentIndex(2);
        station->widget<QLineEdit>("op_defaults_ipaddr_le")->setText(QStringLiteral("10.20.30.40"));
        station->spin("op_defaults_tx_power_mode_spb")->setValue(70);
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
            return QList<QByteArray>{ QByteArray(reinterpret_cast<const char*>(defaults.bytes), records::kDefaultsSize),
                                      QByteArray(reinterpret_cast<const char*>(converters.bytes), records::kConverterConfigSize),
                                      QByteArray(reinterpret_cast<const char*>(secret.bytes), 2 + 7) };
        };
        const QList<QByteArray> written = formRecords();
        for (int tab : { 1, 2, 3 }) {
            station->widget<QTabWidget>("op_defaults_tab_widget")->setCurrentIndex(tab);
            station->widget<QPushButton>("op_defaults_set_pb")->click();
        }

        // Blank the form, so only the modem's answers can fill it again.
        const REP_DEFAULTS_SET_t blank;
        const REP_SESSION_SECRET_t noSecret;
        window->update_fields(&blank);
        window->update_conv(REP_UART_CONV_CONFIG_t());
        window->update_session_secret(&noSecret);
        QVERIFY(formRecords() != written);
        readModem();
        QCOMPARE(formRecords(), written);
        QCOMPARE(station->widget<QComboBox>("op_defaults_unit_cmb")->currentText(), QStringLiteral("Абонент"));
        QCOMPARE(station->widget<QLineEdit>("op_session_secret_le")->text(), QStringLiteral("c2VjcmV0IQ"));
    }

private:
    // Chooses the first modem of the list, as a double click does, and waits for all ten reports.
    void readModem()
    {
        auto* list = station->widget<QListWidget>("op_abons_lw");
        emit list->itemDoubleClicked(list->item(0));
        QVERIFY(!station->widget("op_stage_prb")->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(station->widget("op_stage_prb")->isHidden(), 10000);
    }

    std::unique_ptr<Station> station;
    std::unique_ptr<SimNetwork> network;
};

QTEST_MAIN(TestAgainstSimulator)
#include "tst_against_simulator.moc"
