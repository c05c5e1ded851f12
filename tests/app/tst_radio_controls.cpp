// The radio controls byte for byte: what each control sends to the current modem, and that
// following the modem's reports sends nothing back.
#include "stationtest.h"

#include <QCheckBox>
#include <QLabel>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPushButton>

using namespace stationtest;

namespace {

const QHostAddress kSwitchTestAddress(QStringLiteral("192.168.11.12"));

} // namespace

class TestRadioControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>(QStringLiteral("127.0.0.41"));
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem->address);
        station->spin("op_current_abon_port_spb")->setValue(modem->port());
    }

    void cleanup()
    {
        station.reset();
        modem.reset();
    }

    void antennaButtonsSendTheirId_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("omnidirectional") << "op_control_antenna_sel_omni_pb" << hex("01ff0000030101");
        QTest::newRow("sector") << "op_control_antenna_sel_sec_pb" << hex("01ff0000030100");
    }

    void antennaButtonsSendTheirId()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, frame);
        auto* clicked = station->widget<QPushButton>(qPrintable(button));
        clicked->click();
        QTRY_COMPARE(modem->frames(), QList<QByteArray>{ frame });
        QVERIFY(clicked->isChecked());
    }

    void antennaReportChecksButtonAndSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sector");
        QTest::addColumn<bool>("omni");
        QTest::newRow("sector") << hex("00") << " Сектор. " << true << false;
        QTest::newRow("omnidirectional") << hex("01") << " Всенапр." << false << true;
        QTest::newRow("unknown") << hex("05") << "         " << false << false;
        QTest::newRow("empty report reads as sector") << QByteArray() << " Сектор. " << true << false;
    }

    void antennaReportChecksButtonAndSendsNothing()
    {
        QFETCH(QByteArray, report);
        QFETCH(QString, text);
        QFETCH(bool, sector);
        QFETCH(bool, omni);
        station->widget<QPushButton>("op_control_antenna_sel_omni_pb")->click();
        QTRY_COMPARE(modem->frames().size(), 1);
        modem->clear();
        station->window->update_REP_ANTENNA_SEL(1, report);
        QCOMPARE(station->widget<QLabel>("op_ext_stat_antenna_l")->text(), text);
        QCOMPARE(station->widget<QPushButton>("op_control_antenna_sel_sec_pb")->isChecked(), sector);
        QCOMPARE(station->widget<QPushButton>("op_control_antenna_sel_omni_pb")->isChecked(), omni);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void transmitterOffFollowsCheckBox()
    {
        auto* off = station->widget<QCheckBox>("op_control_set_tx_mode_chb");
        QVERIFY(!off->isEnabled());
        station->window->update_REP_SET_TX_MODE(1, hex("00"));
        QVERIFY(off->isEnabled());
        QVERIFY(!off->isChecked());
        off->click();
        off->click();
        QTRY_COMPARE(modem->frames(),
                     QList<QByteArray>({ hex("01ff0000060101"), hex("01ff0000060100") }));
        station->window->update_REP_SET_TX_MODE(2, hex("02"));
        QVERIFY(off->isChecked());
        QTest::qWait(50);
        QCOMPARE(modem->frames().size(), 2);
    }

    void powerStepSendsNewValue()
    {
        auto* power = station->spin("op_control_tx_power_mode_spb");
        power->setValue(50);
        QTRY_COMPARE(modem->frames().size(), 1);
        modem->clear();
        power->stepUp();
        QTRY_COMPARE(modem->frames(), QList<QByteArray>{ hex("01ff00000e013c") });
    }

    void powerReportMovesSpinBoxSilently_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<int>("shown");
        QTest::newRow("30") << hex("1e") << 30;
        QTest::newRow("5 shows the minimum") << hex("05") << 10;
        QTest::newRow("200 shows the maximum") << hex("c8") << 100;
    }

    void powerReportMovesSpinBoxSilently()
    {
        QFETCH(QByteArray, report);
        QFETCH(int, shown);
        station->spin("op_control_tx_power_mode_spb")->setValue(70);
        QTRY_COMPARE(modem->frames().size(), 1);
        modem->clear();
        station->window->update_REP_TX_POWER_MODE(4, report);
        QCOMPARE(station->spin("op_control_tx_power_mode_spb")->value(), shown);
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 4);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
        station->spin("op_control_tx_power_mode_spb")->setValue(90);
        QTRY_COMPARE(modem->frames(), QList<QByteArray>{ hex("01ff00000e015a") });
    }

    void modulationPairCannotBeEmptied()
    {
        auto* fm2 = station->widget<QPushButton>("op_control_hs_channel_mod_fm2_pb");
        auto* fm4 = station->widget<QPushButton>("op_control_hs_channel_mod_fm4_pb");
        station->widget("op_control_hs_channel_mod_w")->setEnabled(true);
        station->window->update_REP_SET_HS_CHANNEL_MOD(1, hex("0000"));
        QVERIFY(fm2->isChecked());

        fm2->click();
        QVERIFY(fm2->isChecked());
        QTest::ignoreMessage(QtDebugMsg, "Send FM4 mod");
        fm4->click();
        QVERIFY(fm4->isChecked());
        QVERIFY(!fm2->isChecked());
        QTRY_COMPARE(modem->frames(), QList<QByteArray>{ hex("01ff00000f010100") });

        QTest::ignoreMessage(QtDebugMsg, "Send FM2 mod");
        fm2->click();
        QVERIFY(!fm4->isChecked());
        QTRY_COMPARE(modem->frames().size(), 2);
        QCOMPARE(modem->frames().at(1), hex("01ff00000f010000"));
    }

    void modulationReportTestsWholeWord_data()
    {
        QTest::addColumn<QByteArray>("report");
        QTest::addColumn<bool>("fm4");
        QTest::newRow("0x0000") << hex("0000") << false;
        QTest::newRow("0x0001") << hex("0100") << true;
        QTest::newRow("0x0100") << hex("0001") << true;
        QTest::newRow("one byte") << hex("00") << false;
    }

    void modulationReportTestsWholeWord()
    {
        QFETCH(QByteArray, report);
        QFETCH(bool, fm4);
        station->window->update_REP_SET_HS_CHANNEL_MOD(1, report);
        QCOMPARE(station->widget<QPushButton>("op_control_hs_channel_mod_fm4_pb")->isChecked(), fm4);
        QCOMPARE(station->widget<QPushButton>("op_control_hs_channel_mod_fm2_pb")->isChecked(), !fm4);
        QTest::qWait(50);
        QVERIFY(modem->frames().isEmpty());
    }

    void relayIdentifierSendsLow8Bits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("relay");
        QTest::addColumn<QByteArray>("receive");
        QTest::newRow("300") << "300" << hex("01ff000007012c") << hex("01ff000008012c");
        QTest::newRow("7") << "7" << hex("01ff0000070107") << hex("01ff0000080107");
        QTest::newRow("-1") << "-1" << hex("01ff00000701ff") << hex("01ff00000801ff");
        QTest::newRow("not a number") << "12a" << QByteArray() << QByteArray();
        QTest::newRow("empty") << "" << QByteArray() << QByteArray();
    }

    void relayIdentifierSendsLow8Bits()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, relay);
        QFETCH(QByteArray, receive);
        station->widget<QLineEdit>("op_control_retranslation_id_le")->setText(text);
        station->widget<QPushButton>("op_control_retranslation_mode_pb")->click();
        station->widget<QPushButton>("op_control_receive_mode_pb")->click();
        QList<QByteArray> expected;
        if (!relay.isEmpty())
            expected = { relay, receive };
        QTest::qWait(50);
        QTRY_COMPARE(modem->frames(), expected);
    }

    void stoppedSwitchTestShowsStopped()
    {
        auto* button = station->widget<QPushButton>("op_control_hs_channel_mod_switch_test_pb");
        station->window->_slot_hs_channel_switch_test(true);
        QCOMPARE(button->text(), QStringLiteral("Тест переключения ФМ: остановлен"));
        button->setText(QStringLiteral("x"));
        station->window->_slot_hs_channel_switch_test(false);
        QCOMPARE(button->text(), QStringLiteral("Тест переключения ФМ: остановлен"));
    }

    void switchTestAlternatesModulationAtFixedModem()
    {
        if (!QNetworkInterface::allAddresses().contains(kSwitchTestAddress))
            QSKIP("192.168.11.12 is reachable only inside the test network namespace");
        QUdpSocket testModem;
        QVERIFY(testModem.bind(kSwitchTestAddress, 40005, QUdpSocket::ShareAddress));
        auto* button = station->widget<QPushButton>("op_control_hs_channel_mod_switch_test_pb");

        station->window->_slot_hs_channel_switch_test(true);
        station->window->_slot_timeout_fm_switch_test();
        QCOMPARE(button->text(), QStringLiteral("Тест переключения ФМ: ФМ4"));
        QTRY_VERIFY(testModem.hasPendingDatagrams());
        QCOMPARE(testModem.receiveDatagram().data(), hex("01ff00000f010100"));

        station->window->_slot_timeout_fm_switch_test();
        QCOMPARE(button->text(), QStringLiteral("Тест переключения ФМ: ФМ2"));
        QTRY_VERIFY(testModem.hasPendingDatagrams());
        QCOMPARE(testModem.receiveDatagram().data(), hex("01ff00000f010000"));

        // Stopping keeps the alternation: the next run starts where this one ended.
        station->window->_slot_hs_channel_switch_test(false);
        station->window->_slot_hs_channel_switch_test(true);
        station->window->_slot_timeout_fm_switch_test();
        QTRY_VERIFY(testModem.hasPendingDatagrams());
        QCOMPARE(testModem.receiveDatagram().data(), hex("01ff00000f010100"));
        station->window->_slot_hs_channel_switch_test(false);
        QVERIFY(modem->frames().isEmpty());
    }

private:
    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
};

QTEST_MAIN(TestRadioControls)
#include "tst_radio_controls.moc"
