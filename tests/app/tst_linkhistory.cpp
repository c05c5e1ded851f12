// The link history without a network: its ring, its per-modem keeping, the packet rates from
// per-report counts, the CSV export read back, and the window under a running report stream.
#include "historychartview.h"
#include "historyseries.h"
#include "linkhistory.h"
#include "linkhistorywindow.h"
#include "reportinterval.h"
#include "status_records.h"
#include "stepping_motor.h"

#include <QtCharts/QLineSeries>
#include <QtTest>
#include <QtWidgets>
#include <cmath>

namespace {

OpAbonent report(quint32 address, qint64 ms, quint32 seqnum, quint8 rssi, quint16 received = 50)
{
    OpAbonent a;
    a.address = QHostAddress(address);
    a.port = 40005;
    a.last_seen = ms;
    a.seqnum = seqnum;
    ContStatus s;
    s.sync = rssi < 100;
    s.rssi = rssi;
    s.temp1 = 40;
    s.received = received;
    s.sent = received;
    a.status = records::encodeContStatus(s);
    a.updated = 1;
    return a;
}

// The whole list as the modem link announces it: others present, only one entry updated.
QList<OpAbonent> announce(const OpAbonent& fresh, int others = 2)
{
    QList<OpAbonent> list;
    for (int i = 0; i < others; ++i) {
        OpAbonent quiet = report(0x7F000100 + quint32(i), 0, 0, 99);
        quiet.updated = 0;
        list.append(quiet);
    }
    list.append(fresh);
    return list;
}

// One CSV line split into its fields by column name.
QHash<QString, QString> fieldsOf(const QList<QByteArray>& lines, int row)
{
    const QList<QByteArray> names = lines.first().split(',');
    const QList<QByteArray> values = lines.at(row).split(',');
    QHash<QString, QString> out;
    for (int i = 0; i < names.size(); ++i)
        out.insert(QString::fromLatin1(names.at(i)), QString::fromLatin1(values.value(i)));
    return out;
}

constexpr quint32 kModemA = 0x7F000A01;
constexpr quint32 kModemB = 0x7F000A02;
constexpr qint64 kStart = 1700000000000;

} // namespace

class TestLinkHistory : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkHistory> history;

