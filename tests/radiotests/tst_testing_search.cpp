#include "testing_search.h"

#include <QtTest>
#include <functional>

namespace {

constexpr quint16 kPerReport = 40; // packets the remote transmitter sends between two reports
constexpr quint64 kStartFreq = 1000000000;

// One report and the decision it leads to.
testing_step report(testing_search& s, bool sync, quint16 received, quint16 missed)
{
    s.testing_count(sync, received, missed);
    return s.testing_decide();
}

// In-sync reports with the given loss until the measurement is judged.
testing_step measure(testing_search& s, double loss)
{
    const auto missed = quint16(qRound(loss * kPerReport));
    for (int i = 0; i < 1000; ++i) {
        const testing_step step = report(s, true, kPerReport - missed, missed);
        if (step.verdict != testing_step::waiting)
            return step;
    }
    return {};
}

// A device that takes over only what it can reach, as the attenuator and the modem do.
void apply(testing_search& s)
{
    if (s.testing_mode == testing_search::testing_sensitivity) {
        if (s.testing_att_cur >= s.testing_att.att_min && s.testing_att_cur <= s.testing_att.att_max)
            s.testing_att.attenuation = s.testing_att_cur;
    } else {
        s.testing_cur_freq = s.testing_freq;
    }
}

struct Run {
    QVector<double> steps; // step of every move, in the order made
    int measurements = 0;
};

// A whole search; each measurement's loss follows the point the device is really at.
Run search(testing_search& s, const std::function<double(testing_search&)>& lossAt)
{
    Run run;
    for (testing_step step; !step.complete && run.measurements < 100;) {
        step = measure(s, lossAt(s));
        ++run.measurements;
        if (step.moved) {
            run.steps << (s.testing_mode == testing_search::testing_sensitivity ? s.testing_att_step
                                                                                : double(s.testing_freq_step));
            apply(s);
        }
    }
    return run;
}

} // namespace

// Counting, judging and stepping of the sensitivity and Doppler searches.
class TestTestingSearch : public QObject {
    Q_OBJECT

private slots:
    void init();

    void measurementIsJudgedAfterWarmUpAndTimeout_data();
    void measurementIsJudgedAfterWarmUpAndTimeout();
    void reportsCountBySyncAndNewPackets_data();
    void reportsCountBySyncAndNewPackets();
    void lossOfTheMeasurementDecidesTheVerdict_data();
    void lossOfTheMeasurementDecidesTheVerdict();
    void timeoutBadReportsFailWithFullLoss();
    void sensitivityStepsHalveBelowAnEighthDecibel();
    void sensitivityConvergesOnTheHalfLossAttenuation_data();
    void sensitivityConvergesOnTheHalfLossAttenuation();
    void failureAtTheFirstPointEndsTheSearch_data();
    void failureAtTheFirstPointEndsTheSearch();
    void lossNearOneHalfEndsTheSearchEarly_data();
    void lossNearOneHalfEndsTheSearchEarly();
    void dopplerStepsFromOneGigahertz();
    void dopplerConvergesOnTheHalfLossOffset_data();
    void dopplerConvergesOnTheHalfLossOffset();
    void dopplerMinimumAboveMaximumMeasuresOnce();

private:
    void start(int mode, double maxError = 0.1, quint64 dopplerMin = 0, quint64 dopplerMax = 100000);
    testing_search s;
};

void TestTestingSearch::init()
{
    start(testing_search::testing_sensitivity);
}

// The test tab's defaults: TMO 10, PKT 300, a 0..31.75 dB attenuator that opened at 0 dB.
void TestTestingSearch::start(int mode, double maxError, quint64 dopplerMin, quint64 dopplerMax)
{
    s.testing_att.attenuation = 0.0;
    s.testing_cur_freq = kStartFreq;
    s.testing_start(10, 300, maxError, true, dopplerMin, dopplerMax);
    s.testing_mode = mode;
}

void TestTestingSearch::measurementIsJudgedAfterWarmUpAndTimeout_data()
{
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("minPkt");
    QTest::addColumn<int>("perReport");
    QTest::addColumn<int>("reports");
    QTest::newRow("defaults: two warm-up reports and ten more") << 10 << 300 << 40 << 12;
    QTest::newRow("ten reports bring exactly the minimum") << 10 << 300 << 30 << 12;
    QTest::newRow("packet minimum needs more reports") << 10 << 300 << 20 << 17;
    QTest::newRow("short timeout") << 3 << 0 << 1 << 5;
}

