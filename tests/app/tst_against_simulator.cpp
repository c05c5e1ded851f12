// The station against the simulated modem network: the modems appear, a chosen one is read
// through all ten reports, and choosing a channel retunes it.
#include "stationtest.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>

using namespace stationtest;

namespace {

// Modems of this test live apart from the other tests' simulated networks.
const QString kFirstModem = QStringLiteral("127.0.71.1");

} // namespace

class TestAgainstSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        simulator.start(QStringLiteral(ZARNIK_SIM),
                        { QStringLiteral("--modems"), QStringLiteral("3"),
                          QStringLiteral("--first-address"), kFirstModem,
                          QStringLiteral("--station"),
                          QStringLiteral("127.0.0.1:%1").arg(station->port),
                          QStringLiteral("--period"), QStringLiteral("200ms") });
        QVERIFY(simulator.waitForStarted());
        list = station->widget<QListWidget>("op_abons_lw");
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 3, 10000);
    }

    void cleanup()
    {
        simulator.kill();
        simulator.waitForFinished();
        station.reset();
    }

    void chosenModemIsReadThroughAllReports()
    {
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        emit list->itemDoubleClicked(list->item(1));
        QVERIFY(!bar->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 10000);
        QVERIFY(station->widget("DefaultsWindow")->isEnabled());
        QVERIFY(station->widget<QGroupBox>("op_version_gbx")->title().startsWith(QLatin1Char('v')));
        QVERIFY(station->widget<QComboBox>("op_control_channel_cmb")->currentIndex() >= 0);
        QTRY_VERIFY_WITH_TIMEOUT(station->widget("op_version_gbx")->isEnabled(), 5000);
    }

    void choosingChannelRetunesModem()
    {
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        auto* channels = station->widget<QComboBox>("op_control_channel_cmb");
        emit list->itemDoubleClicked(list->item(0));
        QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 10000);
        const int chosen = channels->currentIndex() == 3 ? 2 : 3;
        const QString megahertz = channels->itemText(chosen);
        channels->setCurrentIndex(chosen);

        // Reading the modem again shows the frequencies it now reports.
        emit list->itemDoubleClicked(list->item(0));
        QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 10000);
        QCOMPARE(station->widget<QLabel>("op_control_tx_freq_lbl")->text(), "ПРД: " + megahertz);
        QCOMPARE(station->widget<QLabel>("op_control_rx_freq_lbl")->text(), "ПРМ: " + megahertz);
        QCOMPARE(channels->currentIndex(), chosen);
    }

private:
    std::unique_ptr<Station> station;
    QProcess simulator;
    QListWidget* list = nullptr;
};

QTEST_MAIN(TestAgainstSimulator)
#include "tst_against_simulator.moc"
