// How the status reports of the current modem appear in the window: texts, colours, the mode
// picture, the running totals and the extended status taking over the display.
#include "stationtest.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>

using namespace stationtest;
using statusview::Indicator;

namespace {

QString style(Indicator colour)
{
    return statusview::styleSheet(colour);
}

const QString kEmpty = QStringLiteral(":/images/modes/empty.svg");

// True when the widget shows the picture at `path`; an empty `path` means no picture at all.
bool showsPicture(QSvgWidget* widget, const QString& path)
{
    if (path.isEmpty())
        return !widget->renderer()->isValid();
    QSvgRenderer expected(path);
    if (!expected.isValid() || !widget->renderer()->isValid())
        return false;
    QImage shown(180, 60, QImage::Format_ARGB32), wanted(180, 60, QImage::Format_ARGB32);
    shown.fill(Qt::white);
    wanted.fill(Qt::white);
    QPainter shownPainter(&shown);
    widget->renderer()->render(&shownPainter);
    QPainter wantedPainter(&wanted);
    expected.render(&wantedPainter);
    return shown == wanted;
}

REP_EXTENDED_STATUS_t extended(int mode, int role, int spreading, int modulation, int flags = 0)
{
    REP_EXTENDED_STATUS_t status;
    status.mode = uint8_t(mode);
    status.role = uint8_t(role);
    status.spreading = uint8_t(spreading);
    status.modulation = uint8_t(modulation);
    status.flags = uint8_t(flags);
    status.tx_power = 50;
    return status;
}

} // namespace

Q_DECLARE_METATYPE(Indicator)

class TestStatusDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }
    void init() { station = std::make_unique<Station>(); }
    void cleanup() { station.reset(); }

    void contStatusShowsModeTextAndPicture_data()
    {
        QTest::addColumn<int>("opmode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("picture");
        QTest::newRow("0x43 board") << 0x43 << "1, Борт , ПШС256" << ":/images/modes/1m.svg";
        QTest::newRow("0x1C invalid code") << 0x1C << "--, -----, ПШС64 + Фм2" << kEmpty;
        QTest::newRow("0x12 abonent without picture") << 0x12 << "8, Абон., ПШС64 + Фм2" << QString();
        QTest::newRow("0x00 ground") << 0x00 << "0, Земля, ПШС64" << ":/images/modes/0s.svg";
        QTest::newRow("0x05 high speed board") << 0x05 << "2, Борт , Фм2" << ":/images/modes/2m.svg";
        QTest::newRow("0x97 relay FM4") << 0x97 << "10, Ретр., ПШС64 + Фм4" << ":/images/modes/10m.svg";
        QTest::newRow("0x18 abonent") << 0x18 << "10, Абон., ПШС64 + Фм2" << ":/images/modes/10r.svg";
        QTest::newRow("0x7B last valid code") << 0x7B << "11, Абон., ПШС512 + Фм2"
                                              << ":/images/modes/11r.svg";
    }

    void contStatusShowsModeTextAndPicture()
    {
        QFETCH(int, opmode);
        QFETCH(QString, text);
        QFETCH(QString, picture);
        station->window->update_REP_CONT_STATUS(3, contStatus(uint8_t(opmode), 1, 60));
        QCOMPARE(station->widget<QLineEdit>("op_cont_stat_opmode_le")->text(), text);
        QVERIFY(showsPicture(station->window->findChild<QSvgWidget*>(), picture));
        QCOMPARE(station->widget<QLineEdit>("op_cont_stat_opmode_le")->styleSheet(),
                 style(Indicator::Grey));
    }

    void extendedStatusShowsModeTextAndColour_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("spreading");
        QTest::addColumn<int>("modulation");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Indicator>("colour");
        QTest::addColumn<QString>("picture");
        QTest::newRow("relay, white") << 10 << 1 << 0 << 1 << 0x08 << "10, Ретр., ПШС64 + Фм4"
                                      << Indicator::White << ":/images/modes/10m.svg";
        QTest::newRow("ground, yellow") << 0 << 0 << 1 << 0 << 0 << "0, Земля, ПШС128"
                                        << Indicator::Yellow << ":/images/modes/0s.svg";
        QTest::newRow("mode 12") << 12 << 0 << 0 << 0 << 0 << "--, -----, ПШС64 + Фм2"
                                 << Indicator::Yellow << kEmpty;
        QTest::newRow("role 2 below mode 8") << 5 << 2 << 0 << 0 << 0 << "--, -----, ПШС64 + Фм2"
                                             << Indicator::Yellow << kEmpty;
        QTest::newRow("role 2 in a relay mode") << 11 << 2 << 3 << 1 << 0
                                                << "11, Абон., ПШС512 + Фм4" << Indicator::Yellow
                                                << ":/images/modes/11r.svg";
        QTest::newRow("spreading out of range") << 1 << 0 << 4 << 0 << 0 << "--, -----, ПШС1024"
                                                << Indicator::Yellow << kEmpty;
        QTest::newRow("spreading beyond any number") << 1 << 0 << 200 << 0 << 0
                                                     << "--, -----, ПШС?" << Indicator::Yellow
                                                     << kEmpty;
    }

    void extendedStatusShowsModeTextAndColour()
    {
        QFETCH(int, mode);
        QFETCH(int, role);
        QFETCH(int, spreading);
        QFETCH(int, modulation);
        QFETCH(int, flags);
        QFETCH(QString, text);
        QFETCH(Indicator, colour);
        QFETCH(QString, picture);
        station->window->update_REP_EXTENDED_STATUS(
            4, records::encodeExtendedStatus(extended(mode, role, spreading, modulation, flags)));
        auto* field = station->widget<QLineEdit>("op_cont_stat_opmode_le");
        QCOMPARE(field->text(), text);
        QCOMPARE(field->styleSheet(), style(colour));
        QVERIFY(showsPicture(station->window->findChild<QSvgWidget*>(), picture));
    }

    void rssiShowsLevelAndSync_data()
    {
        QTest::addColumn<bool>("isExtended");
        QTest::addColumn<int>("rssi");
        QTest::addColumn<bool>("sync");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Indicator>("colour");
        QTest::newRow("zero, no sync") << false << 0 << false << "   0 дБ" << Indicator::Red;
        QTest::newRow("-85 synchronised") << false << 85 << true << " -85 дБ" << Indicator::Green;
        QTest::newRow("widest") << false << 255 << true << "-255 дБ" << Indicator::Green;
        QTest::newRow("extended, whole dB") << true << 8599 << true << " -85 дБ" << Indicator::Green;
        QTest::newRow("extended, no sync") << true << 0 << false << "   0 дБ" << Indicator::Red;
    }

    void rssiShowsLevelAndSync()
    {
        QFETCH(bool, isExtended);
        QFETCH(int, rssi);
        QFETCH(bool, sync);
        QFETCH(QString, text);
        QFETCH(Indicator, colour);
        if (isExtended) {
            REP_EXTENDED_STATUS_t status = extended(0, 0, 0, 0, sync ? 0x01 : 0);
            status.rssi = uint16_t(rssi);
            station->window->update_REP_EXTENDED_STATUS(1, records::encodeExtendedStatus(status));
        } else {
            station->window->update_REP_CONT_STATUS(1, contStatus(0, sync, uint8_t(rssi)));
        }
        auto* label = station->widget<QLabel>("op_ext_stat_rssi_l");
        QCOMPARE(label->text(), text);
        QCOMPARE(label->styleSheet(), style(colour));
        QVERIFY(label->isEnabled());
    }

    void antennaIndicatorFollowsExtendedStatus_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("antenna");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Indicator>("colour");
        QTest::addColumn<bool>("sector");
        QTest::addColumn<bool>("omni");
        // Before each row the modem reported the omnidirectional antenna.
        QTest::newRow("fault keeps the buttons") << 0x02 << 0 << "Ошибка  " << Indicator::Red
                                                 << false << true;
        QTest::newRow("sector") << 0 << 0 << " Сектор. " << Indicator::Green << true << false;
        QTest::newRow("omnidirectional") << 0 << 1 << " Всенапр." << Indicator::Green << false
                                         << true;
        QTest::newRow("unknown antenna") << 0 << 7 << "         " << Indicator::Green << false
                                         << false;
    }

    void antennaIndicatorFollowsExtendedStatus()
    {
        QFETCH(int, flags);
        QFETCH(int, antenna);
        QFETCH(QString, text);
        QFETCH(Indicator, colour);
        QFETCH(bool, sector);
        QFETCH(bool, omni);
        station->window->update_REP_ANTENNA_SEL(1, hex("01"));
        REP_EXTENDED_STATUS_t status = extended(4, 0, 0, 0, flags);
        status.antenna = uint8_t(antenna);
        station->window->update_REP_EXTENDED_STATUS(2, records::encodeExtendedStatus(status));
        auto* label = station->widget<QLabel>("op_ext_stat_antenna_l");
        QCOMPARE(label->text(), text);
        QCOMPARE(label->styleSheet(), style(colour));
        QCOMPARE(station->widget<QPushButton>("op_control_antenna_sel_sec_pb")->isChecked(), sector);
        QCOMPARE(station->widget<QPushButton>("op_control_antenna_sel_omni_pb")->isChecked(), omni);
    }

    void transmitPowerIndicator_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("power");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Indicator>("colour");
        QTest::addColumn<int>("spinValue");
        QTest::newRow("off") << 0x04 << 70 << "   ВЫКЛ   " << Indicator::Yellow << 70;
        QTest::newRow("zero power") << 0 << 0 << "  0 %  " << Indicator::Yellow << 10;
        QTest::newRow("half power") << 0 << 50 << "  50 %  " << Indicator::Green << 50;
        QTest::newRow("below the spin box") << 0 << 5 << "  5 %  " << Indicator::Green << 10;
    }

    void transmitPowerIndicator()
    {
        QFETCH(int, flags);
        QFETCH(int, power);
        QFETCH(QString, text);
        QFETCH(Indicator, colour);
        QFETCH(int, spinValue);
        REP_EXTENDED_STATUS_t status = extended(4, 0, 0, 0, flags);
        status.tx_power = uint8_t(power);
        station->window->update_REP_EXTENDED_STATUS(1, records::encodeExtendedStatus(status));
        auto* label = station->widget<QLabel>("op_ext_tx_power_mode_l");
        QCOMPARE(label->text(), text);
        QCOMPARE(label->styleSheet(), style(colour));
        QCOMPARE(station->spin("op_control_tx_power_mode_spb")->value(), spinValue);
    }

    void modulationButtonsAdoptedFromFirstExtendedStatus_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("modulation");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("fm2");
        QTest::addColumn<bool>("fm4");
        QTest::newRow("mode 3 ground FM2") << 3 << 0 << 0 << true << true << false;
        QTest::newRow("mode 9 ground FM4") << 9 << 0 << 1 << true << false << true;
        QTest::newRow("mode 2 has no switch") << 2 << 0 << 0 << false << false << false;
        QTest::newRow("mode 10 has no switch") << 10 << 0 << 1 << false << false << false;
        QTest::newRow("board side") << 4 << 1 << 0 << false << false << false;
        QTest::newRow("unknown modulation") << 5 << 0 << 2 << false << false << false;
    }

    void modulationButtonsAdoptedFromFirstExtendedStatus()
    {
        QFETCH(int, mode);
        QFETCH(int, role);
        QFETCH(int, modulation);
        QFETCH(bool, enabled);
        QFETCH(bool, fm2);
        QFETCH(bool, fm4);
        station->window->update_REP_EXTENDED_STATUS(
            1, records::encodeExtendedStatus(extended(mode, role, 0, modulation)));
        QCOMPARE(station->widget("op_control_hs_channel_mod_w")->isEnabled(), enabled);
        QCOMPARE(station->widget<QPushButton>("op_control_hs_channel_mod_fm2_pb")->isChecked(), fm2);
        QCOMPARE(station->widget<QPushButton>("op_control_hs_channel_mod_fm4_pb")->isChecked(), fm4);
    }

    void laterExtendedStatusLeavesModulationToOperator()
    {
        station->window->update_REP_EXTENDED_STATUS(1, records::encodeExtendedStatus(extended(3, 0, 0, 0)));
        station->window->update_REP_EXTENDED_STATUS(2, records::encodeExtendedStatus(extended(3, 0, 0, 1)));
        QVERIFY(station->widget<QPushButton>("op_control_hs_channel_mod_fm2_pb")->isChecked());
        QVERIFY(!station->widget<QPushButton>("op_control_hs_channel_mod_fm4_pb")->isChecked());
    }

    void versionTitle()
    {
        REP_VERSION_t version;
        version.major = 1;
        version.minor = 2;
        version.revision = 3;
        version.build = 0x1A2B;
        version.hardware = 1;
        version.function = 0x0C;
        station->window->update_REP_VERSION(5, records::encodeVersion(version));
        QCOMPARE(station->widget<QGroupBox>("op_version_gbx")->title(),
                 QStringLiteral("v1.2.3, build 00001a2b, hw 01, fn 0c"));
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 5);
    }

    void versionComparison_data()
    {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("result");
        // The modem reports 3.7.
        QTest::newRow("older major") << 2 << 9 << 1;
        QTest::newRow("newer major") << 4 << 0 << -1;
        QTest::newRow("older minor") << 3 << 6 << 1;
        QTest::newRow("newer minor") << 3 << 8 << -1;
        QTest::newRow("same") << 3 << 7 << 0;
    }

    void versionComparison()
    {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, result);
        REP_VERSION_t version;
        version.major = 3;
        version.minor = 7;
        station->window->update_REP_VERSION(1, records::encodeVersion(version));
        QCOMPARE(station->window->testVersion(major, minor), result);
    }

    void idStatisticShowsOtherStationsRange_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("ownIndex");
        QTest::addColumn<int>("firstRange");
        QTest::addColumn<QString>("text");
        QTest::newRow("one entry leaves the text") << 1 << 0 << 100 << "  ------  ";
        QTest::newRow("own entry 1 shows entry 0") << 2 << 1 << 100 << "     100 ";
        QTest::newRow("own entry 0 shows entry 1") << 2 << 0 << 100 << "     101 ";
        QTest::newRow("three entries, own 2") << 3 << 2 << 100 << "     101 ";
        QTest::newRow("range wider than the field") << 2 << 1 << 1000100 << "  1000100 ";
    }

    void idStatisticShowsOtherStationsRange()
    {
        QFETCH(int, count);
        QFETCH(int, ownIndex);
        QFETCH(int, firstRange);
        QFETCH(QString, text);
        REP_ID_STATISTIC_t statistic;
        statistic.own_index = uint8_t(ownIndex);
        for (int i = 0; i < count; ++i) {
            ID_STATISTIC_entry_t entry;
            entry.range = uint32_t(firstRange + i);
            statistic.entries.append(entry);
        }
        station->window->update_REP_ID_STATISTIC(8, records::encodeIdStatistic(statistic));
        auto* label = station->widget<QLabel>("op_id_stat_range_l");
        QCOMPARE(label->text(), text);
        if (count >= 2)
            QCOMPARE(label->styleSheet(), style(Indicator::Green));
    }

    void idStatisticLogsEveryEntry()
    {
        REP_ID_STATISTIC_t statistic;
        statistic.own_index = 1;
        ID_STATISTIC_entry_t first;
        first.identifier = 0xF2;
        first.rssi = 40;
        first.range = 1234;
        first.rx_first = 5;
        first.rx_second = 6;
        first.further = 7;
        ID_STATISTIC_entry_t own = first;
        own.identifier = 3;
        statistic.entries = { first, own };

        static QStringList lines;
        lines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext&, const QString& message) {
                if (type == QtDebugMsg)
                    lines.append(message);
            });
        station->window->update_REP_ID_STATISTIC(1, records::encodeIdStatistic(statistic));
        qInstallMessageHandler(previous);

        QCOMPARE(lines, QStringList({ "   [ 2 ]: rssi  40 , rng  1234 , rx  5 / 6  -  7",
                                      " * [ 3 ]: rssi  40 , rng  1234 , rx  5 / 6  -  7" }));
    }

    void extendedStatusFreezesContinuousStatus()
    {
        auto* mode = station->widget<QLineEdit>("op_cont_stat_opmode_le");
        station->window->update_REP_EXTENDED_STATUS(10, records::encodeExtendedStatus(extended(4, 0, 0, 0)));
        const QString shown = mode->text();
        station->window->update_REP_CONT_STATUS(11, contStatus(0x43, 0, 0));
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 10);
        QCOMPARE(mode->text(), shown);
        QCOMPARE(station->spin("op_cont_stat_received_cur_spb")->value(), 0);

        station->window->SetCurrentAbonent(QStringLiteral("127.0.0.30:40005:[]"));
        station->window->update_REP_CONT_STATUS(12, contStatus(0x43, 0, 0));
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 12);
        QCOMPARE(mode->text(), QStringLiteral("1, Борт , ПШС256"));
    }

    void countersShowReportAndRunningTotal()
    {
        REP_CONT_STATUS_t status;
        status.received = 10;
        status.errors = 1;
        status.lost = 2;
        status.sent = 30;
        station->window->update_REP_CONT_STATUS(1, records::encodeContStatus(status));
        REP_EXTENDED_STATUS_t ext;
        ext.received = 5;
        ext.errors = 0;
        ext.lost = 1;
        ext.sent = 7;
        station->window->update_REP_EXTENDED_STATUS(2, records::encodeExtendedStatus(ext));

        QCOMPARE(station->spin("op_cont_stat_received_cur_spb")->value(), 5);
        QCOMPARE(station->spin("op_cont_stat_transmitted_cur_spb")->value(), 7);
        QCOMPARE(station->spin("op_cont_stat_received_sum_spb")->value(), 15);
        QCOMPARE(station->spin("op_cont_stat_errors_sum_spb")->value(), 1);
        QCOMPARE(station->spin("op_cont_stat_missed_sum_spb")->value(), 3);
        QCOMPARE(station->spin("op_cont_stat_transmitted_sum_spb")->value(), 37);

        station->widget<QPushButton>("op_cont_errors_rst_pb")->click();
        QCOMPARE(station->spin("op_cont_stat_received_sum_spb")->value(), 0);
        QCOMPARE(station->spin("op_cont_stat_transmitted_sum_spb")->value(), 0);
        QCOMPARE(station->spin("op_cont_stat_received_cur_spb")->value(), 5);
    }

    void runningTotalStopsAtFieldMaximum()
    {
        REP_CONT_STATUS_t status;
        status.received = 65535;
        const QByteArray rep = records::encodeContStatus(status);
        auto* total = station->spin("op_cont_stat_received_sum_spb");
        // 15 259 reports stay below the maximum; beyond 2^31 a 32-bit total would turn negative.
        for (int i = 0; i < 15259; ++i)
            station->window->update_REP_CONT_STATUS(1, rep);
        QCOMPARE(total->value(), 15259 * 65535);
        for (int i = 0; i < 17600; ++i)
            station->window->update_REP_CONT_STATUS(1, rep);
        QCOMPARE(total->value(), 999999999);
    }

    void negativeTemperaturesAreShown_data()
    {
        QTest::addColumn<bool>("isExtended");
        QTest::addColumn<int>("temp1");
        QTest::addColumn<int>("temp2");
        QTest::addColumn<int>("shown1");
        QTest::addColumn<int>("shown2");
        QTest::newRow("continuous") << false << -12 << -1 << -12 << -1;
        QTest::newRow("extended, truncated toward zero") << true << -1250 << -99 << -12 << 0;
        QTest::newRow("extended, coldest") << true << -32768 << 4567 << -327 << 45;
    }

    void negativeTemperaturesAreShown()
    {
        QFETCH(bool, isExtended);
        QFETCH(int, temp1);
        QFETCH(int, temp2);
        QFETCH(int, shown1);
        QFETCH(int, shown2);
        if (isExtended) {
            REP_EXTENDED_STATUS_t status;
            status.temp1 = int16_t(temp1);
            status.temp2 = int16_t(temp2);
            station->window->update_REP_EXTENDED_STATUS(1, records::encodeExtendedStatus(status));
        } else {
            REP_CONT_STATUS_t status;
            status.temp1 = int8_t(temp1);
            status.temp2 = int8_t(temp2);
            station->window->update_REP_CONT_STATUS(1, records::encodeContStatus(status));
        }
        QCOMPARE(station->spin("op_cont_stat_temp1_spb")->value(), shown1);
        QCOMPARE(station->spin("op_cont_stat_temp2_spb")->value(), shown2);
    }

    void shortReportsReadMissingBytesAsZero_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << 0;
        QTest::newRow("mode byte only") << 1;
        QTest::newRow("cut inside the counters") << 8;
    }

    void shortReportsReadMissingBytesAsZero()
    {
        QFETCH(int, size);
        const QByteArray rep = contStatus(0x43, 1, 85).left(size);
        station->window->update_REP_CONT_STATUS(1, rep);
        station->window->update_REP_EXTENDED_STATUS(2, rep);
        station->window->update_REP_ID_STATISTIC(3, hex("ff01"));
        station->window->update_REP_VERSION(4, rep);
        QCOMPARE(station->spin("op_cont_stat_transmitted_cur_spb")->value(), 0);
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 4);
    }

    void defaultsReportEnablesSettingsAndForwardsRecord()
    {
        CMD_DEFAULTS_SET_t record;
        record.ip_addr = 0x7F000209; // 127.0.2.9: the rotator polls its controller there
        QWidget* settings = station->window->findChild<QWidget*>(QStringLiteral("DefaultsWindow"));
        QVERIFY(settings);
        QVERIFY(!settings->isEnabled());
        station->window->update_REP_DEFAULTS_SET(3, records::encodeDefaults(record));
        QVERIFY(settings->isEnabled());
        QCOMPARE(station->widget<QLineEdit>("op_defaults_ipaddr_le")->text(),
                 QStringLiteral("127.0.2.9"));
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 3);
    }

private:
    std::unique_ptr<Station> station;
};

QTEST_MAIN(TestStatusDisplay)
#include "tst_status_display.moc"
