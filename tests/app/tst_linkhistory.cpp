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
    s.received = s.sent = received;
    a.status = records::encodeContStatus(s);
    a.updated = 1;
    return a;
}

// The whole list as the modem link announces it: others present, only one entry updated.
QList<OpAbonent> announce(const OpAbonent& fresh)
{
    QList<OpAbonent> list{report(0x7F000100, 0, 0, 99), report(0x7F000101, 0, 0, 99)};
    list[0].updated = list[1].updated = 0;
    return list << fresh;
}

constexpr quint32 kModemA = 0x7F000A01;
constexpr quint32 kModemB = 0x7F000A02;
constexpr qint64 kStart = 1700000000000;
const ModemKey keyA = LinkHistory::keyOf(QHostAddress(kModemA), 40005);
const ModemKey keyB = LinkHistory::keyOf(QHostAddress(kModemB), 40005);

} // namespace

class TestLinkHistory : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkHistory> history;

    QVector<LinkSample> all(ModemKey key) const { return history->samples(key, 0, LLONG_MAX); }
    void add(quint32 modem, qint64 ms, int seqnum, quint8 rssi, quint16 received = 50)
    {
        history->updateAbonents(announce(report(modem, kStart + ms, quint32(seqnum), rssi, received)));
    }

private slots:
    void init() { history = std::make_unique<LinkHistory>(8); }

    void ringKeepsNewestWithinItsBounds_data()
    {
        QTest::addColumn<int>("appended");
        QTest::addColumn<qint64>("dropBefore");
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("oldest"); // after one more sample
        QTest::newRow("wrapped twice") << 12 << qint64(0) << 5 << qint64(8);
        QTest::newRow("aged part dropped") << 12 << qint64(10) << 2 << qint64(10);
        QTest::newRow("all aged") << 4 << qint64(100) << 0 << qint64(1000);
    }

    void ringKeepsNewestWithinItsBounds()
    {
        QFETCH(int, appended);
        QFETCH(qint64, dropBefore);
        QFETCH(int, size);
        QFETCH(qint64, oldest);
        SampleRing ring(5);
        LinkSample s;
        for (s.ms = 0; s.ms < appended; ++s.ms)
            ring.append(s);
        ring.dropBefore(dropBefore);
        s.ms = 1000; // appending after a drop reuses the freed room in time order
        ring.append(s);
        QCOMPARE(ring.size(), qMin(5, size + 1));
        QCOMPARE(ring.at(0).ms, oldest);
        QCOMPARE(ring.at(ring.size() - 1).ms, qint64(1000));
        for (int i = 1; i < ring.size(); ++i)
            QVERIFY(ring.at(i - 1).ms < ring.at(i).ms);
    }

    void eachModemKeepsItsOwnHistory()
    {
        QSignalSpy added(history.get(), &LinkHistory::sampleAdded);
        for (int i = 0; i < 20; ++i) {
            add(kModemA, i * 1000, i, 60);
            if (i % 2)
                add(kModemB, i * 1000 + 10, i, 80);
        }
        QCOMPARE(history->sampleCount(keyA), 8); // bounded by the capacity
        QCOMPARE(history->sampleCount(keyB), 8);
        QCOMPARE(all(keyA).last().rssiDbm(), -60.0);
        QCOMPARE(all(keyB).last().rssiDbm(), -80.0);
        QCOMPARE(added.count(), 30);
        QCOMPARE(added.last().at(0).value<quint64>(), keyB);
        // Only the announced entry counts: the quiet ones in the list have no history.
        QCOMPARE(history->modems().size(), 2);

        // Aged out: the history stays, and the next sample marks the gap.
        QSignalSpy lost(history.get(), &LinkHistory::modemLost);
        history->deleteAbonents({report(kModemA, kStart + 19000, 19, 60)});
        QCOMPARE(lost.count(), 1);
        QVERIFY(history->isLost(keyA));
        QCOMPARE(history->sampleCount(keyA), 8);
        add(kModemA, 20000, 20, 62);
        QVERIFY(!history->isLost(keyA));
        QVERIFY(all(keyA).last().gapBefore);
    }

    void onlyTheLastHourIsKept()
    {
        history = std::make_unique<LinkHistory>();
        for (int minute = 0; minute <= 120; ++minute)
            add(kModemA, minute * 60000, minute, 60);
        QCOMPARE(all(keyA).size(), 61);
        QCOMPARE(all(keyA).first().ms, kStart + 60 * 60000);
    }

    void extendedStatusRefinesOnlyTheCurrentModemsNewestSample()
    {
        qint64 now = kStart;
        history->setClock([&now] { return now; });
        add(kModemA, 0, 1, 60);
        add(kModemB, 0, 1, 70);
        history->setCurrentModem(keyA);
        ExtendedStatus ext;
        ext.rssi = 6125;
        ext.tx_power = 80;
        ext.temp1 = 4321;
        history->extendedStatus(2, records::encodeExtendedStatus(ext));
        // A second one for the same report changes nothing more; a stale sample is left alone.
        ext.rssi = 9000;
        history->extendedStatus(3, records::encodeExtendedStatus(ext));
        QCOMPARE(all(keyA).last().rssiDbm(), -61.25);
        QCOMPARE(all(keyA).last().power(), 80.0);
        QCOMPARE(all(keyA).last().temp1(), 43.21);
        QCOMPARE(all(keyB).last().rssiDbm(), -70.0);
        QVERIFY(std::isnan(all(keyB).last().power()));
        add(kModemA, 1000, 2, 60);
        now = kStart + 5000;
        history->extendedStatus(4, records::encodeExtendedStatus(ext));
        QVERIFY(std::isnan(all(keyA).last().power()));
    }

    // Each report's counts cover the time since the modem's previous report, which the
    // station may not have heard.
    // Rows: reports as "ms:seqnum:covered ms (0 unknown)[:gap]".
    void ratesFollowTheReportPeriod_data()
    {
        QTest::addColumn<QString>("reports");
        QTest::newRow("steady") << "0:1:0 1000:2:1000 2000:3:1000 3000:4:1000";
        QTest::newRow("two reports missed") << "0:1:0 1000:2:1000 2000:3:1000 5000:6:1000:gap 6000:7:1000";
        QTest::newRow("modem restarted") << "0:40:0 500:41:500 1000:0:500:gap 1500:1:500";
        QTest::newRow("sequence wraps") << "0:65534:0 1000:65535:1000 2000:0:1000";
        QTest::newRow("period lengthened")
            << "0:1:0 1000:2:1000 4000:3:1000:gap 7000:4:1000:gap 10000:5:3000 13000:6:3000";
        QTest::newRow("same moment twice") << "0:1:0 1000:2:1000 1000:3:0";
    }

    void ratesFollowTheReportPeriod()
    {
        QFETCH(QString, reports);
        const QStringList rows = reports.split(' ');
        for (const QString& row : rows)
            add(kModemA, row.section(':', 0, 0).toLongLong(), row.section(':', 1, 1).toInt(), 60, 40);
        const QVector<LinkSample> samples = all(keyA);
        QCOMPARE(samples.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const int covered = rows[i].section(':', 2, 2).toInt();
            QCOMPARE(int(samples[i].intervalMs), covered);
            QCOMPARE(samples[i].gapBefore, rows[i].endsWith(":gap"));
            const double rate = historyseries::value(samples[i], historyseries::Received);
            QVERIFY(covered ? qFuzzyCompare(rate, 40 * 1000.0 / covered) : std::isnan(rate));
        }
    }

    void csvReadsBackAsWritten()
    {
        add(kModemA, 0, 1, 60, 10);
        add(kModemA, 500, 2, 101, 25);
        const QList<QByteArray> lines = historyseries::toCsv(all(keyA)).split('\n');
        QCOMPARE(lines.size(), 4); // header, two samples, the final newline
        QVERIFY(lines.last().isEmpty());
        const QList<QByteArray> names = lines.first().split(',');
        auto field = [&](int row, const char* name) {
            return QString::fromLatin1(lines.at(row).split(',').value(names.indexOf(name)));
        };
        QCOMPARE(QDateTime::fromString(field(1, "time_utc"), Qt::ISODateWithMs).toMSecsSinceEpoch(), kStart);
        QCOMPARE(QDateTime::fromString(field(2, "time_utc"), Qt::ISODateWithMs).toMSecsSinceEpoch(), kStart + 500);
        QCOMPARE(field(1, "rssi_dbm").toDouble(), -60.0);
        QCOMPARE(field(2, "rssi_dbm").toDouble(), -101.0);
        QCOMPARE(field(1, "sync") + field(2, "sync"), QString("10"));
        QCOMPARE(field(1, "received_per_s"), QString()); // the first period is unknown
        QCOMPARE(field(2, "received_per_s").toDouble(), 50.0);
        QCOMPARE(field(2, "temp1_c").toDouble(), 40.0);
        QCOMPARE(field(2, "tx_power_pct"), QString());
    }

    void thinningKeepsSpikesAndOrder()
    {
        QVector<QPointF> points;
        for (int i = 0; i < 10000; ++i)
            points.append(QPointF(i, i == 4321 ? 99.0 : (i == 777 ? -99.0 : 0.0)));
        const QVector<QPointF> thin = historyseries::thin(points, 100);
        QVERIFY(thin.size() <= 200);
        QVERIFY(thin.contains(QPointF(4321, 99.0)) && thin.contains(QPointF(777, -99.0)));
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
        window.history().setCurrentModem(keyA);
        quint32 seqnum = 0;
        QTimer stream;
        connect(&stream, &QTimer::timeout, &window, [&] {
            ++seqnum;
            window.history().updateAbonents(announce(report(kModemA, QDateTime::currentMSecsSinceEpoch(), seqnum, quint8(60 + seqnum % 5))));
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
            QVERIFY(objects < 0 || objects == window.findChildren<QObject*>().size());
            objects = window.findChildren<QObject*>().size();
        }
        stream.stop();
        window.refresh();
        auto* rssi = qobject_cast<QtCharts::QLineSeries*>(window.chartView()->chart()->series().first());
        QVERIFY(rssi->count() > 10 && rssi->count() <= 2 * qMax(100, window.chartView()->width()));

        QTemporaryDir folder;
        QFile csv(folder.filePath("history.csv"));
        QVERIFY(window.exportCsv(csv.fileName()) && csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count('\n'), window.visibleSamples().size() + 1);
        QVERIFY(window.exportPng(folder.filePath("history.png")));
        QVERIFY(!QImage(folder.filePath("history.png")).isNull());
        QVERIFY(!window.exportCsv(folder.filePath("missing/history.csv")));
    }
};

QTEST_MAIN(TestLinkHistory)
#include "tst_linkhistory.moc"