void TestTestingSearch::measurementIsJudgedAfterWarmUpAndTimeout()
{
    QFETCH(int, timeout);
    QFETCH(int, minPkt);
    QFETCH(int, perReport);
    QFETCH(int, reports);
    s.testing_start(timeout, minPkt, 0.1, true, 0, 100000);
    for (int i = 1; i < reports; ++i)
        QCOMPARE(report(s, true, quint16(perReport), 0).verdict, testing_step::waiting);
    QCOMPARE(report(s, true, quint16(perReport), 0).verdict, testing_step::passed);
}

void TestTestingSearch::reportsCountBySyncAndNewPackets_data()
{
    // Reports as "S" (in sync) or "_" (out of sync) with received/missed packets.
    QTest::addColumn<QString>("reports");
    QTest::addColumn<int>("syncCount");
    QTest::addColumn<int>("badCount");
    QTest::addColumn<int>("received");
    QTest::addColumn<int>("missed");
    QTest::newRow("warm-up in sync adds nothing") << "S40/0 S40/0" << 0 << 0 << 0 << 0;
    QTest::newRow("warm-up out of sync counts as bad") << "_5/7" << -1 << 1 << 5 << 7;
    QTest::newRow("in sync with packets adds up") << "S40/0 S40/0 S30/10 S20/20" << 2 << 0 << 50 << 30;
    QTest::newRow("no new packets is bad") << "S40/0 S40/0 S30/10 S0/0" << 2 << 1 << 30 << 10;
    QTest::newRow("out of sync is bad") << "S40/0 S40/0 S30/10 _10/30" << 2 << 1 << 40 << 40;
    QTest::newRow("bad reports leave the sync count") << "S40/0 S40/0 S30/10 _1/0 _1/0 S0/0" << 2 << 3 << 32 << 10;
    QTest::newRow("good report after a bad one restarts") << "S40/0 S40/0 S30/10 _10/30 S40/0" << -1 << 0 << 0 << 0;
    QTest::newRow("good report after bad warm-up restarts") << "_5/7 S40/0" << -1 << 0 << 0 << 0;
    QTest::newRow("restart warms up once more") << "_5/7 S40/0 S40/0 S30/10" << 1 << 0 << 30 << 10;
}

void TestTestingSearch::reportsCountBySyncAndNewPackets()
{
    QFETCH(QString, reports);
    for (const QString& r : reports.split(' ')) {
        const QStringList counts = r.mid(1).split('/');
        report(s, r.startsWith('S'), quint16(counts[0].toUInt()), quint16(counts[1].toUInt()));
    }
    QTEST(int(s.testing_sync_count), "syncCount");
    QTEST(int(s.testing_bad_count), "badCount");
    QTEST(int(s.testing_received), "received");
    QTEST(int(s.testing_missed), "missed");
    QCOMPARE(s.testing_total, s.testing_received + s.testing_missed);
}

void TestTestingSearch::lossOfTheMeasurementDecidesTheVerdict_data()
{
    QTest::addColumn<double>("loss");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<double>("result");
    QTest::newRow("nothing lost") << 0.0 << int(testing_step::passed) << 0.0;
    QTest::newRow("half lost still passes") << 0.5 << int(testing_step::passed) << 0.5;
    QTest::newRow("just over half fails") << 0.525 << int(testing_step::failed) << 1.0;
    QTest::newRow("all lost") << 1.0 << int(testing_step::failed) << 1.0;
}

void TestTestingSearch::lossOfTheMeasurementDecidesTheVerdict()
{
    QFETCH(double, loss);
    QFETCH(int, verdict);
    QFETCH(double, result);
    QCOMPARE(int(measure(s, loss).verdict), verdict);
    QCOMPARE(s.testing_ratio, loss);
    QCOMPARE(s.testing_result, result);
}

void TestTestingSearch::timeoutBadReportsFailWithFullLoss()
{
    for (int i = 1; i < 10; ++i)
        QCOMPARE(report(s, false, 40, 0).verdict, testing_step::waiting);
    QCOMPARE(report(s, false, 40, 0).verdict, testing_step::failed);
    QCOMPARE(s.testing_ratio, 1.0);
}

void TestTestingSearch::sensitivityStepsHalveBelowAnEighthDecibel()
{
    const Run run = search(s, [](testing_search&) { return 0.0; });
    const QVector<double> steps{31.75, 15.875, 7.9375, 3.96875, 1.984375, 0.9921875, 0.49609375, 0.248046875};
    QCOMPARE(run.steps, steps);
    QCOMPARE(run.measurements, 9);
    QCOMPARE(s.testing_att_step, 0.1240234375);
    // Every point beyond the maximum was refused, so the passes were all taken at 31.75 dB.
    QCOMPARE(s.testing_att_result, 31.75);
}

