#include "bytes.h"
#include "steppermodel.h"

#include <QtTest>

namespace {

// The datagrams a 32-bit command is sent as: one byte each, seven data bits per byte.
QList<QByteArray> command32(quint8 command, qint32 data)
{
    const quint32 v = quint32(data);
    const quint8 msbs = quint8(((v >> 7) & 1) | ((v >> 14) & 2) | ((v >> 21) & 4) | ((v >> 28) & 8));
    QList<QByteArray> datagrams{QByteArray(1, char(command)), QByteArray(1, char(msbs))};
    for (int i = 0; i < 4; ++i)
        datagrams << QByteArray(1, char((v >> (8 * i)) & 0x7F));
    return datagrams;
}

QByteArray quick(quint8 command)
{
    return QByteArray(1, char(command));
}

QByteArray getSegment(int offset, int length)
{
    QByteArray request(3, '\0');
    request[0] = char(0xA1);
    request[1] = char(offset & 0x7F);
    request[2] = char(((offset >> 1) & 0x40) | (length & 0x3F));
    return request;
}

void send(StepperModel& stepper, const QList<QByteArray>& datagrams, qint64 nowMs)
{
    for (const QByteArray& d : datagrams)
        QVERIFY(stepper.feed(d, nowMs).isEmpty());
}

qint32 readPosition(StepperModel& stepper, qint64 nowMs)
{
    const QList<QByteArray> answers = stepper.feed(getSegment(0x22, 4), nowMs);
    return answers.size() == 1 ? bytes::i32(answers.first(), 0) : -0x7FFFFFFF;
}

} // namespace

// The stepper controller model, driven with explicit times.
class TestStepperModel : public QObject {
    Q_OBJECT

private slots:
    void haltSetsPositionFromSevenBitBytes_data();
    void haltSetsPositionFromSevenBitBytes();
    void reachesTargetAtConfiguredSpeed_data();
    void reachesTargetAtConfiguredSpeed();
    void safeStartHoldsMotorUntilReleased();
    void commandTimeoutStopsMotorUntilReleasedAgain();
    void stallKeepsPosition();
    void variableReads_data();
    void variableReads();
    void commandByteAbandonsUnfinishedCommand();
};

void TestStepperModel::haltSetsPositionFromSevenBitBytes_data()
{
    QTest::addColumn<qint32>("position");
    QTest::newRow("zero") << 0;
    QTest::newRow("minus one") << -1;
    QTest::newRow("200, top bit of the low byte") << 200;
    QTest::newRow("-2500") << -2500;
    QTest::newRow("largest") << qint32(0x7FFFFFFF);
    QTest::newRow("smallest") << qint32(-0x7FFFFFFF - 1);
}

void TestStepperModel::haltSetsPositionFromSevenBitBytes()
{
    QFETCH(qint32, position);
    StepperModel stepper(1000, 0);
    send(stepper, command32(0xEC, position), 10);
    QCOMPARE(readPosition(stepper, 20), position);
    QCOMPARE(stepper.target(), position);
}

void TestStepperModel::reachesTargetAtConfiguredSpeed_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<qint32>("target");
    QTest::newRow("1000 steps/s forward") << 1000 << 1250;
    QTest::newRow("2500 steps/s backward") << 2500 << -2500;
    QTest::newRow("slow") << 100 << 150;
}

void TestStepperModel::reachesTargetAtConfiguredSpeed()
{
    QFETCH(int, speed);
    QFETCH(qint32, target);
    StepperModel stepper(speed, 0);
    send(stepper, {quick(0x83)}, 0);
    send(stepper, command32(0xE0, target), 0);
    const qint64 travelMs = qint64(std::abs(target)) * 1000 / speed;
    // Polled every 100 ms with 0x8C, as the rotator does while the motor moves.
    for (qint64 t = 100; t <= travelMs + 300; t += 100) {
        send(stepper, {quick(0x8C)}, t);
        const qint64 expected = qMin<qint64>(std::abs(target), qint64(speed) * t / 1000);
        QCOMPARE(std::abs(readPosition(stepper, t)), qint32(expected));
    }
    QCOMPARE(readPosition(stepper, travelMs + 300), target);
}

