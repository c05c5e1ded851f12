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

    static constexpr int kNeverByItself = 3600 * 1000; // the test releases the throttle itself

    static OpAbonent abonent(int i, const ContStatus& status)
    {
        return { QHostAddress(quint32(0x7F000000 + 11 + i)), 40005, 0, 0, encodeContStatus(status) };
    }
    static QString line(int i, int received)
    {
        return QStringLiteral("127.0.%1.%2:40005:[4, Борт , RSSI -60, СИНХ, ПРМ %3/0/0, ПРД 0]")
            .arg((11 + i) / 256)
            .arg((11 + i) % 256)
            .arg(received);
    }

private slots:
    void init()
    {
        list = std::make_unique<QListWidget>();
        for (int i = 0; i < 4; ++i)
            list->addItem(QStringLiteral("line %1").arg(i));
        list->show();
        throttle = std::make_unique<RepaintThrottle>(list.get(), kNeverByItself);
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
        QVERIFY(!list->updatesEnabled());
        QVERIFY(throttle->holding());
        throttle->hold();
        throttle->release();
        QVERIFY(list->updatesEnabled());
        QVERIFY(!throttle->holding());

        // Its own timer releases it too.
        RepaintThrottle timed(list.get(), 20);
        timed.hold();
        QVERIFY(!list->updatesEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(list->updatesEnabled(), 10000);
    }

    void throttleLeavesOthersUpdatesAndLostWidgetsAlone_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("updatesAfter");
        QTest::newRow("updates turned off elsewhere stay off") << "off elsewhere" << false;
        QTest::newRow("throttle gone while holding paints") << "throttle gone" << true;
        QTest::newRow("widget gone while holding") << "widget gone" << true;
    }
    void throttleLeavesOthersUpdatesAndLostWidgetsAlone()
    {
        QFETCH(QString, before);
        QFETCH(bool, updatesAfter);
        if (before == "off elsewhere") {
            list->setUpdatesEnabled(false);
            throttle->hold();
            QVERIFY(!throttle->holding());
            throttle->release();
        } else if (before == "throttle gone") {
            throttle->hold();
            batch.reset();
            throttle.reset();
        } else {
            throttle->hold();
            list.reset();
            throttle->release();
            return;
        }
        QCOMPARE(list->updatesEnabled(), updatesAfter);
    }

    void batchTellsViewOncePerRelease_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<int>("changesAtRelease");
        QTest::newRow("texts only") << "" << 1;
        QTest::newRow("rows removed before release") << "remove first two" << 1;
        QTest::newRow("all rows removed before release") << "remove all" << 0;
    }
    void batchTellsViewOncePerRelease()
    {
        QFETCH(QString, between);
        QFETCH(int, changesAtRelease);
        QSignalSpy changes(list->model(), &QAbstractItemModel::dataChanged);
        batch->setText(list->item(3), QStringLiteral("new three"));
        batch->setText(list->item(1), QStringLiteral("new one"));
        QCOMPARE(list->item(3)->text(), QStringLiteral("new three"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("new one"));
        QCOMPARE(changes.count(), 0);
        QVERIFY(batch->pending());

        if (between == "remove first two") {
            delete list->takeItem(0);
            delete list->takeItem(0);
        } else if (between == "remove all") {
            list->clear();
        }
        throttle->release();
        QVERIFY(!batch->pending());
        QCOMPARE(changes.count(), changesAtRelease);
        if (changesAtRelease) {
            const auto first = changes.at(0).at(0).value<QModelIndex>();
            const auto last = changes.at(0).at(1).value<QModelIndex>();
            QCOMPARE(first.row(), 0);
            QCOMPARE(last.row(), list->count() - 1);
        }
    }

    void batchTellsViewAtOnceWhenItCannotHold_data()
    {
        QTest::addColumn<bool>("updatesOffElsewhere");
        QTest::addColumn<bool>("itemOfOtherList");
        QTest::newRow("list updates off elsewhere") << true << false;
        QTest::newRow("item of another list") << false << true;
    }
    void batchTellsViewAtOnceWhenItCannotHold()
    {
        QFETCH(bool, updatesOffElsewhere);
        QFETCH(bool, itemOfOtherList);
        QListWidget other;
        auto* item = new QListWidgetItem(QStringLiteral("old"), itemOfOtherList ? &other : list.get());
        list->setUpdatesEnabled(!updatesOffElsewhere);
        QSignalSpy changes(item->listWidget()->model(), &QAbstractItemModel::dataChanged);
        batch->setText(item, QStringLiteral("new"));
        QCOMPARE(item->text(), QStringLiteral("new"));
        QCOMPARE(changes.count(), 1);
        QVERIFY(!batch->pending());
    }

    void windowListCurrentAfterEveryReport_data()
    {
        QTest::addColumn<int>("modems");
        QTest::addColumn<int>("reports");
        QTest::newRow("one modem") << 1 << 5;
        QTest::newRow("ten modems") << 10 << 40;
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
            QCOMPARE(shown->item(i)->text(), line(i, 1000 + r));
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
        auto* received = station.spin("op_cont_stat_received_cur_spb");
        auto* seqnum = station.spin("op_seqnum_sb");
        for (int r = 1; r <= 20; ++r) {
            modem.report(REP_CONT_STATUS, encodeContStatus({ 0x09, 1, 60, 0, 0, quint16(r) }), quint16(r), station.port);
            QTRY_COMPARE_WITH_TIMEOUT(seqnum->value(), r, 10000);
            QCOMPARE(received->value(), r);
        }
        QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_version_gbx")->updatesEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(station.widget("op_abons_lw")->updatesEnabled(), 10000);
    }
};

QTEST_MAIN(TestListRefresh)
#include "tst_list_refresh.moc"
