#include "scripted_controller.h"
#include "stepping_motor.h"

#include <QtTest>

#include <cmath>
#include <memory>
#include <mutex>

namespace {
// The rotator tests' controllers; nothing else in the suite uses these addresses.
const QHostAddress kController("127.0.0.231");
const QHostAddress kOtherController("127.0.0.232");

// The motor's signals, counted on the test's thread: they arrive queued from the poll thread.
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

// Debug lines, written by the poll thread.
std::mutex logMutex;
QStringList logLines;
QtMessageHandler defaultHandler = nullptr;

void keepLine(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    {
        std::lock_guard<std::mutex> guard(logMutex);
        logLines << text;
    }
    defaultHandler(type, context, text);
}

QStringList linesSince(int first)
{
    std::lock_guard<std::mutex> guard(logMutex);
    return logLines.mid(first);
}
}

// The rotator thread against a controller scripted by the test on loopback.
class TestSteppingMotor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { defaultHandler = qInstallMessageHandler(keepLine); }
    void init();
    void cleanup();
    void firstAnswerAdoptsControllerPosition();
    void setAngleSendsSteps_data();
    void setAngleSendsSteps();
    void moveIsKeptAliveUntilTargetReached();
    void zeroingSendsHaltAndNoTarget();
    void stallReportedOnceAndClearedWhenMotorMoves();
    void lostAndReturningAnswersSignalledOnce();
    void addressChangeMovesToNewController();
    void stopEndsThreadBlockedInRead();

private:
    void startAt(qint32 position);
    void waitReads(int more, const ScriptedController& on);

    std::unique_ptr<ScriptedController> controller;
    std::unique_ptr<SteppingMotor> motor;
    std::unique_ptr<MotorSignals> events;
};

void TestSteppingMotor::init()
{
    controller = std::make_unique<ScriptedController>(kController);
    QVERIFY(controller->isBound());
    motor = std::make_unique<SteppingMotor>();
    events = std::make_unique<MotorSignals>(motor.get());
    motor->set_device_addr(kController, 30000);
}

void TestSteppingMotor::cleanup()
{
    events.reset();
    motor.reset();
    controller.reset();
}

void TestSteppingMotor::startAt(qint32 position)
{
    controller->setPosition(position);
    QCOMPARE(motor->start_motor(), 0);
    QTRY_COMPARE(events->reinit, 1);
}

void TestSteppingMotor::waitReads(int more, const ScriptedController& on)
{
    const int until = on.reads() + more;
    QTRY_VERIFY(on.reads() >= until);
}

void TestSteppingMotor::firstAnswerAdoptsControllerPosition()
{
    startAt(700);
    QCOMPARE(motor->get_angle(), 25.2);
    waitReads(3, *controller);
    QCOMPARE(controller->log().filter(QRegularExpression("^(?!a1)")), QStringList());
    QCOMPARE(events->error, 0);
}

void TestSteppingMotor::setAngleSendsSteps_data()
{
    QTest::addColumn<double>("degrees");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("45") << 45.0 << QStringList{"83", "e0 1250"};
    QTest::newRow("upper limit") << 90.0 << QStringList{"83", "e0 2500"};
    QTest::newRow("half step away from zero") << -0.018 << QStringList{"83", "e0 -1"};
    QTest::newRow("half step below -45") << -45.018 << QStringList{"83", "e0 -1251"};
    QTest::newRow("past the limit") << 90.5 << QStringList();
    QTest::newRow("not a number") << qQNaN() << QStringList();
}

void TestSteppingMotor::setAngleSendsSteps()
{
    QFETCH(double, degrees);
    QFETCH(QStringList, commands);

    startAt(0);
    motor->set_angle(degrees);
    waitReads(3, *controller);
    QCOMPARE(controller->log().filter(QRegularExpression("^(?!a1|8c)")), commands);
}