private slots:
    void init() { history = std::make_unique<LinkHistory>(8); }

    void ringKeepsNewestWithinItsBounds_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("appended");
        QTest::addColumn<qint64>("dropBefore");
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("oldest"); // after one more sample
        QTest::newRow("filling") << 5 << 3 << qint64(0) << 3 << qint64(0);
        QTest::newRow("wrapped twice") << 5 << 12 << qint64(0) << 5 << qint64(8);
        QTest::newRow("aged part dropped") << 5 << 12 << qint64(10) << 2 << qint64(10);
        QTest::newRow("all aged") << 5 << 4 << qint64(100) << 0 << qint64(-1);
    }

    void ringKeepsNewestWithinItsBounds()
    {
        QFETCH(int, capacity);
        QFETCH(int, appended);
        QFETCH(qint64, dropBefore);
        SampleRing ring(capacity);
        for (int i = 0; i < appended; ++i) {
            LinkSample s;
            s.ms = i;
            ring.append(s);
        }
        ring.dropBefore(dropBefore);
        // Appending after a drop reuses the freed room in time order.
        LinkSample later;
        later.ms = 1000;
        ring.append(later);
        QFETCH(int, size);
        QCOMPARE(ring.size(), qMin(capacity, size + 1));
        QFETCH(qint64, oldest);
        QCOMPARE(ring.at(0).ms, size == 0 ? 1000 : oldest);
        QCOMPARE(ring.at(ring.size() - 1).ms, qint64(1000));
        for (int i = 1; i < ring.size(); ++i)
            QVERIFY(ring.at(i - 1).ms < ring.at(i).ms);
    }

    void eachModemKeepsItsOwnHistory()
    {
        QSignalSpy added(history.get(), &LinkHistory::sampleAdded);
        for (int i = 0; i < 20; ++i) {
            history->updateAbonents(announce(report(kModemA, kStart + i * 1000, quint32(i), 60)));
            if (i % 2)
                history->updateAbonents(announce(report(kModemB, kStart + i * 1000 + 10, quint32(i), 80)));
        }
        const ModemKey a = LinkHistory::keyOf(QHostAddress(kModemA), 40005);
        const ModemKey b = LinkHistory::keyOf(QHostAddress(kModemB), 40005);
        QCOMPARE(history->sampleCount(a), 8);  // bounded by the capacity
        QCOMPARE(history->sampleCount(b), 8);
        QCOMPARE(history->samples(a, 0, LLONG_MAX).last().rssiDbm(), -60.0);
        QCOMPARE(history->samples(b, 0, LLONG_MAX).last().rssiDbm(), -80.0);
        QCOMPARE(added.count(), 30);
        QCOMPARE(added.last().at(0).value<quint64>(), b);
        // Only the announced entry counts: the quiet ones in the list have no history.
        QCOMPARE(history->modems().size(), 2);
    }

    void agedOutModemKeepsHistoryAndMarksTheGap()
    {
        QSignalSpy lost(history.get(), &LinkHistory::modemLost);
        history->updateAbonents(announce(report(kModemA, kStart, 1, 60)));
        history->updateAbonents(announce(report(kModemA, kStart + 1000, 2, 61)));
        history->deleteAbonents({report(kModemA, kStart + 1000, 2, 61)});
        const ModemKey a = LinkHistory::keyOf(QHostAddress(kModemA), 40005);
        QCOMPARE(lost.count(), 1);
        QVERIFY(history->isLost(a));
        QCOMPARE(history->sampleCount(a), 2);
        history->updateAbonents(announce(report(kModemA, kStart + 2000, 3, 62)));
        QVERIFY(!history->isLost(a));
        QVERIFY(history->samples(a, 0, LLONG_MAX).last().gapBefore);
    }

    void onlyTheLastHourIsKept()
    {
        LinkHistory big;
        for (int minute = 0; minute <= 120; ++minute)
            big.updateAbonents(announce(report(kModemA, kStart + minute * 60000, quint32(minute), 60)));
        const ModemKey a = LinkHistory::keyOf(QHostAddress(kModemA), 40005);
        const QVector<LinkSample> kept = big.samples(a, 0, LLONG_MAX);
        QCOMPARE(kept.size(), 61);
        QCOMPARE(kept.first().ms, kStart + 60 * 60000);
    }

    void extendedStatusRefinesOnlyTheCurrentModemsNewestSample()
    {
        qint64 now = kStart;
        history->setClock([&now] { return now; });
        history->updateAbonents(announce(report(kModemA, kStart, 1, 60)));
        history->updateAbonents(announce(report(kModemB, kStart, 1, 70)));
        history->setCurrentModem(LinkHistory::keyOf(QHostAddress(kModemA), 40005));
        ExtendedStatus ext;
        ext.rssi = 6125;
        ext.tx_power = 80;
        ext.temp1 = 4321;
        history->extendedStatus(2, records::encodeExtendedStatus(ext));
        // A second one for the same report changes nothing more; a stale sample is left alone.
        ext.rssi = 9000;
        history->extendedStatus(3, records::encodeExtendedStatus(ext));
        const LinkSample a = history->samples(LinkHistory::keyOf(QHostAddress(kModemA), 40005), 0, LLONG_MAX).last();
        const LinkSample b = history->samples(LinkHistory::keyOf(QHostAddress(kModemB), 40005), 0, LLONG_MAX).last();
        QCOMPARE(a.rssiDbm(), -61.25);
        QCOMPARE(a.power(), 80.0);
        QCOMPARE(a.temp1(), 43.21);
        QCOMPARE(b.rssiDbm(), -70.0);
        QVERIFY(std::isnan(b.power()));
        history->updateAbonents(announce(report(kModemA, kStart + 1000, 2, 60)));
        now = kStart + 5000;
        history->extendedStatus(4, records::encodeExtendedStatus(ext));
        QVERIFY(std::isnan(history->samples(LinkHistory::keyOf(QHostAddress(kModemA), 40005), 0, LLONG_MAX).last().power()));
    }

    // Each report's counts cover the time since the modem's previous report, which the
    // station may not have heard.
    void ratesFollowTheReportPeriod_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<int>>("seqnums");
        QTest::addColumn<QList<int>>("covered"); // ms per report, 0: unknown
        QTest::addColumn<QList<bool>>("gaps");
        QTest::newRow("steady") << QList<qint64>{0, 1000, 2000, 3000} << QList<int>{1, 2, 3, 4}
                                << QList<int>{0, 1000, 1000, 1000} << QList<bool>{false, false, false, false};
        QTest::newRow("two reports missed") << QList<qint64>{0, 1000, 2000, 5000, 6000} << QList<int>{1, 2, 3, 6, 7}
                                            << QList<int>{0, 1000, 1000, 1000, 1000}
                                            << QList<bool>{false, false, false, true, false};
        QTest::newRow("modem restarted") << QList<qint64>{0, 500, 1000, 1500} << QList<int>{40, 41, 0, 1}
                                         << QList<int>{0, 500, 500, 500} << QList<bool>{false, false, true, false};
        QTest::newRow("sequence wraps") << QList<qint64>{0, 1000, 2000} << QList<int>{65534, 65535, 0}
                                        << QList<int>{0, 1000, 1000} << QList<bool>{false, false, false};
        QTest::newRow("period lengthened") << QList<qint64>{0, 1000, 4000, 7000, 10000, 13000}
                                           << QList<int>{1, 2, 3, 4, 5, 6} << QList<int>{0, 1000, 1000, 1000, 3000, 3000}
                                           << QList<bool>{false, false, true, true, false, false};
        QTest::newRow("same moment twice") << QList<qint64>{0, 1000, 1000} << QList<int>{1, 2, 3}
                                           << QList<int>{0, 1000, 0} << QList<bool>{false, false, false};
    }

    void ratesFollowTheReportPeriod()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<int>, seqnums);
        QFETCH(QList<int>, covered);
        QFETCH(QList<bool>, gaps);
        for (int i = 0; i < times.size(); ++i)
            history->updateAbonents(announce(report(kModemA, kStart + times[i], quint32(seqnums[i]), 60, 40)));
        const QVector<LinkSample> samples = history->samples(LinkHistory::keyOf(QHostAddress(kModemA), 40005), 0, LLONG_MAX);
        for (int i = 0; i < times.size(); ++i) {
            QCOMPARE(int(samples[i].intervalMs), covered[i]);
            QCOMPARE(samples[i].gapBefore, gaps[i]);
            const double rate = historyseries::value(samples[i], historyseries::Received);
            if (covered[i])
                QCOMPARE(rate, 40 * 1000.0 / covered[i]);
            else
                QVERIFY(std::isnan(rate));
        }
    }

    void csvReadsBackAsWritten()
    {
        history->updateAbonents(announce(report(kModemA, kStart, 1, 60, 10)));
        history->updateAbonents(announce(report(kModemA, kStart + 500, 2, 101, 25)));
        const QVector<LinkSample> samples = history->samples(LinkHistory::keyOf(QHostAddress(kModemA), 40005), 0, LLONG_MAX);
        const QList<QByteArray> lines = historyseries::toCsv(samples).split('\n');
        QCOMPARE(lines.size(), 4);  // header, two samples, the final newline
        QVERIFY(lines.last().isEmpty());
        const QHash<QString, QString> first = fieldsOf(lines, 1);
        const QHash<QString, QString> second = fieldsOf(lines, 2);
        QCOMPARE(QDateTime::fromString(first["time_utc"], Qt::ISODateWithMs).toMSecsSinceEpoch(), kStart);
        QCOMPARE(QDateTime::fromString(second["time_utc"], Qt::ISODateWithMs).toMSecsSinceEpoch(), kStart + 500);
        QCOMPARE(first["rssi_dbm"].toDouble(), -60.0);
        QCOMPARE(second["rssi_dbm"].toDouble(), -101.0);
        QCOMPARE(first["sync"], QString("1"));
        QCOMPARE(second["sync"], QString("0"));
        QCOMPARE(first["received_per_s"], QString());  // the first period is unknown
        QCOMPARE(second["received_per_s"].toDouble(), 50.0);
        QCOMPARE(second["temp1_c"].toDouble(), 40.0);
        QCOMPARE(second["tx_power_pct"], QString());
    }

    void thinningKeepsSpikesAndOrder()
    {
        QVector<QPointF> points;
        for (int i = 0; i < 10000; ++i)
            points.append(QPointF(i, i == 4321 ? 99.0 : (i == 777 ? -99.0 : 0.0)));
        const QVector<QPointF> thin = historyseries::thin(points, 100);
        QVERIFY(thin.size() <= 200);
        QVERIFY(thin.contains(QPointF(4321, 99.0)));
        QVERIFY(thin.contains(QPointF(777, -99.0)));
        for (int i = 1; i < thin.size(); ++i)
            QVERIFY(thin[i - 1].x() < thin[i].x());
        QCOMPARE(historyseries::thin(points.mid(0, 150), 100).size(), 150);
    }

    // Open and close the window again and again while reports stream in: it keeps the same
    // objects, follows the stream while shown, and exports what it shows.
    void windowOpensAndClosesUnderReportStream()
    {
        SteppingMotor motor;  // never started: no controller needed
        LinkHistoryWindow window(motor);
        window.history().setCurrentModem(LinkHistory::keyOf(QHostAddress(kModemA), 40005));
        quint32 seqnum = 0;
        QTimer stream;
        connect(&stream, &QTimer::timeout, &window, [&] {
            ++seqnum;
            window.history().updateAbonents(
                announce(report(kModemA, QDateTime::currentMSecsSinceEpoch(), seqnum, quint8(60 + seqnum % 5))));
        });
        stream.start(5);
        int objects = -1;
        for (int round = 0; round < 5; ++round) {
            window.openAction()->trigger();
            QVERIFY(window.isVisible());
            QTest::qWait(120);
            window.refresh();
            window.close();
            QTest::qWait(50);
            const int now = window.findChildren<QObject*>().size();
            if (objects >= 0)
                QCOMPARE(now, objects);
            objects = now;
        }
        QCOMPARE(window.openAction()->shortcut(), QKeySequence(Qt::Key_F5));
        stream.stop();
        window.refresh();
        const auto lines = window.chartView()->chart()->series();
        auto* rssi = qobject_cast<QtCharts::QLineSeries*>(lines.first());
        QVERIFY(rssi->count() > 10);
        QVERIFY(rssi->count() <= 2 * qMax(100, window.chartView()->width()));

        QTemporaryDir folder;
        const QString csv = folder.filePath("history.csv");
        QVERIFY(window.exportCsv(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), window.visibleSamples().size() + 1);
        QVERIFY(window.exportPng(folder.filePath("history.png")));
        QVERIFY(!QImage(folder.filePath("history.png")).isNull());
        QVERIFY(!window.exportCsv(folder.filePath("missing/history.csv")));
    }
};

QTEST_MAIN(TestLinkHistory)
#include "tst_linkhistory.moc"
