#include "list_text_batch.h"
#include "repaint_throttle.h"
#include "stationtest.h"

using namespace stationtest;
using namespace records;

// Reports stream in faster than the window repaints: what the widgets hold is current after every
// report, and the screen catches up once per interval.
class TestListRefresh : public QObject
{
    Q_OBJECT

    std::unique_ptr<QListWidget> list;
    std::unique_ptr<RepaintThrottle> throttle;
    std::unique_ptr<ListTextBatch> batch;

    static OpAbonent abonent(int i, const ContStatus& status)
    {
        return { QHostAddress(quint32(0x7F000000 + 11 + i)), 40005, 0, 0, encodeContStatus(status) };
    }

private slots:
    void init()
    {
        list = std::make_unique<QListWidget>();
        list->addItems({ "line 0", "line 1", "line 2", "line 3" });
        list->show();
        throttle = std::make_unique<RepaintThrottle>(list.get(), 3600 * 1000); // released by the test
        batch = std::make_unique<ListTextBatch>(*throttle);
        batch->setList(list.get());
    }
    void cleanup()
    {
        batch.reset();
        throttle.reset();
        list.reset();
    }

    void throttleHoldsPaintingUntilReleased()
    {
        throttle->hold();
        throttle->hold();
        QVERIFY(!list->updatesEnabled() && throttle->holding());
        throttle->release();
        QVERIFY(list->updatesEnabled() && !throttle->holding());
    }

    void throttleLeavesOthersUpdatesAndLostWidgetsAlone()
    {
        list->setUpdatesEnabled(false); // turned off elsewhere: stays off
        throttle->hold();
        QVERIFY(!throttle->holding());
        throttle->release();
        QVERIFY(!list->updatesEnabled());

        list->setUpdatesEnabled(true); // throttle gone while holding: painting resumes
        throttle->hold();
        batch.reset();
        throttle.reset();
        QVERIFY(list->updatesEnabled());

        RepaintThrottle lost(list.get(), 3600 * 1000); // widget gone while holding
        lost.hold();
        list.reset();
        lost.release();
    }

    void batchTellsViewOncePerRelease_data()
    {
        QTest::addColumn<int>("removed"); // rows taken away before the release
        QTest::newRow("texts only") << 0;
        QTest::newRow("rows removed before release") << 2;
        QTest::newRow("all rows removed before release") << 4;
    }
    void batchTellsViewOncePerRelease()
    {
        QFETCH(int, removed);
        QSignalSpy changes(list->model(), &QAbstractItemModel::dataChanged);
        batch->setText(list->item(3), "new three");
        batch->setText(list->item(1), "new one");
        QCOMPARE(list->item(3)->text(), QStringLiteral("new three"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("new one"));
        QVERIFY(changes.isEmpty() && batch->pending());
        for (int i = 0; i < removed; ++i)
            delete list->takeItem(0);
        throttle->release();
        QVERIFY(!batch->pending());
        QCOMPARE(changes.count(), list->count() ? 1 : 0);
        if (list->count()) {
            QCOMPARE(changes.at(0).at(0).value<QModelIndex>().row(), 0);
            QCOMPARE(changes.at(0).at(1).value<QModelIndex>().row(), list->count() - 1);
        }
    }

    void batchTellsViewAtOnceWhenItCannotHold_data()
    {
        QTest::addColumn<bool>("itemOfOtherList"); // else: the list's updates are off elsewhere
        QTest::newRow("list updates off elsewhere") << false;
        QTest::newRow("item of another list") << true;
    }
    void batchTellsViewAtOnceWhenItCannotHold()
    {
        QFETCH(bool, itemOfOtherList);
        QListWidget other;
        auto* item = new QListWidgetItem("old", itemOfOtherList ? &other : list.get());
        list->setUpdatesEnabled(itemOfOtherList);
        QSignalSpy changes(item->listWidget()->model(), &QAbstractItemModel::dataChanged);
        batch->setText(item, "new");
        QCOMPARE(item->text(), QStringLiteral("new"));
        QCOMPARE(changes.count(), 1);
        QVERIFY(!batch->pending());
    }

    void windowListCurrentAfterEveryReport_data()
    {
        QTest::addColumn<int>("modems");
        QTest::addColumn<int>("reports");
        QTest::newRow("one modem") << 1 << 5;
        QTest::newRow("thousand modems") << 1000 << 1500;
    }
    void windowListCurrentAfterEveryReport()
    {
        QFETCH(int, modems);
        QFETCH(int, reports);
        Station station;
        station.window->show();
        auto* shown = station.widget<QListWidget>("op_abons_lw");
        ContStatus status{ 0x09, 1, 60 };
        QList<OpAbonent> network;
        for (int i = 0; i < modems; ++i)
            network.append(abonent(i, status));
        station.window->UpdateAbonentsList(network);
        QCOMPARE(shown->count(), modems);
        QTRY_VERIFY_WITH_TIMEOUT(shown->updatesEnabled(), 10000);
        QSignalSpy told(shown->model(), &QAbstractItemModel::dataChanged);

        for (int r = 0; r < reports; ++r) {
            const int i = (r * 7) % modems;
            status.received = quint16(1000 + r);
            network[i] = abonent(i, status);
            network[i].updated = 1;
            station.window->UpdateAbonentsList(network);
            network[i].updated = 0;
            QCOMPARE(shown->item(i)->text(), QStringLiteral("127.0.%1.%2:40005:[4, Борт , RSSI -60, СИНХ, ПРМ %3/0/0, ПРД 0]")
                                                 .arg((11 + i) / 256).arg((11 + i) % 256).arg(1000 + r));
            QVERIFY(shown->isEnabled());
        }
        // The screen catches up: painting resumes and the view hears of every changed line.
        QTRY_VERIFY_WITH_TIMEOUT(shown->updatesEnabled(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(told.count(), 1, 10000);
        QCOMPARE(told.at(0).at(0).value<QModelIndex>().row(), 0);
        QCOMPARE(told.at(0).at(1).value<QModelIndex>().row(), modems - 1);
    }

    void statusDisplayCurrentWhileReportsStream()
    {
        Station station;
        station.window->show();
        ScriptedModem modem("127.0.0.1");
        station.window->SetCurrentAbonent(QStringLiteral("%1:%2").arg(modem.address()).arg(modem.localPort()));
        for (int r = 1; r <= 20; ++r) {
            modem.report(REP_CONT_STATUS, encodeContStatus({ 0x09, 1, 60, 0, 0, quint16(r) }), quint16(r), station.port);
            QTRY_COMPARE_WITH_TIMEOUT(station.spin("op_seqnum_sb")->value(), r, 10000);
            QCOMPARE(station.spin("op_cont_stat_received_cur_spb")->value(), r);
        }
        QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_version_gbx")->updatesEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_abons_lw")->updatesEnabled(), 10000);
    }
};

QTEST_MAIN(TestListRefresh)
#include "tst_list_refresh.moc"
