// The channel list built from the band plan, the frequency labels, matching a reported
// frequency to a channel, and the frames that tune the modem.
#include "stationtest.h"

#include <QComboBox>
#include <QLabel>

using namespace stationtest;

namespace {

using Channels = QList<uint64_t>;

QByteArray plan(uint64_t lowest, uint64_t highest, uint32_t step)
{
    REP_PARAMETERS_t parameters;
    parameters.lowest = lowest;
    parameters.highest = highest;
    parameters.step = step;
    return records::encodeParameters(parameters);
}

QStringList items(QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

QByteArray frequencyFrame(quint16 opcode, uint64_t hz)
{
    return protocol::buildFrame(opcode, protocol::payloadFrom(records::encodeFrequency(hz)));
}

const QStringList kBuiltIn = { "1400", "1411", "1422", "1433", "1444", "1455" };

} // namespace

Q_DECLARE_METATYPE(Channels)

class TestChannels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>(QStringLiteral("127.0.0.31"));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem->address);
        station->spin("op_current_abon_port_spb")->setValue(modem->port());
        box = station->widget<QComboBox>("op_control_channel_cmb");
    }

    void cleanup()
    {
        station.reset();
        modem.reset();
    }

    void bandPlanGivesChannels_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("channels");
        QTest::newRow("step 0: built-in channels") << plan(1400000000, 1450000000, 0)
                                                   << "1400-1450/0" << kBuiltIn;
        QTest::newRow("7 MHz steps") << plan(1400000000, 1430000000, 7000000) << "1400-1430/7"
                                     << QStringList({ "1400", "1407", "1414", "1421", "1428" });
        QTest::newRow("10 MHz steps") << plan(1400000000, 1450000000, 10000000) << "1400-1450/10"
                                      << QStringList({ "1400", "1410", "1420", "1430", "1440",
                                                       "1450" });
        QTest::newRow("lowest above highest") << plan(1500000000, 1400000000, 1000000)
                                              << "1500-1400/1" << QStringList({ "1500" });
        QTest::newRow("sub-megahertz step") << plan(1400000000, 1400900000, 300000)
                                            << "1400-1400/0"
                                            << QStringList({ "1400", "1400", "1400", "1400" });
        QTest::newRow("short report") << QByteArray() << "0-0/0" << kBuiltIn;
    }

    void bandPlanGivesChannels()
    {
        QFETCH(QByteArray, parameters);
        QFETCH(QString, label);
        QFETCH(QStringList, channels);
        station->window->update_REP_PARAMETERS(1, parameters);
        QCOMPARE(station->widget<QLabel>("op_params_freqs_lbl")->text(), label);
        QCOMPARE(items(box), channels);
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(box->isEnabled());
        QCOMPARE(items(settingsChannels()), channels);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void hugeBandPlanIsBounded_data()
    {
        QTest::addColumn<QByteArray>("parameters");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::newRow("1 Hz steps over 1 GHz") << plan(1000000000, 2000000000, 1) << 4096
                                               << "1000";
        QTest::newRow("step past the top of the range")
            << plan(UINT64_MAX - 5, UINT64_MAX, 4) << 2 << "18446744073709";
    }

    void hugeBandPlanIsBounded()
    {
        QFETCH(QByteArray, parameters);
        QFETCH(int, count);
        QFETCH(QString, last);
        station->window->update_REP_PARAMETERS(1, parameters);
        QCOMPARE(box->count(), count);
        QCOMPARE(box->itemText(count - 1), last);
    }

    void unsupportedParametersGiveBuiltInChannels()
    {
        station->window->update_REP_UNSUPPORTED(1, hex("0981"));
        QCOMPARE(items(box), kBuiltIn);
        QCOMPARE(items(settingsChannels()), kBuiltIn);
    }

    void reportedFrequencySelectsChannelWithin10Hz_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<int>("index");
        QTest::newRow("exact") << qint64(0) << 2;
        QTest::newRow("5 Hz above") << qint64(5) << 2;
        QTest::newRow("10 Hz below") << qint64(-10) << 2;
        QTest::newRow("11 Hz above: no channel, so the first") << qint64(11) << 0;
    }

    void reportedFrequencySelectsChannelWithin10Hz()
    {
        QFETCH(qint64, offset);
        QFETCH(int, index);
        station->window->initFrequencyList({});
        box->setCurrentIndex(3);
        station->window->update_REP_TX_FREQUENCY(
            1, records::encodeFrequency(uint64_t(1422000000 + offset)));
        QCOMPARE(box->currentIndex(), index);
    }

    void frequencyLabels_data()
    {
        QTest::addColumn<bool>("transmit");
        QTest::addColumn<qulonglong>("hz");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole MHz") << true << 1411000000ULL << "ПРД: 1411";
        QTest::newRow("rounded up") << true << 1411600000ULL << "ПРД: 1412";
        QTest::newRow("half rounds away from zero") << false << 1411500000ULL << "ПРМ: 1412";
        QTest::newRow("rounded down") << false << 1411499999ULL << "ПРМ: 1411";
        QTest::newRow("seven digits turn exponential") << true << 1234567000000ULL
                                                       << "ПРД: 1.23457e+06";
    }

    void frequencyLabels()
    {
        QFETCH(bool, transmit);
        QFETCH(qulonglong, hz);
        QFETCH(QString, text);
        if (transmit)
            station->window->update_REP_TX_FREQUENCY(1, records::encodeFrequency(hz));
        else
            station->window->update_REP_RX_FREQUENCY(1, records::encodeFrequency(hz));
        auto* label = station->widget<QLabel>(transmit ? "op_control_tx_freq_lbl"
                                                       : "op_control_rx_freq_lbl");
        QCOMPARE(label->text(), text);
    }

    void frequencyWithoutChannelListOnlyWritesLabel()
    {
        station->window->update_REP_RX_FREQUENCY(1, records::encodeFrequency(1411000000));
        QCOMPARE(box->count(), 0);
        QCOMPARE(station->widget<QLabel>("op_control_rx_freq_lbl")->text(), QStringLiteral("ПРМ: 1411"));
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void choosingChannelSendsTransmitThenReceive()
    {
        station->window->initFrequencyList({});
        box->setCurrentIndex(4);
        QTRY_COMPARE(modem->frames().size(), 2);
        QCOMPARE(modem->frames().at(0), frequencyFrame(CMD_TX_FREQUENCY, 1444000000));
        QCOMPARE(modem->frames().at(1), frequencyFrame(CMD_RX_FREQUENCY, 1444000000));
        QCOMPARE(modem->frames().at(0).size(), 14);
    }

    void refillSendsNothing()
    {
        station->window->initFrequencyList({});
        box->setCurrentIndex(2);
        QTRY_COMPARE(modem->frames().size(), 2);
        modem->clear();
        station->window->initFrequencyList({ 1500000000, 1510000000 });
        QCOMPARE(items(box), QStringList({ "1500", "1510" }));
        QCOMPARE(box->currentIndex(), -1);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void indexOutOfRangeSendsNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("past the end") << 6;
        QTest::newRow("negative") << -1;
    }

    void indexOutOfRangeSendsNothing()
    {
        QFETCH(int, index);
        station->window->initFrequencyList({});
        QTest::ignoreMessage(QtWarningMsg, "Idx out of range");
        station->window->send_CMD_SET_FREQUENCY(index);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void testingFrequencySetsReceiveOnly()
    {
        station->window->initFrequencyList({});
        box->setCurrentIndex(1);
        QTRY_COMPARE(modem->frames().size(), 2);
        modem->clear();
        station->window->send_testing_rx_next_freq(1411000350);
        QTRY_COMPARE(modem->frames().size(), 1);
        QCOMPARE(modem->frames().at(0), frequencyFrame(CMD_RX_FREQUENCY, 1411000350));
        QCOMPARE(box->currentIndex(), 1);
    }

    void pollingTunesModemToReportedChannel()
    {
        // After the band plan the box shows no channel, so the first frequency report always
        // tunes the modem; a receive report naming another channel retunes both directions.
        station->window->SetCurrentAbonent(modem->abonentLine());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        modem->report(REP_VERSION, QByteArray(12, '\0'), 1, station->port);
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_PARAMETERS) >= 0);
        modem->report(REP_PARAMETERS, plan(1400000000, 1450000000, 10000000), 2, station->port);
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_TX_FREQUENCY) >= 0);

        modem->clear();
        modem->report(REP_TX_FREQUENCY, records::encodeFrequency(1420000000), 3, station->port);
        const int transmit = modem->waitFor(CMD_TX_FREQUENCY);
        QVERIFY(transmit >= 0);
        QCOMPARE(modem->frames().at(transmit), frequencyFrame(CMD_TX_FREQUENCY, 1420000000));
        QCOMPARE(modem->frames().at(transmit + 1), frequencyFrame(CMD_RX_FREQUENCY, 1420000000));

        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_RX_FREQUENCY) >= 0);
        modem->clear();
        modem->report(REP_RX_FREQUENCY, records::encodeFrequency(1440000000), 4, station->port);
        const int retune = modem->waitFor(CMD_TX_FREQUENCY);
        QVERIFY(retune >= 0);
        QCOMPARE(modem->frames().at(retune), frequencyFrame(CMD_TX_FREQUENCY, 1440000000));
        QCOMPARE(modem->frames().at(retune + 1), frequencyFrame(CMD_RX_FREQUENCY, 1440000000));
        QCOMPARE(box->currentText(), QStringLiteral("1440"));
    }

private:
    QComboBox* settingsChannels() const
    {
        return station->widget<QComboBox>("op_defaults_channel_cmb");
    }

    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
    QComboBox* box = nullptr;
};

QTEST_MAIN(TestChannels)
#include "tst_channels.moc"
