#include "scripted_controller.h"
#include "stepping_motor.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <mutex>

namespace {
// The rotator tests' controllers; few other tests use port 30000 on these addresses.
const QHostAddress kController("127.0.0.231");
const QHostAddress kOtherController("127.0.0.232");
constexpr quint16 kPort = 30000;
constexpr int kSlow = 10000;  // ms; a stall needs 21 polls

// The motor's signals, counted on the test's thread: they arrive queued from the poll thread,
// so the checks never race it.
struct MotorSignals : QObject {
    explicit MotorSignals(SteppingMotor* motor)
    {
        connect(motor, &SteppingMotor::signal_InterfaceReinit, this, [this] { ++reinit; });
        connect(motor, &SteppingMotor::signal_InterfaceError, this, [this] { ++error; });
        connect(motor, &SteppingMotor::signal_PositionErrorState, this, [this](bool e) { stall << e; });
        connect(motor, &SteppingMotor::signal_TargetReached, this, [this](double a) { reached << a; });
    }
    int reinit = 0;
    int error = 0;
    QList<bool> stall;
    QList<double> reached;
};

// Debug lines of the poll thread, kept for the test that checks them.
std::mutex logMutex;
QStringList logLines;
QtMessageHandler previousHandler = nullptr;

void keepLog(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    {
        std::lock_guard<std::mutex> guard(logMutex);
        logLines << text;
    }
    previousHandler(type, context, text);
}

QStringList log()
{
    std::lock_guard<std::mutex> guard(logMutex);
    return logLines;
}
}

// The rotator thread against a controller scripted by the test on loopback.
class TestSteppingMotor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void firstAnswerAdoptsControllerPosition();
    void silentControllerFromStartRaisesNothing();
    void setAngleSendsSteps_data();
    void setAngleSendsSteps();
    void moveIsKeptAliveUntilTargetReached();
    void zeroingSendsHaltAndNoTarget();
    void stallReportedOnceAndClearedWhenMotorMoves();
    void lostAnswersReportedOnceAndReturnOnce();
    void addressArrivingLaterStartsPolling();
    void addressChangeMovesToNewController();
    void bindRetriedWhilePortTaken();
    void stopEndsThreadBlockedInRead();

private:
    void startAt(qint32 position);
    void waitReads(int more, ScriptedController* on = nullptr);

    std::unique_ptr<ScriptedController> controller;
    std::unique_ptr<SteppingMotor> motor;
    std::unique_ptr<MotorSignals> events;
};

void TestSteppingMotor::initTestCase()
{
    previousHandler = qInstallMessageHandler(keepLog);
}

void TestSteppingMotor::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
}

void TestSteppingMotor::init()
{
    controller = std::make_unique<ScriptedController>(kController, kPort);
    QVERIFY(controller->isBound());
    motor = std::make_unique<SteppingMotor>();
    events = std::make_unique<MotorSignals>(motor.get());
    motor->set_device_addr(kController, kPort);
}

void TestSteppingMotor::cleanup()
{
    events.reset();
    motor.reset();
    controller.reset();
}

void TestSteppingMotor::startAt(qint32 position)
{
    controller->position = position;
    QCOMPARE(motor->start_motor(), 0);
    QTRY_COMPARE(events->reinit, 1);
}

void TestSteppingMotor::waitReads(int more, ScriptedController* on)
{
    ScriptedController* c = on ? on : controller.get();
    const int until = c->reads() + more;
    QTRY_VERIFY(c->reads() >= until);
}

void TestSteppingMotor::firstAnswerAdoptsControllerPosition()
{
    startAt(700);
    QCOMPARE(motor->get_angle(), 25.2);
    waitReads(3);
    QCOMPARE(controller->commandsSince(0).size(), 0);
    QCOMPARE(events->reinit, 1);
    QCOMPARE(events->error, 0);
    QVERIFY(events->reached.isEmpty());
}

void TestSteppingMotor::silentControllerFromStartRaisesNothing()
{
    controller->answering = false;
    QCOMPARE(motor->start_motor(), 0);
    waitReads(3);
    QVERIFY(std::isnan(motor->get_angle()));
    QCOMPARE(events->error, 0);
    QCOMPARE(events->reinit, 0);
}

void TestSteppingMotor::setAngleSendsSteps_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("steps");

    QTest::newRow("45") << 45.0 << true << 1250;
    QTest::newRow("upper limit") << 90.0 << true << 2500;
    QTest::newRow("lower limit") << -90.0 << true << -2500;
    QTest::newRow("half step up") << 0.018 << true << 1;
    QTest::newRow("half step down") << -0.018 << true << -1;
    QTest::newRow("half step below -45") << -45.018 << true << -1251;
    QTest::newRow("past upper") << 90.5 << false << 0;
    QTest::newRow("past lower") << -90.5 << false << 0;
    QTest::newRow("not a number") << qQNaN() << false << 0;
}

void TestSteppingMotor::setAngleSendsSteps()
{
    QFETCH(double, degrees);
    QFETCH(bool, sent);
    QFETCH(int, steps);

    startAt(0);
    motor->set_angle(degrees);
    if (sent)
        QTRY_COMPARE(controller->count(0xE0), 1);
    waitReads(3);
    const QList<ScriptedController::Command> commands = controller->commandsSince(0);
    if (!sent) {
        QCOMPARE(commands.size(), 0);
        return;
    }
    QCOMPARE(controller->count(0xE0), 1);
    QVERIFY(commands.size() >= 2);
    QCOMPARE(commands[0].cmd, quint8(0x83));
    QCOMPARE(commands[1].cmd, quint8(0xE0));
    QCOMPARE(commands[1].data, steps);
}

