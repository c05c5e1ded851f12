#include "scripted_controller.h"
#include "stepping_motor.h"
#include "tic_udp_socket.h"

#include <memory>

// The rotator tests' controller; nothing else in the suite uses this address.
const QHostAddress kController("127.0.0.231");

// The controller link and the rotator thread against a controller scripted on loopback.
class TestRotator : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedController> controller;
    std::unique_ptr<SteppingMotor> motor;
    QStringList events;  // the motor's signals, queued to the test's thread
    std::mutex stallMutex;  // guards stallLogs, written in the motor's thread
    QStringList stallLogs;

    void startAt(qint32 position)
    {
        controller->setPosition(position);
        QCOMPARE(motor->start_motor(), 0);
        QTRY_COMPARE(events, QStringList{"reinit"});
    }

private slots:
    void init()
    {
        motor.reset();  // before its controller
        controller = std::make_unique<ScriptedController>(kController);
        motor = std::make_unique<SteppingMotor>();
        motor->set_device_addr(kController, 30000);
        events.clear();
        stallLogs.clear();
        // In the motor's own context: what is still queued goes with it.
        SteppingMotor* m = motor.get();
        connect(m, &SteppingMotor::signal_InterfaceReinit, m, [this] { events << "reinit"; });
        connect(m, &SteppingMotor::signal_InterfaceError, m, [this] { events << "error"; });
        connect(m, &SteppingMotor::signal_PositionErrorState, m, [this](bool e) { events << (e ? "stall" : "stall cleared"); });
        connect(m, &SteppingMotor::signal_TargetReached, m, [this](double a) { events << QString("reached %1").arg(a); });
    }

    void segmentAnswerIsCutOrRefused_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("taken");  // none: refused with error 50 and a zeroed buffer
        QTest::newRow("longer is cut") << QByteArray::fromHex("0102030405") << QByteArray::fromHex("01020304");
        QTest::newRow("shorter is refused") << QByteArray::fromHex("010203") << QByteArray();
        QTest::newRow("silence") << QByteArray() << QByteArray();
    }

    void segmentAnswerIsCutOrRefused()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, taken);
        controller->setAnswer(answer);
        TicUdpSocket tic;
        tic.connectToHost(kController, 30000, QIODevice::ReadWrite);
        uint8_t buffer[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
        QElapsedTimer clock;
        clock.start();
        tic.get_segment(0xA1, 0x22, 4, buffer);
        QVERIFY(!answer.isEmpty() || clock.elapsed() >= 250);  // silence is waited out, about 300 ms
        QCOMPARE(int(tic.last_error), taken.isEmpty() ? 50 : 0);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 5), (taken.isEmpty() ? QByteArray(4, '\0') : taken) + '\xAA');
        QTRY_COMPARE(controller->log(), QString(ScriptedController::kRead));
    }

    void setAngleSendsSteps_data()
    {
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QString>("sent");
        QTest::newRow("45 degrees, 1250 steps") << 45.0 << "83 e0 01 62 04 00 00";
        QTest::newRow("200 steps") << 7.2 << "83 e0 01 48 00 00 00";
        QTest::newRow("-2500 steps") << -90.0 << "83 e0 0e 3c 76 7f 7f";
        QTest::newRow("half step away from zero") << -0.018 << "83 e0 0f 7f 7f 7f 7f";
        QTest::newRow("past the limit") << 90.5 << "";
        QTest::newRow("not a number") << qQNaN() << "";
    }

    void setAngleSendsSteps()
    {
        QFETCH(double, degrees);
        startAt(0);
        motor->set_angle(degrees);
        controller->waitReads(3);
        QTEST(controller->commands(), "sent");
    }

    void moveKeptAliveUntilArrivalWithStallReportedThenZeroed_data()
    {
        QTest::addColumn<int>("stalls");
        QTest::newRow("one stall") << 1;
        QTest::newRow("a second stall after a move") << 2;
    }

    void moveKeptAliveUntilArrivalWithStallReportedThenZeroed()
    {
        QFETCH(int, stalls);
        // The controller's log at each stall report and its end, taken before the motor's next poll.
        connect(motor.get(), &SteppingMotor::signal_PositionErrorState, motor.get(), [this] {
            std::lock_guard<std::mutex> guard(stallMutex);
            stallLogs << controller->log();
        }, Qt::DirectConnection);
        const auto readsAt = [this](int report) {
            std::lock_guard<std::mutex> guard(stallMutex);
            return stallLogs.value(report).count(ScriptedController::kRead);
        };
        startAt(0);
        for (int i = 0; i < stalls; ++i)
            QTest::ignoreMessage(QtDebugMsg, "position_error");
        motor->set_angle(45);
        QStringList expected{"reinit", "stall"};
        QTRY_COMPARE_WITH_TIMEOUT(events, expected, 10000);
        // Reported on the 21st unchanged poll; every poll kept the move alive with 0x8C.
        QVERIFY(controller->log().contains("00 " + QString("a12204 8c ").repeated(20) + "a12204"));
        {
            std::lock_guard<std::mutex> guard(stallMutex);
            QVERIFY(stallLogs.value(0).remove(QRegularExpression(" 8c$")).endsWith(
                "00 " + QString("a12204 8c ").repeated(20) + "a12204"));
        }
        controller->waitReads(5);
        controller->setPosition(600);
        expected << "stall cleared";
        QTRY_COMPARE(events, expected);
        QCOMPARE(motor->get_angle(), 21.6);
        if (stalls == 2) {
            // Having moved, the motor again gets 21 unchanged polls before a stall is reported.
            expected << "stall";
            QTRY_COMPARE_WITH_TIMEOUT(events, expected, 10000);
            QCOMPARE(readsAt(2) - readsAt(1), 21);
            controller->setPosition(700);
            expected << "stall cleared";
            QTRY_COMPARE(events, expected);
        }
        controller->setPosition(1250);
        QTRY_COMPARE(events.size(), expected.size() + 1);
        const QString arrived = controller->commands(true);
        controller->waitReads(3);
        motor->request_zero();
        QTRY_COMPARE(events, expected + QStringList({"reached 45", "reached 0"}));
        controller->waitReads(3);
        // Nothing goes out at the target; zeroing halts at position 0 and sends no target.
        QCOMPARE(controller->commands(true), arrived + " ec 00 00 00 00 00");
    }

    void lostAndReturningAnswersSignalledOnceAndPositionAdopted()
    {
        startAt(300);
        controller->setAnswer({});
        QTRY_COMPARE(events, (QStringList{"reinit", "error"}));
        QVERIFY(qIsNaN(motor->get_angle()));
        controller->waitReads(3);
        controller->setPosition(-1250);
        QTRY_COMPARE(events.size(), 3);
        controller->waitReads(3);
        QCOMPARE(events, (QStringList{"reinit", "error", "reinit"}));
        QCOMPARE(motor->get_angle(), -45.0);
        // The controller's position became the target: not even a keep-alive goes out.
        QCOMPARE(controller->commands(true), QString());
    }

    void destructorEndsThreadBlockedInRead()
    {
        controller->setAnswer({});
        QCOMPARE(motor->start_motor(), 0);
        QCOMPARE(motor->start_motor(), -1);
        controller->waitReads(1);
        motor.reset();  // a thread left running aborts the test here
    }
};

QTEST_GUILESS_MAIN(TestRotator)
#include "tst_rotator.moc"
