// How the current modem's reports and the list of heard modems appear in the window.
#include "stationtest.h"
#include "status_display.h"

#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QSvgWidget>

using namespace stationtest;
using namespace records;

namespace {

// A null image when nothing valid is loaded, so "no picture" differs from a blank one.
QImage drawn(QSvgRenderer* picture)
{
    if (!picture->isValid())
        return QImage();
    QImage image(180, 60, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture->render(&painter);
    painter.end();
    return image;
}

// What a field shows: a group's title, a spin box's value, a button's check, a text, or else
// whether it is enabled.
QVariant shownBy(QWidget* field)
{
    for (const char* property : { "title", "value", "checked", "text", "enabled" }) {
        if (field->metaObject()->indexOfProperty(property) >= 0)
            return field->property(property);
    }
    return {};
}

OpAbonent abonent(const char* address, quint16 port, const QByteArray& status, bool updated)
{
    return { QHostAddress(QLatin1String(address)), port, 0, 0, status, quint8(updated) };
}

} // namespace

class TestStatusDisplay : public QObject
{
    Q_OBJECT

private slots:
    void init() { station = std::make_unique<Station>(); }

    void reportIsShown_data()
    {
        QTest::addColumn<QByteArray>("handler");
        QTest::addColumn<QByteArray>("rep");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("shown");
        QTest::addColumn<QString>("style");   // empty: not looked at
        QTest::addColumn<QString>("picture"); // empty: not looked at
        using statusview::Indicator;
        const QString grey = statusview::styleSheet(Indicator::Grey),
                      green = statusview::styleSheet(Indicator::Green),
                      red = statusview::styleSheet(Indicator::Red),
                      yellow = statusview::styleSheet(Indicator::Yellow),
                      white = statusview::styleSheet(Indicator::White);
        const auto row = [](const char* name, const char* handler, const QByteArray& rep,
                            const char* field, const QVariant& shown, const QString& style = {},
                            const QString& picture = {}) {
            QTest::newRow(name) << QByteArray(handler) << rep << field << shown << style << picture;
        };
        const char* cont = "update_REP_CONT_STATUS";
        const char* ext = "update_REP_EXTENDED_STATUS";
        const char* mode = "op_cont_stat_opmode_le";
        const char* rssi = "op_ext_stat_rssi_l";
        const char* antenna = "op_ext_stat_antenna_l";
        const char* power = "op_ext_tx_power_mode_l";
        const char* range = "op_id_stat_range_l";
        row("mode 0x43", cont, encodeContStatus({ 0x43 }), mode, "1, Борт , ПШС256", grey,
            ":/images/modes/1m.svg");
        row("mode 0x1C", cont, encodeContStatus({ 0x1C }), mode, "--, -----, ПШС64 + Фм2", grey,
            ":/images/modes/empty.svg");
        row("mode 0x12", cont, encodeContStatus({ 0x12 }), mode, "8, Абон., ПШС64 + Фм2", grey, "none");
        row("extended relay", ext, encodeExtendedStatus({ 10, 1, 0, 1, 0x08 }), mode,
            "10, Ретр., ПШС64 + Фм4", white, ":/images/modes/10m.svg");
        row("extended mode 12", ext, encodeExtendedStatus({ 12 }), mode, "--, -----, ПШС64 + Фм2",
            yellow, ":/images/modes/empty.svg");
        row("empty status", cont, {}, mode, "0, Земля, ПШС64", grey, ":/images/modes/0s.svg");
        row("rssi 0 without sync", cont, encodeContStatus({ 0, 0, 0 }), rssi, "   0 дБ", red);
        row("rssi -85 synchronised", cont, encodeContStatus({ 0, 1, 85 }), rssi, " -85 дБ", green);
        row("extended rssi in hundredths", ext, encodeExtendedStatus({ 0, 0, 0, 0, 0x01, 0, 0, 8599 }),
            rssi, " -85 дБ", green);
        row("antenna fault", ext, encodeExtendedStatus({ 4, 0, 0, 0, 0x02, 1 }), antenna, "Ошибка  ", red);
        row("transmitter off", ext, encodeExtendedStatus({ 4, 0, 0, 0, 0x04, 0, 70 }), power,
            "   ВЫКЛ   ", yellow);
        row("version", "update_REP_VERSION", encodeVersion({ 1, 2, 3, 0x1A2B, 1, 0x0C }),
            "op_version_gbx", "v1.2.3, build 00001a2b, hw 01, fn 0c");
        const char* ids = "update_REP_ID_STATISTIC";
        row("one id entry", ids, encodeIdStatistic({ 0, { { 0, 0, 100 } } }), range, "  ------  ");
        row("own id 1 shows entry 0", ids, encodeIdStatistic({ 1, { { 0, 0, 100 }, { 0, 0, 101 } } }),
            range, "     100 ", green);
        row("own id 0 shows entry 1", ids, encodeIdStatistic({ 0, { { 0, 0, 100 }, { 0, 0, 101 } } }),
            range, "     101 ", green);
        row("range wider than field", ids, encodeIdStatistic({ 1, { { 0, 0, 1000100 }, {} } }), range,
            "  1000100 ", green);
        row("cold modem, extended", ext, encodeExtendedStatus({ 0, 0, 0, 0, 0, 0, 0, 0, -1250 }),
            "op_cont_stat_temp1_spb", -12);
        row("FM4 of first extended status", ext, encodeExtendedStatus({ 9, 0, 0, 1 }),
            "op_control_hs_channel_mod_fm4_pb", true);
    }

