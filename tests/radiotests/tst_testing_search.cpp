#include "testing_search.h"

#include <QtTest>

constexpr quint64 kStartFreq = 1000000000;
using Counts = QVector<qint64>;
using Losses = QVector<double>;

// Feeds reports written "S40/0" (in sync, 40 packets received, none missed) or "_5/7" (out of
// sync), each optionally repeated ("12*S40/0"); returns the decision on the last one.
testing_step feed(testing_search& s, const QString& reports)
{
    testing_step step;
    for (auto it = QRegularExpression("(?:(\\d+)\\*)?([S_])(\\d+)/(\\d+)").globalMatch(reports); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        for (int i = m.captured(1).isEmpty() ? 1 : m.captured(1).toInt(); i > 0; --i) {
            s.testing_count(m.captured(2) == "S", quint16(m.captured(3).toUInt()), quint16(m.captured(4).toUInt()));
            step = s.testing_decide();
        }
    }
    return step;
}

// Measurements with the given losses, each point taken over as the devices would: the
// attenuator refuses what it cannot reach. Returns the last decision.
testing_step measure(testing_search& s, const Losses& losses)
{
    testing_step step;
    for (int i = 0; i < losses.size() && !step.complete; ++i) {
        const int missed = qRound(losses[i] * 40);
        do
            step = feed(s, QString("S%1/%2").arg(40 - missed).arg(missed));
        while (step.verdict == testing_step::waiting);
        if (s.testing_mode == testing_search::testing_doppler)
            s.testing_cur_freq = s.testing_freq;
        else if (s.testing_att_cur >= 0 && s.testing_att_cur <= 31.75)
            s.testing_att.attenuation = s.testing_att_cur;
    }
    return step;
}

// Counting, judging and stepping of the sensitivity and Doppler searches.
class TestTestingSearch : public QObject {
    Q_OBJECT

    testing_search s;

    // The test tab's defaults (TMO 10, PKT 300, error 0.1, Doppler 0 to 100000 Hz) and a
    // 0 to 31.75 dB attenuator that opened at 0 dB.
    void start(int mode, double maxError = 0.1, quint64 dopplerMin = 0)
    {
        s.testing_att.attenuation = 0.0;
        s.testing_cur_freq = kStartFreq;
        s.testing_start(10, 300, maxError, true, dopplerMin, 100000);
        s.testing_mode = mode;
    }

private slots:
    void init() { start(testing_search::testing_sensitivity); }

    void reportsAreCountedAndJudged_data()
    {
        QTest::addColumn<QString>("reports");
        QTest::addColumn<Counts>("counts");  // sync count, bad count, received, missed
        QTest::addColumn<int>("verdict");
        QTest::addColumn<double>("ratio");
        const int waiting = testing_step::waiting, passed = testing_step::passed, failed = testing_step::failed;
        const Counts restarted{-1, 0, 0, 0};
        QTest::newRow("warm-up out of sync counts as bad") << "_5/7" << Counts{-1, 1, 5, 7} << waiting << 0.0;
        QTest::newRow("no new packets is bad") << "2*S40/0 S30/10 S0/0" << Counts{2, 1, 30, 10} << waiting << 0.0;
        QTest::newRow("out of sync is bad") << "2*S40/0 S30/10 _10/30" << Counts{2, 1, 40, 40} << waiting << 0.0;
        QTest::newRow("good report after a bad one restarts") << "2*S40/0 S30/10 _10/30 S40/0" << restarted << waiting << 0.0;
        QTest::newRow("restart warms up once more") << "_5/7 2*S40/0 S30/10" << Counts{1, 0, 30, 10} << waiting << 0.0;
        QTest::newRow("defaults: two warm-up reports and ten more") << "12*S40/0" << restarted << passed << 0.0;
        QTest::newRow("one report short") << "11*S40/0" << Counts{9, 0, 360, 0} << waiting << 0.0;
        QTest::newRow("packet minimum not yet reached") << "16*S20/0" << Counts{14, 0, 280, 0} << waiting << 0.0;
        QTest::newRow("packet minimum reached") << "17*S20/0" << restarted << passed << 0.0;
        QTest::newRow("bad reports fail with full loss") << "10*_40/0" << restarted << failed << 1.0;
        QTest::newRow("half lost still passes") << "2*S40/0 10*S20/20" << restarted << passed << 0.5;
        QTest::newRow("just over half fails") << "2*S40/0 10*S19/21" << restarted << failed << 0.525;
    }

    void reportsAreCountedAndJudged()
    {
        QFETCH(QString, reports);
        QFETCH(int, verdict);
        QFETCH(double, ratio);
        QCOMPARE(int(feed(s, reports).verdict), verdict);
        QTEST((Counts{s.testing_sync_count, s.testing_bad_count, qint64(s.testing_received), qint64(s.testing_missed)}), "counts");
        QCOMPARE(s.testing_total, s.testing_received + s.testing_missed);
        QCOMPARE(s.testing_ratio, ratio);
        QCOMPARE(s.testing_result, verdict == testing_step::passed ? ratio : 1.0);
    }

    void searchEndsAfterItsLastMeasurement_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("maxError");
        QTest::addColumn<quint64>("dopplerMin");
        QTest::addColumn<Losses>("losses");  // of the measurements made; the search ends after the last
        const int sensitivity = testing_search::testing_sensitivity, doppler = testing_search::testing_doppler;
        QTest::newRow("failure at the first point") << sensitivity << 0.1 << quint64(0) << Losses{1.0};
        QTest::newRow("failure at the first frequency") << doppler << 0.1 << quint64(0) << Losses{1.0};
        QTest::newRow("passing inside the error band") << sensitivity << 0.1 << quint64(0) << Losses{0.0, 0.425};
        QTest::newRow("failing inside the error band") << sensitivity << 0.1 << quint64(0) << Losses{0.0, 0.55};
        QTest::newRow("on the band's edges, then inside") << sensitivity << 0.1 << quint64(0) << Losses{0.0, 0.4, 0.6, 0.5};
        QTest::newRow("no band: down to the resolution") << sensitivity << 0.0 << quint64(0) << Losses(9, 0.5);
        QTest::newRow("doppler down to the resolution") << doppler << 0.1 << quint64(0) << Losses(11, 0.0);
        QTest::newRow("doppler minimum above maximum") << doppler << 0.1 << quint64(150000) << Losses{0.0};
    }

    void searchEndsAfterItsLastMeasurement()
    {
        QFETCH(int, mode);
        QFETCH(double, maxError);
        QFETCH(quint64, dopplerMin);
        QFETCH(Losses, losses);
        start(mode, maxError, dopplerMin);
        QVERIFY(!measure(s, losses.mid(0, losses.size() - 1)).complete);
        QVERIFY(measure(s, losses.mid(losses.size() - 1)).complete);
    }
};

QTEST_GUILESS_MAIN(TestTestingSearch)
#include "tst_testing_search.moc"