void TestTestingSearch::sensitivityConvergesOnTheHalfLossAttenuation_data()
{
    QTest::addColumn<double>("halfLoss");
    QTest::newRow("mid range") << 13.3;
    QTest::newRow("near the minimum") << 0.1;
    QTest::newRow("on a search point") << 15.875;
    QTest::newRow("near the maximum") << 31.7;
}

void TestTestingSearch::sensitivityConvergesOnTheHalfLossAttenuation()
{
    QFETCH(double, halfLoss);
    search(s, [=](testing_search& t) { return t.testing_att.attenuation <= halfLoss ? 0.2 : 0.8; });
    QVERIFY2(s.testing_att_result <= halfLoss && halfLoss - s.testing_att_result < 0.248046875,
             qPrintable(QString::number(s.testing_att_result)));
    QCOMPARE(s.testing_result, 0.2);
}

void TestTestingSearch::failureAtTheFirstPointEndsTheSearch_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("sensitivity") << int(testing_search::testing_sensitivity);
    QTest::newRow("doppler") << int(testing_search::testing_doppler);
}

void TestTestingSearch::failureAtTheFirstPointEndsTheSearch()
{
    QFETCH(int, mode);
    start(mode);
    const testing_step step = measure(s, 1.0);
    QCOMPARE(step.verdict, testing_step::failed);
    QVERIFY(step.complete);
    QCOMPARE(s.testing_att_result, 31.75);
    QCOMPARE(s.testing_freq_result, kStartFreq + 100000);
}

void TestTestingSearch::lossNearOneHalfEndsTheSearchEarly_data()
{
    QTest::addColumn<double>("maxError");
    QTest::addColumn<double>("loss");
    QTest::addColumn<bool>("complete");
    QTest::newRow("passing inside") << 0.1 << 0.425 << true;
    QTest::newRow("failing inside") << 0.1 << 0.55 << true;
    QTest::newRow("on the lower bound") << 0.1 << 0.4 << false;
    QTest::newRow("on the upper bound") << 0.1 << 0.6 << false;
    QTest::newRow("wider band") << 0.3 << 0.775 << true;
    QTest::newRow("no band") << 0.0 << 0.5 << false;
}

void TestTestingSearch::lossNearOneHalfEndsTheSearchEarly()
{
    QFETCH(double, maxError);
    QFETCH(double, loss);
    QFETCH(bool, complete);
    start(testing_search::testing_sensitivity, maxError);
    QVERIFY(!measure(s, 0.0).complete);
    apply(s);
    const testing_step step = measure(s, loss);
    QVERIFY(step.moved);
    QCOMPARE(step.complete, complete);
}

void TestTestingSearch::dopplerStepsFromOneGigahertz()
{
    start(testing_search::testing_doppler);
    QCOMPARE(s.testing_freq, kStartFreq);
    QVERIFY(measure(s, 0.0).moved);
    QCOMPARE(s.testing_freq, kStartFreq + 100000);
    apply(s);
    const Run run = search(s, [](testing_search&) { return 0.0; });
    const QVector<double> steps{50000, 25000, 12500, 6250, 3125, 1562, 781, 390, 195};
    QCOMPARE(run.steps, steps);
    QCOMPARE(s.testing_freq_step, quint64(97));
    QCOMPARE(s.testing_freq_result, kStartFreq + 100000 + 50000 + 25000 + 12500 + 6250 + 3125 + 1562 + 781 + 390 + 195);
}

void TestTestingSearch::dopplerConvergesOnTheHalfLossOffset_data()
{
    QTest::addColumn<int>("halfLoss");
    QTest::newRow("mid range") << 37000;
    QTest::newRow("near the start") << 150;
    QTest::newRow("near the maximum") << 99900;
}

void TestTestingSearch::dopplerConvergesOnTheHalfLossOffset()
{
    QFETCH(int, halfLoss);
    start(testing_search::testing_doppler);
    search(s, [=](testing_search& t) { return t.testing_cur_freq - kStartFreq <= quint64(halfLoss) ? 0.2 : 0.8; });
    const qint64 offset = qint64(s.testing_freq_result - kStartFreq);
    QVERIFY2(offset <= halfLoss && halfLoss - offset < 195, qPrintable(QString::number(offset)));
}

void TestTestingSearch::dopplerMinimumAboveMaximumMeasuresOnce()
{
    start(testing_search::testing_doppler, 0.1, 150000, 100000);
    QCOMPARE(s.testing_freq, kStartFreq + 150000);
    const testing_step step = measure(s, 0.0);
    QVERIFY(step.complete);
    QVERIFY(!step.moved);
}

QTEST_GUILESS_MAIN(TestTestingSearch)
#include "tst_testing_search.moc"
