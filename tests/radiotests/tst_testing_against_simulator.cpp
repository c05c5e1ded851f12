// The station's radio tests against the simulated network: a modem whose packet loss follows
// the simulated attenuator and its receive frequency offset, each reaching one half at a known point.
#include "stationtest.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

using namespace stationtest;

namespace {

const QString kModem = QStringLiteral("127.0.72.1");
constexpr double kHalfLossDb = 13.3;
constexpr quint64 kHalfLossHz = 37000;
constexpr quint64 kChannelHz = 1400000000; // the simulated modem starts on the lowest channel
constexpr double kFinalAttStep = 0.248046875;
constexpr quint64 kFinalFreqStep = 195;
constexpr int kSearchTimeoutMs = 120000;

} // namespace

class TestTestingAgainstSimulator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }
    void init();
    void cleanup();

    void sensitivityFindsTheHalfLossAttenuation();
    void dopplerFindsTheHalfLossOffset();
    void cancelMidRunRestoresAttenuatorAndFrequency_data();
    void cancelMidRunRestoresAttenuatorAndFrequency();

private:
    void startTest(bool doppler);
    QString testLog() const { return station->widget<QPlainTextEdit>("testing_pte")->toPlainText(); }
    QString completeField(const QString& name) const;
    // The last value the simulator noted for `pattern`'s one captured field.
    QString lastNoted(const QString& pattern);

    std::unique_ptr<Station> station;
    QProcess simulator;
    QString simulatorOutput;
    QString attenuatorName;
};

void TestTestingAgainstSimulator::init()
{
    station = std::make_unique<Station>();
    simulatorOutput.clear();
    simulator.start(QStringLiteral(ZARNIK_SIM),
                    {"--modems", "1", "--first-address", kModem, "--station",
                     QStringLiteral("127.0.0.1:%1").arg(station->port), "--period", "100ms", "--extended",
                     "--packet-rate", "20000", "--attenuator", "--att50", QString::number(kHalfLossDb),
                     "--doppler50", QString::number(kHalfLossHz), "--verbose"});
    QVERIFY(simulator.waitForStarted());
    const QRegularExpression device("^attenuator: (\\S+)$", QRegularExpression::MultilineOption);
    QTRY_VERIFY_WITH_TIMEOUT(
        (simulatorOutput += QString::fromUtf8(simulator.readAllStandardOutput())).contains(device), 10000);
    attenuatorName = device.match(simulatorOutput).captured(1);

    auto* list = station->widget<QListWidget>("op_abons_lw");
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), 1, 10000);
    emit list->itemDoubleClicked(list->item(0));
    QTRY_VERIFY_WITH_TIMEOUT(station->widget<QProgressBar>("op_stage_prb")->isHidden(), 10000);

    station->widget<QLineEdit>("testing_att_name_le")->setText(attenuatorName);
    // No early end: each search runs down to its finest step.
    station->widget<QDoubleSpinBox>("testing_max_error_dsb")->setValue(0.0);
}

void TestTestingAgainstSimulator::cleanup()
{
    simulator.kill();
    simulator.waitForFinished();
    station.reset();
}

void TestTestingAgainstSimulator::startTest(bool doppler)
{
    station->widget<QRadioButton>(doppler ? "testing_doppler_rbt" : "testing_sens_rbt")->setChecked(true);
    station->widget<QPushButton>("testing_enable_pbt")->click();
}

QString TestTestingAgainstSimulator::completeField(const QString& name) const
{
    const QRegularExpression complete(QStringLiteral("COMPLETE: .*%1 (\\S+?),").arg(name));
    return complete.match(testLog()).captured(1);
}

QString TestTestingAgainstSimulator::lastNoted(const QString& pattern)
{
    simulatorOutput += QString::fromUtf8(simulator.readAllStandardOutput());
    QString last;
    auto matches = QRegularExpression(pattern).globalMatch(simulatorOutput);
    while (matches.hasNext())
        last = matches.next().captured(1);
    return last;
}

void TestTestingAgainstSimulator::sensitivityFindsTheHalfLossAttenuation()
{
    startTest(false);
    QTRY_VERIFY_WITH_TIMEOUT(testLog().contains("COMPLETE"), kSearchTimeoutMs);
    const double found = completeField("att").toDouble();
    QVERIFY2(found <= kHalfLossDb && kHalfLossDb - found < kFinalAttStep, qPrintable(testLog()));
    QVERIFY(!station->widget<QPushButton>("testing_enable_pbt")->isChecked());
    QTRY_COMPARE(lastNoted("attenuation (\\S+) dB"), QString("0"));
    QTRY_COMPARE(lastNoted("CMD_RX_FREQUENCY (\\d+) Hz"), QString::number(kChannelHz));
}

void TestTestingAgainstSimulator::dopplerFindsTheHalfLossOffset()
{
    startTest(true);
    QTRY_VERIFY_WITH_TIMEOUT(testLog().contains("COMPLETE"), kSearchTimeoutMs);
    const quint64 offset = completeField("freq").toULongLong() - kChannelHz;
    QVERIFY2(offset <= kHalfLossHz && kHalfLossHz - offset < kFinalFreqStep, qPrintable(testLog()));
    QTRY_COMPARE(lastNoted("CMD_RX_FREQUENCY (\\d+) Hz"), QString::number(kChannelHz));
}

void TestTestingAgainstSimulator::cancelMidRunRestoresAttenuatorAndFrequency_data()
{
    QTest::addColumn<bool>("doppler");
    QTest::newRow("sensitivity") << false;
    QTest::newRow("doppler") << true;
}

void TestTestingAgainstSimulator::cancelMidRunRestoresAttenuatorAndFrequency()
{
    QFETCH(bool, doppler);
    startTest(doppler);
    QTRY_VERIFY_WITH_TIMEOUT(testLog().contains("START:"), kSearchTimeoutMs);
    QTRY_VERIFY(lastNoted(doppler ? "CMD_RX_FREQUENCY (\\d+) Hz" : "attenuation (\\S+) dB")
                != (doppler ? QString::number(kChannelHz) : QString("0")));
    station->widget<QPushButton>("testing_enable_pbt")->click();
    QVERIFY(testLog().endsWith("TEST CANCEL"));
    QTRY_COMPARE(lastNoted("attenuation (\\S+) dB"), QString("0"));
    QTRY_COMPARE(lastNoted("CMD_RX_FREQUENCY (\\d+) Hz"), QString::number(kChannelHz));
}

QTEST_MAIN(TestTestingAgainstSimulator)
#include "tst_testing_against_simulator.moc"
