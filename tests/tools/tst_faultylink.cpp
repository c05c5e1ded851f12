#include "faultylink.h"
#include "protocol.h"
#include "simclock.h"

#include <QtTest>
#include <memory>

namespace {

QByteArray status(quint16 seqnum)
{
    return protocol::buildReport(REP_CONT_STATUS, seqnum, QByteArray(29, '\x11'));
}

} // namespace

// The faults a simulated modem puts on the datagrams it sends.
class TestFaultyLink : public QObject {
    Q_OBJECT

private slots:
    void init();

    void lossAndDuplicates_data();
    void lossAndDuplicates();
    void reorderSwapsNeighbours();
    void heldDatagramGoesOutAlone();
    void corruption_data();
    void corruption();
    void delayHoldsDatagrams();
    void silenceEndsOnTime();

private:
    void sendNumbered(int count);
    QList<quint16> sentSeqnums() const;

    QList<QByteArray> m_sent;
    std::unique_ptr<FaultyLink> m_link;
};

void TestFaultyLink::init()
{
    m_sent.clear();
    m_link = std::make_unique<FaultyLink>(
        [this](const QByteArray& d, const QHostAddress&, quint16) { m_sent.append(d); }, 3);
}

void TestFaultyLink::sendNumbered(int count)
{
    for (int i = 1; i <= count; ++i)
        m_link->send(status(quint16(i)), QHostAddress::LocalHost, 40005);
}

QList<quint16> TestFaultyLink::sentSeqnums() const
{
    QList<quint16> seqnums;
    for (const QByteArray& d : m_sent)
        seqnums << protocol::parseHeader(d).seqnum;
    return seqnums;
}

void TestFaultyLink::lossAndDuplicates_data()
{
    QTest::addColumn<double>("loss");
    QTest::addColumn<double>("duplicate");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");
    QTest::newRow("clean") << 0.0 << 0.0 << 100 << 100;
    QTest::newRow("all lost") << 1.0 << 0.0 << 0 << 0;
    QTest::newRow("all doubled") << 0.0 << 1.0 << 200 << 200;
    QTest::newRow("about a third lost") << 0.3 << 0.0 << 55 << 85;
    QTest::newRow("lost ones are not doubled") << 1.0 << 1.0 << 0 << 0;
}

void TestFaultyLink::lossAndDuplicates()
{
    QFETCH(double, loss);
    QFETCH(double, duplicate);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    Faults faults;
    faults.loss = loss;
    faults.duplicate = duplicate;
    m_link->setFaults(faults);
    sendNumbered(100);
    QVERIFY2(m_sent.size() >= lowest && m_sent.size() <= highest, qPrintable(QString::number(m_sent.size())));
    for (const QByteArray& d : qAsConst(m_sent))
        QVERIFY(protocol::isFrame(d));
}

void TestFaultyLink::reorderSwapsNeighbours()
{
    Faults faults;
    faults.reorder = 1.0;
    m_link->setFaults(faults);
    sendNumbered(4);
    QCOMPARE(sentSeqnums(), (QList<quint16>{2, 1, 4, 3}));
}

void TestFaultyLink::heldDatagramGoesOutAlone()
{
    Faults faults;
    faults.reorder = 1.0;
    m_link->setFaults(faults);
    sendNumbered(1);
    QVERIFY(m_sent.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(sentSeqnums(), QList<quint16>{1}, 10 * FaultyLink::kHoldMs);
}

void TestFaultyLink::corruption_data()
{
    QTest::addColumn<unsigned>("kind");
    QTest::newRow("bad signature") << unsigned(Faults::BadSignature);
    QTest::newRow("truncated") << unsigned(Faults::Truncation);
    QTest::newRow("random bytes") << unsigned(Faults::RandomBytes);
}

void TestFaultyLink::corruption()
{
    QFETCH(unsigned, kind);
    Faults faults;
    faults.corrupt = 1.0;
    faults.corruptions = kind;
    m_link->setFaults(faults);
    const QByteArray original = status(9);
    for (int i = 0; i < 20; ++i)
        m_link->send(original, QHostAddress::LocalHost, 40005);
    QCOMPARE(m_sent.size(), 20);
    for (const QByteArray& d : qAsConst(m_sent)) {
        QVERIFY(d != original);
        switch (kind) {
        case Faults::BadSignature:
            QCOMPARE(d.size(), original.size());
            QVERIFY(!protocol::isFrame(d));
            break;
        case Faults::Truncation:
            QVERIFY(d.size() < original.size());
            QVERIFY(original.startsWith(d));
            break;
        default:
            QCOMPARE(d.left(protocol::kHeaderSize), original.left(protocol::kHeaderSize));
            QCOMPARE(d.size(), original.size());
            break;
        }
    }
}

void TestFaultyLink::delayHoldsDatagrams()
{
    Faults faults;
    faults.delayMs = 150;
    faults.jitterMs = 50;
    m_link->setFaults(faults);
    sendNumbered(3);
    QVERIFY(m_sent.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_sent.size(), 3, 5000);
}

void TestFaultyLink::silenceEndsOnTime()
{
    Faults faults;
    faults.silentUntilMs = Faults::kSilentForever;
    m_link->setFaults(faults);
    sendNumbered(2);
    QVERIFY(m_sent.isEmpty());

    faults.silentUntilMs = simclock::nowMs() + 100;
    m_link->setFaults(faults);
    sendNumbered(2);
    QVERIFY(m_sent.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!m_link->silent(simclock::nowMs()), 5000);
    sendNumbered(2);
    QCOMPARE(m_sent.size(), 2);
}

QTEST_GUILESS_MAIN(TestFaultyLink)
#include "tst_faultylink.moc"
