// Antenna alignment against the in-process simulator: a modem whose peer lies at a known
// bearing, the rotator thread on its fixed port, and the sweep driven by their signals.
#include "alignmentsweep.h"
#include "antennaalignmentpage.h"
#include "client.h"
#include "linkhistory.h"
#include "linkhistorywindow.h"
#include "simnetwork.h"
#include "stepping_motor.h"

#include <QtTest>
#include <QtWidgets>
#include <cmath>

Q_DECLARE_METATYPE(SweepPlan)
Q_DECLARE_METATYPE(SweepPoint)

namespace {

const QHostAddress kModem(QStringLiteral("127.0.93.1"));
constexpr double kBearing = 37.0;

SweepPlan plan(double from, double to, double step, int dwellMs = 150) { return {from, to, step, dwellMs}; }
SweepPoint point(double angle, double rssi) { return {angle, rssi, 0.0, 1}; }

} // namespace

class TestAlignment : public QObject {
    Q_OBJECT

    std::unique_ptr<Client> client;
    std::unique_ptr<SimNetwork> network;
    std::unique_ptr<SteppingMotor> motor;
    std::unique_ptr<LinkHistory> history;
    std::unique_ptr<AlignmentSweep> sweep;
    const ModemKey modem = LinkHistory::keyOf(kModem, 40005);

    // Runs a sweep to its end; false when it failed.
    bool sweepOver(const SweepPlan& p)
    {
        QSignalSpy finished(sweep.get(), &AlignmentSweep::finished);
        QString error;
        return sweep->start(modem, p, error) && (finished.wait(60000) || finished.count() == 1);
    }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false")); }

    void init()
    {
        client = std::make_unique<Client>();
        QVERIFY(client->initialize(QHostAddress(QHostAddress::LocalHost), 0));
        SimConfig config;
        config.modems = 1;
        config.firstAddress = kModem.toIPv4Address();
        config.stationPort = client->getControlLocalPort();
        config.periodMs = 50;
        config.stepperSpeed = 20000;  // a whole sector in a fraction of a second
        config.bearings = {kBearing};
        config.seed = 7;
        network = std::make_unique<SimNetwork>(config);
        QString error;
        QVERIFY2(network->start(error), qPrintable(error));
        motor = std::make_unique<SteppingMotor>();
        QSignalSpy answered(motor.get(), &SteppingMotor::signal_InterfaceReinit);
        motor->set_device_addr(kModem, 30000);
        QCOMPARE(motor->start_motor(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(answered.count(), 1, 10000);
        history = std::make_unique<LinkHistory>();
        history->follow(*client);
        sweep = std::make_unique<AlignmentSweep>(*motor);
        connect(history.get(), &LinkHistory::sampleAdded, sweep.get(), &AlignmentSweep::addSample);
        connect(history.get(), &LinkHistory::modemLost, sweep.get(), &AlignmentSweep::modemLost);
        QTRY_VERIFY_WITH_TIMEOUT(history->sampleCount(modem) > 0, 10000);
    }

    void cleanup() { sweep.reset(), motor.reset(), history.reset(), network.reset(), client.reset(); }

    void sectorBecomesStepAngles_data()
    {
        QTest::addColumn<SweepPlan>("plan");
        QTest::addColumn<QVector<double>>("angles");
        QTest::newRow("ends on the last step") << plan(0, 90, 30) << QVector<double>{0, 30, 60, 90};
        QTest::newRow("stops short of a partial step") << plan(10, 30, 15) << QVector<double>{10, 25};
        QTest::newRow("downwards") << plan(5, -5, 5) << QVector<double>{5, 0, -5};
        QTest::newRow("fine steps reach the end") << plan(32, 33, 0.2) << QVector<double>{32, 32.2, 32.4, 32.6, 32.8, 33};
        QTest::newRow("beyond the rotator") << plan(0, 95, 5) << QVector<double>{};
        QTest::newRow("no step") << plan(0, 90, 0) << QVector<double>{};
        QTest::newRow("not a number") << plan(NAN, 90, 5) << QVector<double>{};
        QTest::newRow("too many steps") << plan(-90, 90, 0.1) << QVector<double>{};
    }

    void sectorBecomesStepAngles()
    {
        QFETCH(SweepPlan, plan);
        QFETCH(QVector<double>, angles);
        const QVector<double> got = AlignmentSweep::anglesOf(plan);
        QCOMPARE(got.size(), angles.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY2(std::fabs(got[i] - angles[i]) < 1e-9, qPrintable(QString::number(got[i])));
    }

    void bestAngleIsTheCentreOfTheStrongestLobe_data()
    {
        QTest::addColumn<QVector<SweepPoint>>("points");
        QTest::addColumn<double>("best");
        QTest::newRow("flat top of two steps")
            << QVector<SweepPoint>{point(0, -80), point(5, -62), point(10, -60), point(15, -60), point(20, -70)} << 10.0;
        QTest::newRow("side lobe within 3 dB but apart")
            << QVector<SweepPoint>{point(0, -61), point(5, -75), point(10, -60), point(15, -66)} << 10.0;
        QTest::newRow("measured downwards")
            << QVector<SweepPoint>{point(20, -70), point(15, -60), point(10, -60), point(5, -62), point(0, -80)} << 10.0;
        QTest::newRow("one point") << QVector<SweepPoint>{point(-12, -90)} << -12.0;
    }

    void bestAngleIsTheCentreOfTheStrongestLobe()
    {
        QFETCH(QVector<SweepPoint>, points);
        QTEST(AlignmentSweep::bestAngleOf(points), "best");
    }

    void coarseThenFineSweepFindsTheBearing()
    {
        const SweepPlan coarse = plan(0, 90, 5);
        QVERIFY(sweepOver(coarse));
        QCOMPARE(sweep->points().size(), 19);
        const double rough = sweep->bestAngle();
        QVERIFY2(std::fabs(rough - kBearing) <= 5.0, qPrintable(QString::number(rough)));
        QVERIFY(sweepOver(AlignmentSweep::refinedPlan(coarse, rough)));
        const double best = sweep->bestAngle();
        QVERIFY2(std::fabs(best - kBearing) <= 2.0, qPrintable(QString::number(best)));
        QVERIFY(sweep->goToBest());
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(motor->get_angle() - best) < 0.05, 5000);
    }

    void faultStopsTheSweepWhereItIs_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("log");
        QTest::newRow("stall") << "stall 1 on" << "Двигатель поворотного устройства застрял"
                               << "alignment stopped: rotator stalled";
        QTest::newRow("controller silence") << "ctl-silence 1 on" << "Контроллер поворотного устройства не отвечает"
                                            << "alignment stopped: rotator controller silent";
        QTest::newRow("modem lost") << "silence 1" << "Текущий модем потерян" << "alignment stopped: modem lost";
    }

    void faultStopsTheSweepWhereItIs()
    {
        QFETCH(QString, line);
        QFETCH(QString, log);
        QSignalSpy measured(sweep.get(), &AlignmentSweep::pointMeasured);
        QSignalSpy failed(sweep.get(), &AlignmentSweep::failed);
        QSignalSpy finished(sweep.get(), &AlignmentSweep::finished);
        QString error;
        QVERIFY(sweep->start(modem, plan(-60, 60, 20, 300), error));
        QTRY_VERIFY_WITH_TIMEOUT(measured.count() >= 2, 20000);
        QVERIFY(network->execute(line).startsWith("ok: "));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(log));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 20000);
        QTEST(failed.first().first().toString(), "message");
        QVERIFY(!sweep->isRunning() && finished.isEmpty());