void TestSteppingMotor::moveIsKeptAliveUntilTargetReached()
{
    startAt(0);
    motor->set_angle(-45);
    QTRY_COMPARE(controller->count(0xE0), 1);
    const int moveStart = controller->reads();
    controller->position = -600;
    waitReads(4);
    QVERIFY(controller->everyReadSinceFollowedBy(moveStart, 0x8C));
    QCOMPARE(motor->get_angle(), -21.6);

    controller->position = -1250;
    QTRY_COMPARE(events->reached, QList<double>{-45.0});
    const int arrived = controller->reads();
    waitReads(3);
    QCOMPARE(controller->commandsSince(arrived).size(), 0);
    QCOMPARE(events->reached.size(), 1);
    QCOMPARE(controller->count(0xE0), 1);
    QVERIFY(events->stall.isEmpty());
}

void TestSteppingMotor::zeroingSendsHaltAndNoTarget()
{
    startAt(500);
    motor->request_zero();
    QTRY_COMPARE(controller->count(0xEC), 1);
    QTRY_COMPARE(events->reached, QList<double>{0.0});
    waitReads(3);
    const QList<ScriptedController::Command> commands = controller->commandsSince(0);
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands[0].data, 0);
    QCOMPARE(motor->get_angle(), 0.0);
}

void TestSteppingMotor::stallReportedOnceAndClearedWhenMotorMoves()
{
    startAt(0);
    motor->set_angle(45);
    QTRY_VERIFY_WITH_TIMEOUT(!events->stall.isEmpty(), kSlow);
    QVERIFY2(controller->count(0x8C) >= 21, qPrintable(QString::number(controller->count(0x8C))));
    QVERIFY(log().contains("position_error"));
    waitReads(5);
    QCOMPARE(events->stall, QList<bool>{true});

    controller->position = 100;
    QTRY_COMPARE(events->stall, (QList<bool>{true, false}));
    waitReads(3);
    QCOMPARE(events->stall, (QList<bool>{true, false}));
}

void TestSteppingMotor::lostAnswersReportedOnceAndReturnOnce()
{
    startAt(300);
    controller->answering = false;
    QTRY_COMPARE(events->error, 1);
    QVERIFY(std::isnan(motor->get_angle()));
    waitReads(3);
    QCOMPARE(events->error, 1);
    QCOMPARE(events->reinit, 1);

    controller->position = 900;
    controller->answering = true;
    QTRY_COMPARE(events->reinit, 2);
    QCOMPARE(motor->get_angle(), 32.4);
    waitReads(3);
    QCOMPARE(events->reinit, 2);
    QCOMPARE(events->error, 1);
    QCOMPARE(controller->commandsSince(0).size(), 0);  // the returned position is the target
}

void TestSteppingMotor::addressArrivingLaterStartsPolling()
{
    motor->set_device_addr(QHostAddress(), 0);
    QCOMPARE(motor->start_motor(), 0);
    QTRY_VERIFY(std::isnan(motor->get_angle()));
    QTest::qWait(300);
    QCOMPARE(controller->reads(), 0);
    QCOMPARE(events->error, 0);

    controller->position = -1250;
    motor->set_device_addr(kController, kPort);
    motor->request_reinit();
    QTRY_COMPARE(events->reinit, 1);
    QCOMPARE(motor->get_angle(), -45.0);
}

void TestSteppingMotor::addressChangeMovesToNewController()
{
    ScriptedController other(kOtherController, kPort);
    QVERIFY(other.isBound());
    other.position = 1300;
    const int logStart = log().size();
    startAt(100);

    motor->set_device_addr(kOtherController, kPort);
    motor->request_reinit();
    QTRY_COMPARE(events->reinit, 2);
    QCOMPARE(motor->get_angle(), 46.8);
    const int oldReads = controller->reads();
    waitReads(3, &other);
    QCOMPARE(controller->reads(), oldReads);
    QCOMPARE(other.commandsSince(0).size(), 0);
    QCOMPARE(events->error, 0);
    // One bind at start and one for the new controller: a kept connection is not redone.
    const QStringList binds = log().mid(logStart).filter(QRegularExpression("^bind "));
    QCOMPARE(binds, (QStringList{"bind 0.0.0.0:30000 true", "bind 0.0.0.0:30000 true"}));
}

void TestSteppingMotor::bindRetriedWhilePortTaken()
{
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::Any, 0, QUdpSocket::DontShareAddress));
    const quint16 port = holder.localPort();
    motor->set_bind_port(port);
    QCOMPARE(motor->start_motor(), 0);
    const QString refused = QStringLiteral("bind 0.0.0.0:%1 false").arg(port);
    QTRY_VERIFY(log().count(refused) >= 2);
    QCOMPARE(controller->reads(), 0);

    holder.close();
    QTRY_COMPARE(events->reinit, 1);
    QVERIFY(log().contains(QStringLiteral("bind 0.0.0.0:%1 true").arg(port)));
}

void TestSteppingMotor::stopEndsThreadBlockedInRead()
{
    controller->answering = false;
    QCOMPARE(motor->start_motor(), 0);
    QCOMPARE(motor->start_motor(), -1);
    waitReads(1);
    motor->stop_motor();
    QVERIFY(motor->isFinished());

    controller->answering = true;
    QCOMPARE(motor->start_motor(), 0);
    QTRY_COMPARE(events->reinit, 1);
}

QTEST_GUILESS_MAIN(TestSteppingMotor)
#include "tst_stepping_motor.moc"
