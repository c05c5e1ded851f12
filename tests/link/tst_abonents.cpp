#include "linktest.h"

#include <QtTest>
#include <memory>

class ListReceiver : public QObject {
    Q_OBJECT
public slots:
    void take(QList<OpAbonent> list) { lists << list; }

public:
    QVector<QList<OpAbonent>> lists;
};

// The list of heard modems: keys, the announced entry, ageing and marks, driven by a test clock.
class TestAbonents : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }
    void init();

    void entriesAreKeyedByAddressAndPort();
    void eachAnnouncementFlagsOnlyItsEntry();
    void ageing_data();
    void ageing();
    void markedEntryGoesAtNextPassUnlessItReports_data();
    void markedEntryGoesAtNextPassUnlessItReports();
    void removalKeepsOrderOfTheRest();
    void statusCopyHoldsOnlyWhatArrived_data();
    void statusCopyHoldsOnlyWhatArrived();
    void listsTravelThroughQueuedConnections();

private:
    void report(const char* address, quint16 port, quint16 seqnum = 0)
    {
        client->feed(statusReport(seqnum), QHostAddress(QString::fromLatin1(address)), port);
    }
    QStringList keys(const QList<OpAbonent>& list) const
    {
        QStringList out;
        for (const OpAbonent& a : list)
            out << QStringLiteral("%1:%2").arg(a.address.toString()).arg(a.port);
        return out;
    }

    std::unique_ptr<ReceivePath> client;
    qint64 now = 1700000000000;
};

void TestAbonents::init()
{
    client = std::make_unique<ReceivePath>();
    now = 1700000000000;
    client->setClock([this] { return now; });
}

void TestAbonents::entriesAreKeyedByAddressAndPort()
{
    QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
    report("10.0.0.2", 40005, 1);
    report("10.0.0.2", 40006, 2);
    now += 100;
    report("::ffff:10.0.0.2", 40005, 3); // the same modem seen through a mapped address

    const auto list = spy.last()[0].value<QList<OpAbonent>>();
    QCOMPARE(keys(list), (QStringList{"10.0.0.2:40005", "10.0.0.2:40006"}));
    QCOMPARE(list[0].address.protocol(), QAbstractSocket::IPv4Protocol);
    QCOMPARE(list[0].seqnum, quint32(3));
    QCOMPARE(list[0].last_seen, now);
    QCOMPARE(list[1].seqnum, quint32(2));
    QCOMPARE(list[1].last_seen, now - 100);
    QCOMPARE(client->abonentsCount(), 2);
}

void TestAbonents::eachAnnouncementFlagsOnlyItsEntry()
{
    QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
    report("10.0.0.2", 40005);
    report("10.0.0.3", 40005);
    report("10.0.0.2", 40005);
    report("10.0.0.4", 40005);

    // Each kept list shows the flags as they were at its own announcement.
    const QVector<int> flagged = {0, 1, 0, 2};
    QCOMPARE(spy.count(), flagged.size());
    for (int i = 0; i < spy.count(); ++i) {
        const auto list = spy[i][0].value<QList<OpAbonent>>();
        for (int e = 0; e < list.size(); ++e)
            QCOMPARE(list[e].updated, quint8(e == flagged[i] ? 1 : 0));
    }
}

void TestAbonents::ageing_data()
{
    QTest::addColumn<qint64>("age");
    QTest::addColumn<bool>("removed");
    QTest::newRow("4999 ms") << qint64(4999) << false;
    QTest::newRow("5000 ms") << qint64(5000) << true;
    QTest::newRow("an hour") << qint64(3600000) << true;
    QTest::newRow("clock stepped back") << qint64(-60000) << false;
}

void TestAbonents::ageing()
{
    QFETCH(qint64, age);
    QFETCH(bool, removed);
    QSignalSpy spy(client.get(), &Client::signal_DeletedAbonents);
    report("10.0.0.2", 40005);
    now += age;
    client->cleanupAbonentList();

    QCOMPARE(client->abonentsCount(), removed ? 0 : 1);
    QCOMPARE(spy.count(), removed ? 1 : 0);
    if (removed)
        QCOMPARE(keys(spy[0][0].value<QList<OpAbonent>>()), QStringList{"10.0.0.2:40005"});
}

