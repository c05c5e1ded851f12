// The antenna box's rotator controls against a stepper controller: the simulator's, reached
// through the modem the operator picks, and a scripted one that holds exact positions.
#include "scripted_controller.h"
#include "stationtest.h"

#include <QListWidget>
#include <QProcess>
#include <QPushButton>

using namespace stationtest;

namespace {

const QString kSimulatedModem = QStringLiteral("127.0.91.1");
const QHostAddress kScriptedController(QStringLiteral("127.0.0.233"));
const QString kUsable = QStringLiteral("background-color: white; enabled 4");
const QString kDisabled = QStringLiteral("background-color: red; enabled 0");

} // namespace

class TestMainWindowRotator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }
    void init() { station = std::make_unique<Station>(); }
    void cleanup();
    void controlsFollowSimulatedController();
    void reinitShowsAngleTruncatedAndRetargets_data();
    void reinitShowsAngleTruncatedAndRetargets();
    void buttonsStepAndZero();
    void lateReinitAfterLossKeepsAngle();

private:
    // The angle box's style sheet and how many of the four controls are enabled.
    QString controls() const
    {
        int enabled = 0;
        for (const char* name : {"sm_angle_spb", "sm_decr_step_pbt", "sm_incr_step_pbt", "sm_zero_position_pbt"})
            enabled += station->widget(name)->isEnabled();
        return QStringLiteral("%1 enabled %2").arg(angle()->styleSheet()).arg(enabled);
    }
    QSpinBox* angle() const { return station->spin("sm_angle_spb"); }
    void click(const char* button) const { station->widget<QPushButton>(button)->click(); }

    std::unique_ptr<Station> station;
    QProcess simulator;
};

void TestMainWindowRotator::cleanup()
{
    simulator.kill();
    simulator.waitForFinished();
    station.reset();
}

void TestMainWindowRotator::controlsFollowSimulatedController()
{
    simulator.start(QStringLiteral(ZARNIK_SIM),
                    { QStringLiteral("--modems"), QStringLiteral("1"),
                      QStringLiteral("--first-address"), kSimulatedModem,
                      QStringLiteral("--station"), QStringLiteral("127.0.0.1:%1").arg(station->port),
                      QStringLiteral("--period"), QStringLiteral("200ms") });
    QVERIFY(simulator.waitForStarted());
    QCOMPARE(controls(), kDisabled);  // until a controller answers

    auto* abonents = station->widget<QListWidget>("op_abons_lw");
    QTRY_COMPARE_WITH_TIMEOUT(abonents->count(), 1, 10000);
    emit abonents->itemDoubleClicked(abonents->item(0));
    QTRY_COMPARE_WITH_TIMEOUT(controls(), kUsable, 10000);

    angle()->setValue(10);
    auto* motor = station->window->findChild<SteppingMotor*>();
    QTRY_COMPARE_WITH_TIMEOUT(motor->get_angle(), 10.008, 5000);  // 278 steps

    simulator.write("ctl-silence 1 on\n");
    QTRY_COMPARE_WITH_TIMEOUT(controls(), kDisabled, 5000);
    simulator.write("ctl-silence 1 off\n");
    QTRY_COMPARE_WITH_TIMEOUT(controls(), kUsable, 5000);
    QCOMPARE(angle()->value(), 10);
}

void TestMainWindowRotator::reinitShowsAngleTruncatedAndRetargets_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("46.8 degrees") << 1300 << 46 << QStringList{"83", "e0 1278"};
    QTest::newRow("-46.8 degrees") << -1300 << -46 << QStringList{"83", "e0 -1278"};
    QTest::newRow("at zero") << 0 << 0 << QStringList();
}

void TestMainWindowRotator::reinitShowsAngleTruncatedAndRetargets()
{
    QFETCH(int, position);
    QFETCH(int, shown);
    QFETCH(QStringList, commands);

    ScriptedController controller(kScriptedController);
    QVERIFY(controller.isBound());
    controller.setPosition(position);
    station->window->sm_set_device_addr(kScriptedController.toString(), 30000);
    QTRY_COMPARE(controls(), kUsable);
    QCOMPARE(angle()->value(), shown);
    const int until = controller.reads() + 3;
    QTRY_VERIFY(controller.reads() >= until);
    QCOMPARE(controller.log().filter(QRegularExpression("^(?!a1|8c)")), commands);
}

void TestMainWindowRotator::buttonsStepAndZero()
{
    ScriptedController controller(kScriptedController);
    QVERIFY(controller.isBound());
    station->window->sm_set_device_addr(kScriptedController.toString(), 30000);
    QTRY_COMPARE(controls(), kUsable);

    click("sm_incr_step_pbt");
    QCOMPARE(angle()->value(), 1);
    QTRY_VERIFY(controller.log().contains("e0 28"));
    click("sm_decr_step_pbt");
    click("sm_decr_step_pbt");
    QCOMPARE(angle()->value(), -1);
    QTRY_VERIFY(controller.log().contains("e0 -28"));

    angle()->setStyleSheet(QString());
    click("sm_zero_position_pbt");
    QCOMPARE(angle()->value(), 0);
    QCOMPARE(angle()->styleSheet(), QStringLiteral("background-color: white;"));
    QTRY_VERIFY(controller.log().contains("ec 0"));
    const int until = controller.reads() + 3;
    QTRY_VERIFY(controller.reads() >= until);
    QVERIFY(!controller.log().contains("e0 0"));
}

// A reinit signal handled after the controller fell silent again finds no angle to show.
void TestMainWindowRotator::lateReinitAfterLossKeepsAngle()
{
    ScriptedController controller(kScriptedController);
    QVERIFY(controller.isBound());
    station->window->sm_set_device_addr(kScriptedController.toString(), 30000);
    QTRY_COMPARE(controls(), kUsable);
    angle()->setValue(20);
    QTRY_VERIFY(controller.log().contains("e0 556"));

    controller.setAnswering(false);
    QTRY_COMPARE(controls(), kDisabled);
    station->window->sm_interface_reinit();
    QCOMPARE(angle()->value(), 20);
    const int until = controller.reads() + 2;
    QTRY_VERIFY(controller.reads() >= until);
    QCOMPARE(controller.log().filter(QRegularExpression("^e0")), QStringList{"e0 556"});
}

QTEST_MAIN(TestMainWindowRotator)
#include "tst_mainwindow_rotator.moc"
