// The jitter buffer in front of the decoder, driven period by period: what a link's timing
// does to the frames that reach the loudspeaker.

#include "playoutclock.h"
#include "voiceplayout.h"

#include <QtTest>
#include <algorithm>
#include <random>

namespace {

// Frames sent every 20 ms, numbered 0.., reaching the station at the given times (ms); lost ones absent.
struct Arrival { double atMs; int frame; };

enum class Link { Clean, Loss20, Jitter100, Bursts11, SwapAdjacent };

std::vector<Arrival> arrivals(Link link, int frames, int firstFaulty = 0)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Arrival> out;
    double previous = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double sent = 20.0 * i + 3.0 * unit(random); // capture is not quite regular either
        double at = sent + 1.0;
        if (i >= firstFaulty) {
            if (link == Link::Loss20 && unit(random) < 0.2)
                continue;
            if (link == Link::Jitter100) // held up to 100 ms, never overtaking
                at = std::max(previous, sent + 100.0 * unit(random));
            if (link == Link::Bursts11) // a radio that gathers 220 ms and sends it at once
                at = (std::floor(sent / 220.0) + 1.0) * 220.0 + 5.0;
            if (link == Link::SwapAdjacent)
                at += (i % 2 == 0) ? 25.0 : 0.0;
        }
        previous = at;
        out.push_back({at, i});
    }
    std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.atMs < b.atMs; });
    return out;
}

QByteArray frameBytes(int frame) { return QByteArray::number(frame).leftJustified(38, '.'); }

struct Run { QVector<int> arrived, played, delaysMs; PlayoutStats stats; }; // frame numbers, in order

// Plays `periods` periods of 20 ms (clock 7 ms out of phase with the sender), feeding arrivals as they fall due.
Run play(VoicePlayout& playout, const std::vector<Arrival>& in, int periods)
{
    Run run;
    size_t next = 0;
    for (int n = 0; n < periods; ++n) {
        const double tick = 20.0 * n + 7.0;
        for (; next < in.size() && in[next].atMs <= tick; ++next) {
            playout.push(frameBytes(in[next].frame));
            run.arrived << in[next].frame;
        }
        const VoicePlayout::Period period = playout.next();
        if (period.fill == VoicePlayout::Fill::Frame) {
            run.played << period.frame.left(period.frame.indexOf('.')).toInt();
            run.stats = playout.stats(); // as of the last frame: the flow's end is no fault
        }
        run.delaysMs << playout.stats().delay_ms;
    }
    return run;
}

} // namespace

Q_DECLARE_METATYPE(Link)

class VoicePlayoutTest : public QObject
{
    Q_OBJECT

    VoicePlayout playout;

private slots:
    void init() { playout.reset(); }

    void linkTimingCostsNoFrame_data()
    {
        QTest::addColumn<Link>("link");
        QTest::addColumn<int>("maxConcealed");
        QTest::addColumn<int>("maxDropped");
        QTest::newRow("clean") << Link::Clean << 0 << 0;
        // Only the first gap, before the delay has grown, is filled in.
        QTest::newRow("bursts of 11 after 220 ms gaps") << Link::Bursts11 << 12 << 0;
        // The delay is sized to let a few frames in a hundred come too late.
        QTest::newRow("jitter up to 100 ms") << Link::Jitter100 << 12 << 9;
        QTest::newRow("adjacent frames swapped") << Link::SwapAdjacent << 2 << 0;
    }

    void linkTimingCostsNoFrame()
    {
        QFETCH(Link, link);
        QFETCH(int, maxConcealed);
        QFETCH(int, maxDropped);
        const auto in = arrivals(link, 1000, 100);
        const Run run = play(playout, in, 1030);
        QCOMPARE(run.stats.received, 1000);
        QVERIFY2(run.stats.dropped <= maxDropped, qPrintable(QString::number(run.stats.dropped)));
        QCOMPARE(run.stats.played + run.stats.dropped, 1000);
        // No sequence numbers on the wire: what arrives is played, in the order it arrived.
        if (maxDropped == 0)
            QCOMPARE(run.played, run.arrived);
        QVERIFY(std::is_sorted(run.played.begin(), run.played.end()) == (link != Link::SwapAdjacent));
        QVERIFY2(run.stats.concealed + run.stats.silent <= maxConcealed,
                 qPrintable(QStringLiteral("%1 concealed, %2 silent").arg(run.stats.concealed).arg(run.stats.silent)));
    }

    void singleLossesAreConcealedOneForOne()
    {
        const auto in = arrivals(Link::Loss20, 1000);
        const Run run = play(playout, in, 1030);
        const int lost = 1000 - int(in.size());
        QVERIFY(lost > 150);
        QCOMPARE(run.played, run.arrived);
        QCOMPARE(run.stats.dropped, 0);
        QVERIFY2(run.stats.concealed >= lost * 9 / 10 && run.stats.silent <= 5,
                 qPrintable(QStringLiteral("%1 lost, %2 concealed, %3 silent").arg(lost).arg(run.stats.concealed).arg(run.stats.silent)));
        QCOMPARE(run.stats.delay_ms, 0); // losses alone add no delay
    }

    void stoppedFlowIsConcealedBrieflyThenSilentThenRestartsAtOnce()
    {
        play(playout, arrivals(Link::Clean, 50), 150); // 2 s of nothing after the flow
        const PlayoutStats stats = playout.stats();
        QCOMPARE(stats.played, 50);
        QCOMPARE(stats.concealed, VoicePlayout::kMaxConcealed);
        QCOMPARE(stats.silent, 100 - VoicePlayout::kMaxConcealed);
        playout.push(frameBytes(1));
        QCOMPARE(playout.next().fill, VoicePlayout::Fill::Frame);
    }

    // Nothing is played or concealed before the first good frame; bad ones are refused.
    void firstFrame_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("received");
        QTest::newRow("good") << frameBytes(0) << 1;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("beyond a datagram") << QByteArray(4096, 'x') << 0;
    }

    void firstFrame()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, received);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(playout.next().fill, VoicePlayout::Fill::Silence);
        playout.push(frame);
        QCOMPARE(playout.stats().received, received);
        QCOMPARE(playout.next().fill, received ? VoicePlayout::Fill::Frame : VoicePlayout::Fill::Silence);
        QCOMPARE(playout.stats().concealed, 0);
    }

    void clockCatchesUpShortStallsOnly_data()
    {
        QTest::addColumn<QVector<int>>("elapsedMs");
        QTest::addColumn<QVector<int>>("due");
        QTest::newRow("on time") << QVector<int>{10, 20, 39, 40, 61} << QVector<int>{0, 1, 0, 1, 1};
        QTest::newRow("short stall made up") << QVector<int>{20, 95, 100} << QVector<int>{1, 3, 1};
        QTest::newRow("long stall given up") << QVector<int>{20, 1000, 1010, 1020} << QVector<int>{1, PlayoutClock::kMaxCatchUp, 0, 1};
    }

    void clockCatchesUpShortStallsOnly()
    {
        QFETCH(QVector<int>, elapsedMs);
        std::chrono::steady_clock::time_point now{};
        PlayoutClock clock([&] { return now; });
        clock.start();
        QVector<int> got;
        for (int ms : elapsedMs) {
            now = std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(ms);
            got << clock.due();
        }
        QTEST(got, "due");
    }
};

QTEST_APPLESS_MAIN(VoicePlayoutTest)
#include "tst_voiceplayout.moc"
