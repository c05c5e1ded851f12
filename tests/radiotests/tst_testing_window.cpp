#include "defaultswindow.h"
#include "fake_attenuator.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

constexpr quint64 kRxFreq = 1000000000;

REP_EXTENDED_STATUS_t status(quint16 received, quint16 lost, bool sync = true)
{
    REP_EXTENDED_STATUS_t rep;
    rep.flags = sync ? REP_EXTENDED_STATUS_t::Synchronised : 0;
    rep.received = received;
    rep.lost = lost;
    rep.rssi = 8567;
    return rep;
}

} // namespace

// The testing tab of the settings window: its log, the attenuator and the frequencies it asks for.
class TestTestingWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startWithoutReceiveFrequencyIsRefused();
    void sensitivityWithoutAttenuatorIsRefused();
    void reportLinesOfOneMeasurement();
    void quietLogAddsOneDotPerReport();
    void failureAtTheFirstPointCompletesAndRestores();
    void sensitivityLogsEveryStepInShortestForm();
    void dopplerAsksForEachFrequency();
    void cancelMidRunRestoresAttenuationAndFrequency();
    void reportsOutsideATestAreIgnored();

private:
    void start(bool doppler = false);
    void feed(int reports, quint16 received, quint16 lost);
    QStringList log() const;
    QPushButton* testButton() const;

    std::unique_ptr<FakeAttenuator> device;
    std::unique_ptr<DefaultsWindow> window;
    std::unique_ptr<QSignalSpy> frequencies;
};

void TestTestingWindow::init()
{
    device = std::make_unique<FakeAttenuator>();
    window = std::make_unique<DefaultsWindow>();
    window->findChild<QLineEdit*>("testing_att_name_le")->setText(device->portName());
    window->findChild<QCheckBox*>("testing_log_chb")->setChecked(true);
    frequencies = std::make_unique<QSignalSpy>(window.get(), &DefaultsWindow::signal_testing_rx_next_freq);
}

void TestTestingWindow::cleanup()
{
    frequencies.reset();
    window.reset();
    device.reset();
}

void TestTestingWindow::start(bool doppler)
{
    window->findChild<QRadioButton*>(doppler ? "testing_doppler_rbt" : "testing_sens_rbt")->setChecked(true);
    window->testing_rx_frequency_handler(REP_RX_FREQUENCY_t{kRxFreq});
    testButton()->click();
}

void TestTestingWindow::feed(int reports, quint16 received, quint16 lost)
{
    for (int i = 0; i < reports; ++i)
        window->testing_statistic_handler(status(received, lost));
}

QStringList TestTestingWindow::log() const
{
    return window->findChild<QPlainTextEdit*>("testing_pte")->toPlainText().split('\n');
}

QPushButton* TestTestingWindow::testButton() const
{
    return window->findChild<QPushButton*>("testing_enable_pbt");
}

void TestTestingWindow::startWithoutReceiveFrequencyIsRefused()
{
    testButton()->click();
    QCOMPARE(log(), QStringList{"testing_statistic_enable: testing_cur_freq == 0"});
    QVERIFY(!testButton()->isChecked());
    QVERIFY(frequencies->isEmpty());
    QVERIFY(device->commands().isEmpty());
}

void TestTestingWindow::sensitivityWithoutAttenuatorIsRefused()
{
    window->findChild<QLineEdit*>("testing_att_name_le")->setText("/dev/no-such-attenuator");
    start();
    QCOMPARE(log(), (QStringList{"SENS TEST: attenuation 0.00 dB, (0.40:0.60) ",
                                 "testing_att.initialize(\"/dev/no-such-attenuator\") failed"}));
    QVERIFY(!testButton()->isChecked());
    feed(20, 40, 0);
    QCOMPARE(log().size(), 2);
}

void TestTestingWindow::reportLinesOfOneMeasurement()
{
    window->findChild<QDoubleSpinBox*>("testing_max_error_dsb")->setValue(0.05);
    start();
    window->testing_statistic_handler(status(40, 0));
    window->testing_statistic_handler(status(3, 9, false));
    feed(12, 30, 10);
    const QStringList expected{
        "SENS TEST: attenuation 0.00 dB, (0.45:0.55) ",
        "[-1/10/ 0]: SYN, total 0, pkt 0, miss 0",
        "[ 0/10/ 1]: ___, total 12, pkt 3, miss 9",
        "[-1/10/ 0]: SYN, total 0, pkt 0, miss 0",
        "[ 0/10/ 0]: SYN, total 0, pkt 0, miss 0",
        "[ 1/10/ 0]: SYN, total 40, pkt 30, miss 10",
        "[ 2/10/ 0]: SYN, total 80, pkt 60, miss 20",
        "[ 3/10/ 0]: SYN, total 120, pkt 90, miss 30",
        "[ 4/10/ 0]: SYN, total 160, pkt 120, miss 40",
        "[ 5/10/ 0]: SYN, total 200, pkt 150, miss 50",
        "[ 6/10/ 0]: SYN, total 240, pkt 180, miss 60",
        "[ 7/10/ 0]: SYN, total 280, pkt 210, miss 70",
        "[ 8/10/ 0]: SYN, total 320, pkt 240, miss 80",
        "[ 9/10/ 0]: SYN, total 360, pkt 270, miss 90",
        "[10/10/ 0]: SYN, total 400, pkt 300, miss 100",
        "RESULT: 0.25 - success",
        "START: attenuation 31.75 dB (0 +31.75) ",
    };
    QCOMPARE(log(), expected);
    QCOMPARE(device->commands(), (QByteArrayList{"att-00.00\r\n", "att-00.00\r\n", "att-31.75\r\n"}));
}

