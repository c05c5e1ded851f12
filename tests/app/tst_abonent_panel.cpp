// The list of heard modems: lines refreshed in place, new ones at the end, one line per
// address and port, and what choosing or losing the current modem does to the window.
#include "stationtest.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

using namespace stationtest;

namespace {

OpAbonent abonent(const char* address, quint16 port, const QByteArray& status, bool updated)
{
    OpAbonent entry;
    entry.address = QHostAddress(QLatin1String(address));
    entry.port = port;
    entry.status = status;
    entry.updated = updated ? 1 : 0;
    return entry;
}

QByteArray status(uint8_t opmode, uint8_t sync, uint8_t rssi, uint16_t received, uint16_t errors,
                  uint16_t lost, uint16_t sent)
{
    REP_CONT_STATUS_t record;
    record.opmode = opmode;
    record.sync = sync;
    record.rssi = rssi;
    record.received = received;
    record.errors = errors;
    record.lost = lost;
    record.sent = sent;
    return records::encodeContStatus(record);
}

QStringList texts(QListWidget* list)
{
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines.append(list->item(i)->text());
    return lines;
}

} // namespace

class TestAbonentPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        list = station->widget<QListWidget>("op_abons_lw");
    }

    void cleanup() { station.reset(); }

    void lineShowsKeyAndStatus_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("line");
        QTest::newRow("ground, synchronised")
            << status(0x00, 1, 71, 12, 0, 1, 12)
            << "192.0.2.7:40005:[0, Земля, RSSI -71, СИНХ, ПРМ 12/0/1, ПРД 12]";
        QTest::newRow("invalid mode, no sync")
            << status(0x1C, 0, 0, 65535, 2, 3, 4)
            << "192.0.2.7:40005:[--, -----, RSSI 0, ----, ПРМ 65535/2/3, ПРД 4]";
        QTest::newRow("relay, board side")
            << status(0x17, 1, 100, 1, 2, 3, 4)
            << "192.0.2.7:40005:[10, Ретр., RSSI -100, СИНХ, ПРМ 1/2/3, ПРД 4]";
        QTest::newRow("short status reads as zero")
            << QByteArray(1, char(0x03)) << "192.0.2.7:40005:[1, Борт , RSSI 0, ----, ПРМ 0/0/0, ПРД 0]";
    }

    void lineShowsKeyAndStatus()
    {
        QFETCH(QByteArray, record);
        QFETCH(QString, line);
        station->window->UpdateAbonentsList({ abonent("192.0.2.7", 40005, record, true) });
        QCOMPARE(texts(list), QStringList{ line });
        QVERIFY(list->isEnabled());
    }

    void reportsRefreshInPlaceAndNewLinesGoLast()
    {
        const OpAbonent first = abonent("10.0.0.2", 40005, status(0, 1, 50, 1, 0, 0, 1), true);
        OpAbonent second = abonent("10.0.0.3", 40005, status(0, 1, 60, 1, 0, 0, 1), true);
        station->window->UpdateAbonentsList({ first });
        OpAbonent quiet = first;
        quiet.updated = 0;
        station->window->UpdateAbonentsList({ quiet, second });
        second.updated = 0;
        OpAbonent refreshed = first;
        refreshed.status = status(0, 0, 90, 2, 0, 0, 2);
        station->window->UpdateAbonentsList({ refreshed, second });
        const OpAbonent third = abonent("10.0.0.1", 40005, status(0, 1, 70, 1, 0, 0, 1), true);
        refreshed.updated = 0;
        station->window->UpdateAbonentsList({ refreshed, second, third });

        const QStringList lines = texts(list);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("10.0.0.2:40005:[0, Земля, RSSI -90, ----, ПРМ 2/0/0, ПРД 2]"));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("10.0.0.3:40005:")));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("10.0.0.1:40005:")));
    }

    void portsOfOneAddressKeepSeparateLines()
    {
        OpAbonent low = abonent("10.0.0.2", 4000, status(0, 1, 50, 1, 0, 0, 1), true);
        OpAbonent high = abonent("10.0.0.2", 40000, status(0, 1, 60, 1, 0, 0, 1), true);
        station->window->UpdateAbonentsList({ low });
        low.updated = 0;
        station->window->UpdateAbonentsList({ low, high });
        high.updated = 0;
        low.updated = 1;
        low.status = status(0, 1, 55, 9, 0, 0, 9);
        station->window->UpdateAbonentsList({ low, high });

        QCOMPARE(texts(list),
                 QStringList({ "10.0.0.2:4000:[0, Земля, RSSI -55, СИНХ, ПРМ 9/0/0, ПРД 9]",
                               "10.0.0.2:40000:[0, Земля, RSSI -60, СИНХ, ПРМ 1/0/0, ПРД 1]" }));

        station->window->DeleteAbonentsList({ high });
        QCOMPARE(texts(list).size(), 1);
        QVERIFY(texts(list).at(0).startsWith(QStringLiteral("10.0.0.2:4000:")));
    }

    void fullListWithoutItemsBuildsEveryLine()
    {
        // A list that holds entries the window has not seen yet is taken whole, in order.
        QList<OpAbonent> entries;
        for (int i = 1; i <= 4; ++i)
            entries.append(abonent(qPrintable(QStringLiteral("10.0.1.%1").arg(i)), 40005,
                                   status(0, 1, 50, 1, 0, 0, 1), i == 3));
        station->window->UpdateAbonentsList(entries);
        const QStringList lines = texts(list);
        QCOMPARE(lines.size(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(lines.at(i).startsWith(QStringLiteral("10.0.1.%1:").arg(i + 1)));
    }

    void losingCurrentAbonentBlanksDisplayButKeepsFields()
    {
        const OpAbonent current = abonent("10.0.0.5", 40005, status(0x43, 1, 50, 1, 0, 0, 1), true);
        const OpAbonent other = abonent("10.0.0.6", 40005, status(0, 1, 50, 1, 0, 0, 1), true);
        station->window->UpdateAbonentsList({ current });
        station->window->UpdateAbonentsList({ current, other });
        station->window->SetCurrentAbonent(list->item(0)->text());
        station->window->update_REP_CONT_STATUS(9, status(0x43, 1, 50, 1, 0, 0, 1));
        QVERIFY(station->widget("op_version_gbx")->isEnabled());

        station->window->DeleteAbonentsList({ other });
        QVERIFY(station->widget("op_version_gbx")->isEnabled());

        station->window->DeleteAbonentsList({ current });
        QCOMPARE(list->count(), 0);
        QVERIFY(!station->widget("op_version_gbx")->isEnabled());
        QCOMPARE(station->spin("op_seqnum_sb")->value(), 0);
        QCOMPARE(station->widget<QLineEdit>("op_cont_stat_opmode_le")->text(), QStringLiteral("--"));
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), QStringLiteral("10.0.0.5"));
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), 40005);
        for (const char* name : { "op_ext_stat_rssi_l", "op_id_stat_range_l",
                                  "op_ext_stat_antenna_l", "op_ext_tx_power_mode_l" })
            QCOMPARE(station->widget<QLabel>(name)->text(), QStringLiteral("  ------  "));
    }

    void doubleClickChoosesAbonentAndStartsPolling()
    {
        station->window->UpdateAbonentsList(
            { abonent("10.0.0.5", 40005, status(0, 1, 50, 1, 0, 0, 1), true) });
        station->spin("op_cont_stat_received_sum_spb")->setValue(7);
        emit list->itemDoubleClicked(list->item(0));
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), QStringLiteral("10.0.0.5"));
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), 40005);
        QVERIFY(!station->widget<QProgressBar>("op_stage_prb")->isHidden());
        QCOMPARE(station->spin("op_cont_stat_received_sum_spb")->value(), 0);
    }

    void lineWithoutPortChangesNothing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("empty") << QString();
        QTest::newRow("address only") << "10.0.0.9";
    }

    void lineWithoutPortChangesNothing()
    {
        QFETCH(QString, line);
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(QStringLiteral("10.0.0.4"));
        station->spin("op_current_abon_port_spb")->setValue(4000);
        station->window->SetCurrentAbonent(line);
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), QStringLiteral("10.0.0.4"));
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), 4000);
        QVERIFY(station->widget<QProgressBar>("op_stage_prb")->isHidden());
    }

private:
    std::unique_ptr<Station> station;
    QListWidget* list = nullptr;
};

QTEST_MAIN(TestAbonentPanel)
#include "tst_abonent_panel.moc"