    void reportIsShown()
    {
        QFETCH(QByteArray, handler);
        QFETCH(QByteArray, rep);
        QFETCH(QString, field);
        QFETCH(QVariant, shown);
        QFETCH(QString, style);
        QFETCH(QString, picture);
        QVERIFY(QMetaObject::invokeMethod(station->window.get(), handler, Q_ARG(quint16, 1),
                                          Q_ARG(QByteArray, rep)));
        QWidget* shownIn = station->widget(qPrintable(field));
        QCOMPARE(shownBy(shownIn), shown);
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
        QCOMPARE(station->spin("op_cont_stat_transmitted_sum_spb")->value(), 15259);
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
        const OpAbonent high = abonent("127.0.0.2", 40000, encodeContStatus({ 0x1C, 0, 0, 0, 0, 65535, 2, 3, 4 }), false);
        OpAbonent low = abonent("127.0.0.2", 4000, encodeContStatus({}), true);
        // An entry without a line yet takes the whole list in.
        station->window->UpdateAbonentsList({ high, low });
        low.status = encodeContStatus({ 0x17, 1, 100, 0, 0, 9, 0, 0, 9 });
        station->window->UpdateAbonentsList({ high, low });
        low.updated = false;
        station->window->UpdateAbonentsList({ high, low, abonent("127.0.0.1", 40005, {}, true) });
        const QStringList shown = { "127.0.0.2:40000:[--, -----, RSSI 0, ----, ПРМ 65535/2/3, ПРД 4]",
                                    "127.0.0.2:4000:[10, Ретр., RSSI -100, СИНХ, ПРМ 9/0/0, ПРД 9]",
                                    "127.0.0.1:40005:[0, Земля, RSSI 0, ----, ПРМ 0/0/0, ПРД 0]" };
        QCOMPARE(lines(), shown);
        station->window->DeleteAbonentsList({ low });
        QCOMPARE(lines(), QStringList({ shown[0], shown[2] }));
    }

    void losingCurrentAbonentBlanksDisplayButKeepsFields()
    {
        const OpAbonent current = abonent("127.0.0.5", 40005, {}, true);
        const OpAbonent other = abonent("127.0.0.6", 40005, {}, true);
        station->window->UpdateAbonentsList({ current, other });
        station->window->SetCurrentAbonent(QStringLiteral("127.0.0.5:40005:"));
        station->window->update_REP_CONT_STATUS(9, encodeContStatus({ 0x43 }));
        station->window->DeleteAbonentsList({ other });
        QVERIFY(station->widget("op_version_gbx")->isEnabled());

        station->window->DeleteAbonentsList({ current });
        QVERIFY(!station->widget("op_version_gbx")->isEnabled());
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 0);
        QCOMPARE(station->widget<QLineEdit>("op_cont_stat_opmode_le")->text(), QStringLiteral("--"));
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), QStringLiteral("127.0.0.5"));
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), 40005);
    }

    void lineWithoutPortChangesNothing()
    {
        auto* address = station->widget<QLineEdit>("op_current_abon_ip_le");
        const QString before = address->text();
        station->window->SetCurrentAbonent(QStringLiteral("127.0.0.9"));
        QCOMPARE(address->text(), before);
        QVERIFY(station->widget("op_stage_prb")->isHidden());
    }

private:
    std::unique_ptr<Station> station;
};

QTEST_MAIN(TestStatusDisplay)
#include "tst_status_display.moc"