void TestSteppingMotor::moveIsKeptAliveUntilTargetReached()
{
    startAt(0);
    motor->set_angle(-45);
    QTRY_VERIFY(controller->log().contains("e0 -1250"));
    const int moving = controller->reads();
    controller->setPosition(-600);
    waitReads(5, *controller);  // the fifth read's 0x8C may still be on its way
    QVERIFY(controller->since(moving).join(' ').contains("a1 8c a1 8c a1 8c a1 8c"));
    QCOMPARE(controller->since(moving).filter(QRegularExpression("^(?!a1|8c)")), QStringList());
    QCOMPARE(motor->get_angle(), -21.6);

    controller->setPosition(-1250);
    QTRY_COMPARE(events->reached, QList<double>{-45.0});
    const int arrived = controller->reads();
    waitReads(3, *controller);
    QVERIFY(!controller->since(arrived).contains("8c"));
    QCOMPARE(events->reached.size(), 1);
}

void TestSteppingMotor::zeroingSendsHaltAndNoTarget()
{
    startAt(500);
    motor->request_zero();
    QTRY_COMPARE(events->reached, QList<double>{0.0});
    waitReads(3, *controller);
    QCOMPARE(controller->log().filter(QRegularExpression("^(?!a1)")), QStringList{"ec 0"});
    QCOMPARE(motor->get_angle(), 0.0);
}

void TestSteppingMotor::stallReportedOnceAndClearedWhenMotorMoves()
{
    startAt(0);
    const int logStart = linesSince(0).size();
    motor->set_angle(45);
    QTRY_VERIFY_WITH_TIMEOUT(!events->stall.isEmpty(), 10000);
    QVERIFY(controller->log().count("8c") >= 21);
    waitReads(5, *controller);
    QCOMPARE(events->stall, QList<bool>{true});
    QCOMPARE(linesSince(logStart).count("position_error"), 1);

    controller->setPosition(100);
    QTRY_COMPARE(events->stall, (QList<bool>{true, false}));
}

void TestSteppingMotor::lostAndReturningAnswersSignalledOnce()
{
    controller->setAnswering(false);
    QCOMPARE(motor->start_motor(), 0);
    waitReads(3, *controller);
    QVERIFY(std::isnan(motor->get_angle()));
    QCOMPARE(events->error + events->reinit, 0);  // silent from the start: nothing was lost

    controller->setPosition(300);
    controller->setAnswering(true);
    QTRY_COMPARE(events->reinit, 1);
    controller->setAnswering(false);
    QTRY_COMPARE(events->error, 1);
    QVERIFY(std::isnan(motor->get_angle()));

    controller->setPosition(900);
    controller->setAnswering(true);
    QTRY_COMPARE(events->reinit, 2);
    waitReads(3, *controller);
    QCOMPARE(events->error, 1);
    QCOMPARE(events->reinit, 2);
    QCOMPARE(motor->get_angle(), 32.4);
    QCOMPARE(controller->log().filter(QRegularExpression("^(?!a1)")), QStringList());  // 900 is the target
}

void TestSteppingMotor::addressChangeMovesToNewController()
{
    ScriptedController other(kOtherController);
    QVERIFY(other.isBound());
    other.setPosition(-1250);
    const int logStart = linesSince(0).size();
    motor->set_device_addr(QHostAddress(), 0);
    QCOMPARE(motor->start_motor(), 0);
    QTRY_VERIFY(std::isnan(motor->get_angle()));  // no controller, nothing sent

    motor->set_device_addr(kController, 30000);
    motor->request_reinit();
    QTRY_COMPARE(events->reinit, 1);
    motor->set_device_addr(kOtherController, 30000);
    motor->request_reinit();
    QTRY_COMPARE(events->reinit, 2);
    QCOMPARE(motor->get_angle(), -45.0);
    const int oldReads = controller->reads();
    waitReads(3, other);
    QCOMPARE(controller->reads(), oldReads);
    QCOMPARE(other.log().filter(QRegularExpression("^(?!a1)")), QStringList());
    QCOMPARE(events->error, 0);
    // One bind at start and one for the second controller: a kept connection is not redone.
    QCOMPARE(linesSince(logStart).filter(QRegularExpression("^bind ")), (QStringList{"bind 0.0.0.0:30000 true", "bind 0.0.0.0:30000 true"}));
}

void TestSteppingMotor::stopEndsThreadBlockedInRead()
{
    controller->setAnswering(false);
    QCOMPARE(motor->start_motor(), 0);
    QCOMPARE(motor->start_motor(), -1);
    waitReads(1, *controller);
    motor->stop_motor();
    QVERIFY(motor->isFinished());
}

QTEST_GUILESS_MAIN(TestSteppingMotor)
#include "tst_stepping_motor.moc"