void TestTestingWindow::quietLogAddsOneDotPerReport()
{
    window->findChild<QCheckBox*>("testing_log_chb")->setChecked(false);
    start();
    feed(12, 40, 0);
    feed(3, 40, 0);
    QCOMPARE(log(), (QStringList{"SENS TEST: attenuation 0.00 dB, (0.40:0.60) ............",
                                 "RESULT: 0.00 - success", "START: attenuation 31.75 dB (0 +31.75) ..."}));
}

void TestTestingWindow::failureAtTheFirstPointCompletesAndRestores()
{
    start();
    feed(12, 0, 40);
    QCOMPARE(log().mid(13), (QStringList{"RESULT: 1.00 - failed", "START: attenuation -31.75 dB (0 -31.75) ",
                                         "COMPLETE: result 1.00, att 31.75, freq 1000100000, rssi -85"}));
    QVERIFY(!testButton()->isChecked());
    // The point below the range never reaches the device; the restore does.
    QCOMPARE(device->commands(), (QByteArrayList{"att-00.00\r\n", "att-00.00\r\n", "att-00.00\r\n"}));
    QCOMPARE(frequencies->takeLast().at(0).toULongLong(), kRxFreq);
    feed(12, 40, 0);
    QCOMPARE(log().size(), 16);
}

void TestTestingWindow::sensitivityLogsEveryStepInShortestForm()
{
    start();
    feed(12, 40, 0);
    for (int i = 0; i < 8; ++i)
        feed(11, 40, 0);
    const QStringList steps = log().filter(QRegularExpression("^(START|COMPLETE)"));
    const QStringList expected{
        "START: attenuation 31.75 dB (0 +31.75) ",
        "START: attenuation 47.625 dB (31.75 +15.875) ",
        "START: attenuation 55.5625 dB (47.625 +7.9375) ",
        "START: attenuation 59.53125 dB (55.5625 +3.96875) ",
        "START: attenuation 61.515625 dB (59.53125 +1.984375) ",
        "START: attenuation 62.5078125 dB (61.515625 +0.9921875) ",
        "START: attenuation 63.00390625 dB (62.5078125 +0.49609375) ",
        "START: attenuation 63.251953125 dB (63.00390625 +0.248046875) ",
        "COMPLETE: result 0.00, att 63.251953125, freq 1000100000, rssi -85",
    };
    QCOMPARE(steps, expected);
    QCOMPARE(device->commands().last(), QByteArray("att-00.00\r\n"));
    QVERIFY(!testButton()->isChecked());
}

void TestTestingWindow::dopplerAsksForEachFrequency()
{
    start(true);
    QCOMPARE(log(), QStringList{"TEST DOPPLER: frequency 1000000000 Hz, (0.40:0.60) "});
    QCOMPARE(frequencies->takeFirst().at(0).toULongLong(), kRxFreq);
    feed(12, 40, 0);
    QCOMPARE(log().last(), QString("START: frequency 1000100000 Hz (1000000000 +100000) "));
    QCOMPARE(frequencies->takeFirst().at(0).toULongLong(), kRxFreq + 100000);
    window->testing_rx_frequency_handler(REP_RX_FREQUENCY_t{kRxFreq + 100000});
    // Later measurements warm up with one report only.
    feed(11, 0, 40);
    QCOMPARE(log().last(), QString("START: frequency 1000050000 Hz (1000100000 -50000) "));
    QCOMPARE(frequencies->takeFirst().at(0).toULongLong(), kRxFreq + 50000);
}

void TestTestingWindow::cancelMidRunRestoresAttenuationAndFrequency()
{
    start();
    feed(12, 40, 0);
    QCOMPARE(device->commands().last(), QByteArray("att-31.75\r\n"));
    testButton()->click();
    QCOMPARE(log().last(), QString("TEST CANCEL"));
    QCOMPARE(device->commands().last(), QByteArray("att-00.00\r\n"));
    QCOMPARE(frequencies->takeLast().at(0).toULongLong(), kRxFreq);
    feed(12, 40, 0);
    QCOMPARE(log().last(), QString("TEST CANCEL"));
}

void TestTestingWindow::reportsOutsideATestAreIgnored()
{
    feed(30, 40, 0);
    QCOMPARE(log(), QStringList{QString()});
}

QTEST_MAIN(TestTestingWindow)
#include "tst_testing_window.moc"
