// The window against a modem played by the test: binding, the ten-report polling, the forget
// burst and the search, how reports and heard modems are shown, the service key codes and the
// proportional mode picture.
#include "stationtest.h"
#include "status_display.h"

#include <QtSvg>
#include <QtWidgets>

using namespace stationtest;
using namespace records;

namespace {

// The report each polling stage asks for; from the third on a modem may name the request instead.
const quint16 kStages[] = { 0x8107, 0x8109, 0x8101, 0x8102, 0x8103, 0x8104, 0x8105, 0x8106, 0x810B, 0x810D };

const QByteArray kGetReport = hex("01ff00000000");

QByteArray word(quint16 value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value >> 8);
}

// A black ground when nothing valid is loaded, so "no picture" differs from a blank one.
QImage drawn(QSvgRenderer* picture)
{
    QImage image(180, 60, QImage::Format_ARGB32);
    image.fill(picture->isValid() ? Qt::white : Qt::black);
    QPainter painter(&image);
    picture->render(&painter);
    return image;
}

// What a field shows: a group's title, a spin box's value, a button's check, or a text.
QVariant shownBy(QWidget* field)
{
    for (const char* property : { "title", "value", "checked", "text" }) {
        if (field->metaObject()->indexOfProperty(property) >= 0)
            return field->property(property);
    }
    return {};
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>("127.0.0.21");
    }

    void takenPortTurnsRedUntilFreed()
    {
        const quint16 port = freePort();
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress));
        QSpinBox* field = station->spin("pc_port_spb");
        field->setValue(port);
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));

        holder.close();
        QTRY_COMPARE(field->styleSheet(), QString());
    }

    void tenReportsArePolledInOrder_data()
    {
        QTest::addColumn<int>("answer"); // 0: the report, 1: REP_UNSUPPORTED naming it, 2: naming its request
        QTest::newRow("reports") << 0;
        QTest::newRow("unsupported, report opcode") << 1;
        QTest::newRow("unsupported, request opcode") << 2;
    }

    void tenReportsArePolledInOrder()
    {
        QFETCH(int, answer);
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        station->window->SetCurrentAbonent(modem->address() + ':' + QString::number(modem->localPort()));
        int seen = 0, at = -1;
        quint16 seqnum = 100;
        for (int i = 0; i < 10; ++i) {
            QTRY_VERIFY((at = modem->frames().indexOf(kGetReport + word(kStages[i]), seen)) >= 0);
            seen = at + 1;
            // The next stage's report first: it must not move the polling on.
            modem->report(kStages[(i + 1) % 10], {}, ++seqnum, station->port);
            const quint16 named = answer == 2 && i >= 2 ? kStages[i] & 0x7FFF : kStages[i];
            modem->report(answer == 0 ? named : quint16(REP_UNSUPPORTED), answer == 0 ? QByteArray() : word(named),
                          ++seqnum, station->port);
            QTRY_COMPARE(station->spin("op_seqnum_sb")->value(), int(seqnum));
            QCOMPARE(bar->value(), i == 9 ? 0 : i + 2);
        }
        // Idle now: a report moves nothing and asks for nothing.
        modem->report(REP_VERSION, {}, ++seqnum, station->port);
        const int done = modem->frames().size();
        QTest::qWait(350);
        QCOMPARE(modem->frames().size(), done);
        QVERIFY(bar->isHidden());
    }

    void forgottenAbonentLeavesListThenDisplayResetsButFieldsStay()
    {
        auto* list = station->widget<QListWidget>("op_abons_lw");
        modem->report(REP_CONT_STATUS, {}, 1, station->port);
        QTRY_COMPARE(list->count(), 1);
        station->window->SetCurrentAbonent(list->item(0)->text());
        modem->report(REP_CONT_STATUS, encodeContStatus({ 0x43 }), 2, station->port);
        QTRY_VERIFY(station->widget("op_version_gbx")->isEnabled());
        const int polled = modem->frames().size();
        station->window->forget_abonent();
        QCOMPARE(list->count(), 1);
        QTRY_COMPARE(list->count(), 0);
        QCOMPARE(modem->frames().mid(polled), QVector<QByteArray>(5, hex("01ff00000501cccccccc")).toList());
        QVERIFY(!station->widget("op_version_gbx")->isEnabled());
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 0);
        QCOMPARE(station->widget<QLineEdit>("op_cont_stat_opmode_le")->text(), QStringLiteral("--"));
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), modem->address());
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), int(modem->localPort()));
        // A line without a port chooses nothing.
        station->window->SetCurrentAbonent(QStringLiteral("127.0.0.9"));
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), modem->address());
    }

    void searchStopsAfterLimit()
    {
        station->choose(*modem);
        auto* find = station->widget<QPushButton>("op_control_find_pb");
        find->setChecked(true);
        for (int i = 0; i < 121; ++i)
            station->window->find_abonent();
        QVERIFY(!find->isChecked());
        QTRY_COMPARE(modem->frames().count(kGetReport + word(REP_CONT_STATUS)), 120);
        QTest::qWait(700);
        QCOMPARE(modem->frames().size(), 120);
    }

    void reportIsShown_data()
    {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<QByteArray>("rep");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("shown");
        QTest::addColumn<QString>("style");   // empty: not looked at
        QTest::addColumn<QString>("picture"); // empty: not looked at
        using statusview::Indicator;
        const auto sheet = statusview::styleSheet;
        const QString grey = sheet(Indicator::Grey), green = sheet(Indicator::Green), red = sheet(Indicator::Red);
        const auto row = [](const char* name, const char* handler, const QByteArray& rep, const char* field,
                            const QVariant& shown, const QString& style = {}, const QString& picture = {}) {
            QTest::newRow(name) << QByteArray(handler) << rep << field << shown << style << picture;
        };
        const char *cont = "update_REP_CONT_STATUS", *ext = "update_REP_EXTENDED_STATUS", *ids = "update_REP_ID_STATISTIC";
        const char *mode = "op_cont_stat_opmode_le", *rssi = "op_ext_stat_rssi_l", *range = "op_id_stat_range_l";
        row("mode 0x43", cont, encodeContStatus({ 0x43 }), mode, "1, Борт , ПШС256", grey, ":/images/modes/1m.svg");
        row("mode 0x1C", cont, encodeContStatus({ 0x1C }), mode, "--, -----, ПШС64 + Фм2", grey, ":/images/modes/empty.svg");
        row("mode 0x12", cont, encodeContStatus({ 0x12 }), mode, "8, Абон., ПШС64 + Фм2", grey, "no picture");
        row("empty status", cont, {}, mode, "0, Земля, ПШС64", grey, ":/images/modes/0s.svg");
        row("extended relay", ext, encodeExtendedStatus({ 10, 1, 0, 1, 0x08 }), mode, "10, Ретр., ПШС64 + Фм4",
            sheet(Indicator::White), ":/images/modes/10m.svg");
        row("rssi 0 without sync", cont, encodeContStatus({ 0, 0, 0 }), rssi, "   0 дБ", red);
        row("rssi -85 synchronised", cont, encodeContStatus({ 0, 1, 85 }), rssi, " -85 дБ", green);
        row("extended rssi", ext, encodeExtendedStatus({ 0, 0, 0, 0, 0x01, 0, 0, 8599 }), rssi, " -85 дБ", green);
        row("antenna fault", ext, encodeExtendedStatus({ 4, 0, 0, 0, 0x02, 1 }), "op_ext_stat_antenna_l",
            "Ошибка  ", red);
        row("version", "update_REP_VERSION", encodeVersion({ 1, 2, 3, 0x1A2B, 1, 0x0C }), "op_version_gbx",
            "v1.2.3, build 00001a2b, hw 01, fn 0c");
        row("one id entry", ids, encodeIdStatistic({ 0, { { 0, 0, 100 } } }), range, "  ------  ");
        row("own id 1 shows entry 0", ids, encodeIdStatistic({ 1, { { 0, 0, 100 }, {} } }), range, "     100 ", green);
        row("relay mode, own id 2 shows entry 1", ids,
            encodeIdStatistic({ 2, { { 0, 0, 100 }, { 1, 0, 200 }, { 2, 0, 300 } } }), range, "     200 ", green);
        row("own id 0 shows entry 1", ids, encodeIdStatistic({ 0, { { 0, 0, 100 }, { 1, 0, 200 } } }), range,
            "     200 ", green);
        row("cold modem", ext, encodeExtendedStatus({ 0, 0, 0, 0, 0, 0, 0, 0, -1250 }), "op_cont_stat_temp1_spb", -12);
    }

    void reportIsShown()
    {
        QFETCH(QByteArray, handler);
        QFETCH(QByteArray, rep);
        QFETCH(QString, field);
        QFETCH(QString, style);
        QFETCH(QString, picture);
        QVERIFY(QMetaObject::invokeMethod(station->window.get(), handler, Q_ARG(quint16, 1),
                                          Q_ARG(QByteArray, rep)));
        QWidget* shownIn = station->widget(qPrintable(field));
        QTEST(shownBy(shownIn), "shown");
        if (!style.isEmpty())
            QCOMPARE(shownIn->styleSheet(), style);
        if (!picture.isEmpty()) {
            QSvgRenderer expected(picture);
            QCOMPARE(drawn(station->window->findChild<QSvgWidget*>()->renderer()), drawn(&expected));
        }
    }

    void extendedStatusFreezesContinuousStatus()
    {
        auto* mode = station->widget<QLineEdit>("op_cont_stat_opmode_le");
        station->window->update_REP_EXTENDED_STATUS(10, encodeExtendedStatus({ 4 }));
        station->window->update_REP_CONT_STATUS(11, encodeContStatus({ 0x43 }));
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 10);
        QCOMPARE(mode->text(), QStringLiteral("4, Земля, ПШС64 + Фм2"));

        station->window->SetCurrentAbonent(QStringLiteral("127.0.0.30:40005:[]"));
        station->window->update_REP_CONT_STATUS(12, encodeContStatus({ 0x43 }));
        QCOMPARE(mode->text(), QStringLiteral("1, Борт , ПШС256"));
    }

    void runningTotalStopsAtFieldMaximum()
    {
        // 15 259 reports stay below the maximum; beyond 2^31 a 32-bit total would turn negative.
        const QByteArray rep = encodeContStatus({ 0, 0, 0, 0, 0, 65535, 0, 0, 1 });
        auto* total = station->spin("op_cont_stat_received_sum_spb");
        for (int i = 0; i < 15259; ++i)
            station->window->update_REP_CONT_STATUS(1, rep);
        QCOMPARE(total->value(), 15259 * 65535);
        for (int i = 0; i < 17600; ++i)
            station->window->update_REP_CONT_STATUS(1, rep);
        QCOMPARE(total->value(), 999999999);
        station->widget<QPushButton>("op_cont_errors_rst_pb")->click();
        QCOMPARE(total->value(), 0);
    }

    void listRefreshesLinesInPlaceAndAddsNewOnesLast()
    {
        auto* list = station->widget<QListWidget>("op_abons_lw");
        const auto lines = [list] {
            QStringList texts;
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
            return texts;
        };
        const QByteArray quiet = encodeContStatus({ 0x1C, 0, 0, 0, 0, 65535, 2, 3, 4 });
        const OpAbonent high{ QHostAddress("127.0.0.2"), 40000, 0, 0, quiet };
        OpAbonent low{ QHostAddress("127.0.0.2"), 4000, 0, 0, encodeContStatus({}), true };
        // An entry without a line yet takes the whole list in.
        station->window->UpdateAbonentsList({ high, low });
        low.status = encodeContStatus({ 0x17, 1, 100, 0, 0, 9, 0, 0, 9 });
        station->window->UpdateAbonentsList({ high, low });
        low.updated = false;
        station->window->UpdateAbonentsList({ high, low, { QHostAddress("127.0.0.1"), 40005, 0, 0, {}, true } });
        const QStringList shown = { "127.0.0.2:40000:[--, -----, RSSI 0, ----, ПРМ 65535/2/3, ПРД 4]",
                                    "127.0.0.2:4000:[10, Ретр., RSSI -100, СИНХ, ПРМ 9/0/0, ПРД 9]",
                                    "127.0.0.1:40005:[0, Земля, RSSI 0, ----, ПРМ 0/0/0, ПРД 0]" };
        QCOMPARE(lines(), shown);
        station->window->DeleteAbonentsList({ low });
        QCOMPARE(lines(), QStringList({ shown[0], shown[2] }));
    }

    void serviceCodeTogglesSettingsButton_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("watched"); // the sequence field still has the focus
        QTest::addColumn<bool>("hidden");
        QTest::newRow("code B hides") << "6084" << true << true;
        QTest::newRow("code B twice restores") << "60846084" << true << false;
        QTest::newRow("wrong digit is no first digit") << "606084" << true << false;
        QTest::newRow("field without focus") << "6084" << false << false;
    }

    void serviceCodeTogglesSettingsButton()
    {
        QFETCH(QString, keys);
        QFETCH(bool, watched);
        QFETCH(bool, hidden);
        QSpinBox* field = station->spin("op_seqnum_sb");
        station->window->show();
        QApplication::setActiveWindow(station->window.get());
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        if (!watched)
            station->window->focusChangedProcess(field, station->spin("pc_port_spb"));
        QTest::keyClicks(field, keys);
        QCOMPARE(station->widget("op_control_settings_pb")->isHidden(), hidden);
        QCOMPARE(station->widget("op_control_settings_pb")->isEnabled(), !hidden);
    }

    void pictureKeepsProportionsInItsCell()
    {
        const auto shown = [](QSize picture, QSize cell) {
            MainWindow::ProportionalSvgWidget widget;
            widget.load(QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'/>")
                            .arg(picture.width()).arg(picture.height()).toUtf8());
            widget.show();
            widget.resize(cell);
            return widget.size();
        };
        QCOMPARE(shown({ 200, 100 }, { 400, 300 }), QSize(400, 200));
        QCOMPARE(shown({ 100, 300 }, { 300, 300 }), QSize(100, 300));
    }

private:
    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