        const double stoppedAt = motor->get_angle();
        const int points = sweep->points().size();
        QTest::qWait(600);
        QCOMPARE(sweep->points().size(), points);
        if (!std::isnan(stoppedAt))
            QCOMPARE(motor->get_angle(), stoppedAt);
        QVERIFY(!sweep->goToBest() || sweep->points().size() > 0);
    }

    void pageRunsTheSweepAndShowsFailures()
    {
        LinkHistoryWindow window(*motor);
        window.history().follow(*client);
        AntennaAlignmentPage* page = window.alignmentPage();
        auto button = [page](const char* name) { return page->findChild<QPushButton*>(name); };
        QPushButton* start = button("align_start_pb");
        page->findChild<QDoubleSpinBox*>("align_from_dsb")->setValue(30);
        page->findChild<QDoubleSpinBox*>("align_to_dsb")->setValue(40);
        page->findChild<QSpinBox*>("align_dwell_spb")->setValue(100);

        start->click();
        QVERIFY(page->statusText().contains("Не выбран модем"));
        window.setCurrentModem(kModem.toString(), 40005);
        start->click();
        QVERIFY(!start->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button("align_best_pb")->isEnabled(), 20000);
        QVERIFY(page->statusText().startsWith("Лучший угол"));

        button("align_refine_pb")->click();
        QVERIFY(window.sweep().isRunning());
        QTest::ignoreMessage(QtWarningMsg, "alignment stopped: another modem chosen");
        window.setCurrentModem("127.0.93.2", 40005);
        QVERIFY(!window.sweep().isRunning());
        QCOMPARE(page->statusText(), QString("Юстировка остановлена: Выбран другой модем"));

        window.setCurrentModem(kModem.toString(), 40005);
        start->click();
        QVERIFY(window.sweep().isRunning());
        button("align_cancel_pb")->click();
        QVERIFY(!window.sweep().isRunning());
        QCOMPARE(page->statusText(), QString("Юстировка отменена"));
    }
};


QTEST_MAIN(TestAlignment)
#include "tst_alignment.moc"
