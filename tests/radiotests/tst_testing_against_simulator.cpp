// The station's radio tests against the simulated network: a modem whose packet loss follows
// the simulated attenuator and its receive frequency offset, each reaching one half at a known point.
#include "stationtest.h"

#include <QtWidgets>

using namespace stationtest;

// Each half-loss point lies midway between two points of its search's last step (0.248 dB,
// 196 Hz), so the noise of two reports' packets cannot tip either measurement.
constexpr double kHalfLossDb = 13.27;
constexpr quint64 kHalfLossHz = 4036;
constexpr quint64 kChannelHz = 1400000000;  // the simulated modem starts on the lowest channel
const QString kStep = QStringLiteral("START: .*\\(\\S+ [+-](\\S+)\\)");  // the step of a move

// Every capture of the pattern's one group in the text.
QStringList captures(const QString& text, const QString& pattern)
{
    QStringList all;
    for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext();)
        all << it.next().captured(1);
    return all;
}

class TestTestingAgainstSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<Station> station;
    std::unique_ptr<QProcess> simulator;  // killed when it goes
    QString simulatorOutput;

    QString testLog() const { return station->widget<QPlainTextEdit>("testing_pte")->toPlainText(); }
    QPushButton* testButton() const { return station->widget<QPushButton>("testing_enable_pbt"); }

    // The last value the simulator printed for the pattern.
    QString lastNoted(const QString& pattern)
    {
        simulatorOutput += QString::fromUtf8(simulator->readAllStandardOutput());
        const QStringList all = captures(simulatorOutput, pattern);
        return all.value(all.size() - 1);
    }

    void expectRestored()
    {
        QTRY_COMPARE(lastNoted("attenuation (\\S+) dB"), QString("0"));
        QTRY_COMPARE(lastNoted("CMD_RX_FREQUENCY (\\d+) Hz"), QString::number(kChannelHz));
    }

    void start(bool doppler)
    {
        station->widget<QRadioButton>(doppler ? "testing_doppler_rbt" : "testing_sens_rbt")->setChecked(true);
        testButton()->click();
    }

    void runToCompletion(bool doppler)
    {
        start(doppler);
        QTRY_VERIFY_WITH_TIMEOUT(testLog().contains("COMPLETE"), 60000);
        QVERIFY(!testButton()->isChecked());
        expectRestored();
    }

private slots:

    void init()
    {
        station = std::make_unique<Station>();
        simulator = std::make_unique<QProcess>();
        simulatorOutput.clear();
        // Many packets in few reports: each measurement is quick and still precise.
        simulator->start(ZARNIK_SIM, {"--modems", "1", "--first-address", "127.0.72.1", "--station",
                                     QStringLiteral("127.0.0.1:%1").arg(station->port), "--period", "200ms",
                                     "--extended", "--packet-rate", "100000", "--attenuator", "--att50",
                                     QString::number(kHalfLossDb), "--doppler50", QString::number(kHalfLossHz), "--verbose"});
        QVERIFY(simulator->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!lastNoted("attenuator: (\\S+)\n").isEmpty(), 10000);
        station->widget<QLineEdit>("testing_att_name_le")->setText(lastNoted("attenuator: (\\S+)\n"));
        auto* list = station->widget<QListWidget>("op_abons_lw");
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 1, 10000);
        emit list->itemDoubleClicked(list->item(0));
        QTRY_VERIFY_WITH_TIMEOUT(station->widget<QProgressBar>("op_stage_prb")->isHidden(), 10000);
        station->spin("testing_pkt_timeout_spb")->setValue(2);
        station->spin("testing_doppler_max_spb")->setValue(6300);  // a last step just short of 200 Hz
        // No early end: each search runs down to its finest step.
        station->widget<QDoubleSpinBox>("testing_max_error_dsb")->setValue(0.0);
    }

    void sensitivityFindsTheHalfLossAttenuation()
    {
        runToCompletion(false);
        const double found = captures(testLog(), "COMPLETE: .*att (\\S+?),").value(0).toDouble();
        QVERIFY2(found <= kHalfLossDb && kHalfLossDb - found < 0.248046875, qPrintable(testLog()));
        QCOMPARE(captures(testLog(), kStep).join(' '), QString("31.75 15.875 7.9375 3.96875 1.984375 0.9921875 0.49609375 0.248046875"));
    }

    void dopplerFindsTheHalfLossOffset()
    {
        runToCompletion(true);
        // A dot per report while the log box is unchecked: two to warm up and two measured.
        QVERIFY(testLog().startsWith("TEST DOPPLER: frequency 1400000000 Hz, (0.50:0.50) ....\nRESULT: 0.00 - success\n"));
        const quint64 offset = captures(testLog(), "COMPLETE: .*freq (\\d+),").value(0).toULongLong() - kChannelHz;
        QVERIFY2(offset <= kHalfLossHz && kHalfLossHz - offset < 196, qPrintable(testLog()));
        QCOMPARE(captures(testLog(), kStep).join(' '), QString("6300 3150 1575 787 393 196"));
    }

    void cancelMidRunRestoresAttenuatorAndFrequency()
    {
        start(false);
        QTRY_COMPARE_WITH_TIMEOUT(lastNoted("attenuation (\\S+) dB"), QString("31.75"), 10000);
        testButton()->click();
        QVERIFY(testLog().endsWith("TEST CANCEL"));
        expectRestored();
    }
};

QTEST_MAIN(TestTestingAgainstSimulator)
#include "tst_testing_against_simulator.moc"