void TestAbonents::markedEntryGoesAtNextPassUnlessItReports_data()
{
    QTest::addColumn<bool>("reportsAgain");
    QTest::newRow("silent") << false;
    QTest::newRow("still reporting") << true;
}

void TestAbonents::markedEntryGoesAtNextPassUnlessItReports()
{
    QFETCH(bool, reportsAgain);
    QSignalSpy spy(client.get(), &Client::signal_DeletedAbonents);
    report("10.0.0.2", 40005);
    report("10.0.0.2", 40006);

    client->abonentMarkDelete(QHostAddress(QStringLiteral("10.0.0.2")), 40005);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(client->abonentsCount(), 2);
    if (reportsAgain)
        report("10.0.0.2", 40005);
    client->cleanupAbonentList();

    QCOMPARE(client->abonentsCount(), reportsAgain ? 2 : 1);
    QCOMPARE(spy.count(), reportsAgain ? 0 : 1);
    if (!reportsAgain)
        QCOMPARE(spy[0][0].value<QList<OpAbonent>>()[0].delete_mark, quint8(1));
}

void TestAbonents::removalKeepsOrderOfTheRest()
{
    QSignalSpy updated(client.get(), &Client::signal_UpdatedAbonents);
    QSignalSpy deleted(client.get(), &Client::signal_DeletedAbonents);
    report("10.0.0.1", 1);
    report("10.0.0.2", 2);
    report("10.0.0.3", 3);
    report("10.0.0.4", 4);
    now += 3000;
    report("10.0.0.1", 1);
    report("10.0.0.3", 3);
    now += 2000;
    client->cleanupAbonentList();
    QCOMPARE(keys(deleted[0][0].value<QList<OpAbonent>>()), (QStringList{"10.0.0.2:2", "10.0.0.4:4"}));

    report("10.0.0.2", 2); // comes back at the end
    QCOMPARE(keys(updated.last()[0].value<QList<OpAbonent>>()), (QStringList{"10.0.0.1:1", "10.0.0.3:3", "10.0.0.2:2"}));
}

void TestAbonents::statusCopyHoldsOnlyWhatArrived_data()
{
    QTest::addColumn<int>("payloadSize");
    QTest::newRow("whole") << 29;
    QTest::newRow("longer") << 40;
    QTest::newRow("cut") << 10;
    QTest::newRow("header only") << 0;
}

void TestAbonents::statusCopyHoldsOnlyWhatArrived()
{
    QFETCH(int, payloadSize);
    QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
    QByteArray payload(payloadSize, '\0');
    for (int i = 0; i < payloadSize; ++i)
        payload[i] = char(i + 1);

    client->feed(protocol::buildReport(REP_CONT_STATUS, 0, QByteArray(29, '\x7f')), QHostAddress(QStringLiteral("10.0.0.2")), 1);
    client->feed(protocol::buildReport(REP_CONT_STATUS, 0, payload), QHostAddress(QStringLiteral("10.0.0.2")), 1);

    QByteArray expected = payload.left(29);
    expected.append(QByteArray(29 - expected.size(), '\0'));
    QCOMPARE(spy.last()[0].value<QList<OpAbonent>>()[0].status, expected);
}

void TestAbonents::listsTravelThroughQueuedConnections()
{
    // By signature, as the main window wires some of its slots: needs the run-time type registration.
    ListReceiver updated;
    QVERIFY(connect(client.get(), SIGNAL(signal_UpdatedAbonents(QList<OpAbonent>)), &updated,
                    SLOT(take(QList<OpAbonent>)), Qt::QueuedConnection));
    QList<OpAbonent> deleted;
    connect(client.get(), &Client::signal_DeletedAbonents, &updated,
            [&deleted](QList<OpAbonent> list) { deleted = list; }, Qt::QueuedConnection);

    report("10.0.0.2", 40005, 9);
    now += 5000;
    client->cleanupAbonentList();
    QTRY_COMPARE(deleted.size(), 1);
    QCOMPARE(updated.lists.size(), 1);
    QCOMPARE(updated.lists[0][0].updated, quint8(1));
    QCOMPARE(updated.lists[0][0].seqnum, quint32(9));
    QCOMPARE(deleted[0].updated, quint8(0));
}

QTEST_GUILESS_MAIN(TestAbonents)
#include "tst_abonents.moc"