void TestStepperModel::safeStartHoldsMotorUntilReleased()
{
    StepperModel stepper(1000, 0);
    send(stepper, command32(0xE0, 500), 0);
    send(stepper, {quick(0x8C)}, 400);
    QCOMPARE(readPosition(stepper, 400), 0);
    QVERIFY(stepper.safeStartActive(400));

    send(stepper, {quick(0x83)}, 400);
    send(stepper, {quick(0x8C)}, 600);
    QCOMPARE(readPosition(stepper, 600), 200);
}

void TestStepperModel::commandTimeoutStopsMotorUntilReleasedAgain()
{
    StepperModel stepper(1000, 0);
    send(stepper, {quick(0x83)}, 0);
    send(stepper, command32(0xE0, 5000), 0);
    // Position reads alone do not keep the controller going.
    QCOMPARE(readPosition(stepper, 500), 500);
    QCOMPARE(readPosition(stepper, 3000), StepperModel::kCommandTimeoutMs);
    QVERIFY(stepper.safeStartActive(3000));
    QVERIFY(!stepper.takeEvents().filter(QStringLiteral("time-out")).isEmpty());

    send(stepper, {quick(0x83)}, 3000);
    send(stepper, {quick(0x8C)}, 3500);
    QCOMPARE(readPosition(stepper, 3500), 1500);
}

void TestStepperModel::stallKeepsPosition()
{
    StepperModel stepper(1000, 0);
    send(stepper, {quick(0x83)}, 0);
    send(stepper, command32(0xE0, 3000), 0);
    send(stepper, {quick(0x8C)}, 500);
    stepper.setStalled(true, 500);
    send(stepper, {quick(0x8C)}, 900);
    QCOMPARE(readPosition(stepper, 900), 500);

    stepper.setStalled(false, 900);
    send(stepper, {quick(0x8C)}, 1400);
    QCOMPARE(readPosition(stepper, 1400), 1000);
}

void TestStepperModel::variableReads_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::newRow("present position") << getSegment(0x22, 4) << QList<QByteArray>{QByteArray::fromHex("04030201")};
    QTest::newRow("target position") << getSegment(0x0A, 4) << QList<QByteArray>{QByteArray::fromHex("0d0c0b0a")};
    QTest::newRow("offset with its top bit") << getSegment(0xA2, 4) << QList<QByteArray>{QByteArray(4, '\0')};
    QTest::newRow("past the variables") << getSegment(0xFF, 63) << QList<QByteArray>{QByteArray(63, '\0')};
    QTest::newRow("nothing asked") << getSegment(0x22, 0) << QList<QByteArray>{QByteArray()};
    QTest::newRow("two reads in one datagram") << getSegment(0x22, 2) + getSegment(0x24, 2)
                                               << QList<QByteArray>{QByteArray::fromHex("0403"), QByteArray::fromHex("0201")};
    QTest::newRow("data bytes without a command") << QByteArray::fromHex("0506") << QList<QByteArray>{};
}

void TestStepperModel::variableReads()
{
    QFETCH(QByteArray, request);
    QFETCH(QList<QByteArray>, answers);
    StepperModel stepper(1000, 0);
    send(stepper, command32(0xEC, 0x01020304), 0);
    send(stepper, command32(0xE0, 0x0A0B0C0D), 0); // held by safe start, so the position stays
    QCOMPARE(stepper.feed(request, 100), answers);
}

void TestStepperModel::commandByteAbandonsUnfinishedCommand()
{
    StepperModel stepper(1000, 0);
    const QList<QByteArray> answers = stepper.feed(QByteArray::fromHex("e00102") + getSegment(0x22, 4), 0);
    QCOMPARE(answers.size(), 1);
    QCOMPARE(stepper.target(), 0);
}

QTEST_GUILESS_MAIN(TestStepperModel)
#include "tst_steppermodel.moc"
