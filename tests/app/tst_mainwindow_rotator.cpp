// The antenna box's rotator controls against a stepper controller: the simulator's, reached
// through the modem the operator picks, and a scripted one that holds exact positions.
#include "scripted_controller.h"
#include "stationtest.h"

using namespace stationtest;

const QString kUsable = QStringLiteral("background-color: white; enabled 4");
const QString kDisabled = QStringLiteral("background-color: red; enabled 0");

class TestMainWindowRotator : public QObject {
    Q_OBJECT

    std::unique_ptr<Station> station;

    QSpinBox* angle() const { return station->spin("sm_angle_spb"); }

    // The angle box's style sheet and how many of the four controls are enabled.
    QString controls() const
    {
        int enabled = 0;
        for (const char* name : {"sm_angle_spb", "sm_decr_step_pbt", "sm_incr_step_pbt", "sm_zero_position_pbt"})
            enabled += station->widget(name)->isEnabled();
        return QStringLiteral("%1 enabled %2").arg(angle()->styleSheet()).arg(enabled);
    }

private slots:
    void init() { station = std::make_unique<Station>(); }

    void controlsFollowSimulatedController()
    {
        QProcess simulator;  // killed when it goes out of scope
        simulator.start(ZARNIK_SIM, {"--modems", "1", "--first-address", "127.0.91.1", "--period", "200ms",
                                     "--station", QStringLiteral("127.0.0.1:%1").arg(station->port)});
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

    // The angle found at a reinit is shown cut to whole degrees; a reinit handled after the
    // controller fell silent again finds no angle and never moves the antenna.
    void reinitShowsAngleTruncatedUnlessLostAgain()
    {
        ScriptedController controller(QHostAddress("127.0.0.233"));
        controller.setPosition(1300);
        station->window->sm_set_device_addr("127.0.0.233", 30000);
        QTRY_COMPARE(controls(), kUsable);
        QCOMPARE(angle()->value(), 46);
        controller.waitReads(3);
        QCOMPARE(controller.commands(), QString("83 e0 01 7e 04 00 00"));  // 1278 steps

        controller.setAnswer({});
        QTRY_COMPARE(controls(), kDisabled);
        station->window->sm_interface_reinit();
        QCOMPARE(angle()->value(), 46);
        controller.waitReads(2);
        QCOMPARE(controller.commands(), QString("83 e0 01 7e 04 00 00"));
    }
};

QTEST_MAIN(TestMainWindowRotator)
#include "tst_mainwindow_rotator.moc"
