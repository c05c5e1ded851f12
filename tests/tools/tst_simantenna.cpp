// The simulated antenna: its pattern, the bearing given on the command line and by a control
// line, and a modem's RSSI following the rotator's angle.
#include "controlcommand.h"
#include "linkquality.h"
#include "simconfig.h"

#include <QtTest>
#include <cmath>

class TestSimAntenna : public QObject {
    Q_OBJECT

private slots:
    void patternHasMainLobeSideLobesAndFloor_data()
    {
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("on the bearing") << 0.0 << 0.0 << 0.0;
        QTest::newRow("half the beam width either side: half power") << -10.0 << 2.9 << 3.1;
        QTest::newRow("the other side alike") << 10.0 << 2.9 << 3.1;
        QTest::newRow("first side lobe") << 34.0 << 13.0 << 14.5;
        QTest::newRow("null filled to the floor") << 22.575 << 39.0 << 40.0;
        QTest::newRow("a whole turn away is on the bearing") << 360.0 << 0.0 << 0.0;
    }

    void patternHasMainLobeSideLobesAndFloor()
    {
        QFETCH(double, offset);
        QFETCH(double, low);
        QFETCH(double, high);
        const double loss = linkquality::antennaLossDb(offset, 20.0);
        QVERIFY2(loss >= low && loss <= high, qPrintable(QString::number(loss)));
    }

    void bearingControlLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("on");
        QTest::addColumn<double>("degrees");
        QTest::newRow("set") << "bearing 2 37.5" << true << true << 37.5;
        QTest::newRow("negative") << "bearing all -120" << true << true << -120.0;
        QTest::newRow("off") << "bearing 1 off" << true << false << 0.0;
        QTest::newRow("beyond a half turn") << "bearing 1 181" << false << false << 0.0;
        QTest::newRow("missing") << "bearing 1" << false << false << 0.0;
        QTest::newRow("not a number") << "bearing 1 north" << false << false << 0.0;
    }

    void bearingControlLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, accepted);
        QString error;
        const std::optional<ControlCommand> command = controlcommand::parse(line, error);
        QCOMPARE(bool(command), accepted);
        if (!accepted) {
            QVERIFY(error.startsWith("bearing"));
            return;
        }
        QFETCH(bool, on);
        QFETCH(double, degrees);
        QCOMPARE(command->verb, ControlCommand::Verb::Bearing);
        QCOMPARE(command->on, on);
        if (on)
            QCOMPARE(command->value, degrees);
    }

    void bearingOption_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QList<double>>("bearings");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("one for all") << "37" << QList<double>{37} << true;
        QTest::newRow("one per modem") << "37,-20.5,90" << QList<double>{37, -20.5, 90} << true;
        QTest::newRow("out of range") << "37,200" << QList<double>{} << false;
        QTest::newRow("empty item") << "37,,5" << QList<double>{} << false;
    }

    void bearingOption()
    {
        QFETCH(QString, value);
        QFETCH(QList<double>, bearings);
        QFETCH(bool, accepted);
        SimConfig config;
        const simconfig::ParseResult result = simconfig::parse({"zarnik-sim", "--bearing", value}, config);
        QCOMPARE(result.status == simconfig::ParseResult::Run, accepted);
        if (accepted)
            QCOMPARE(config.bearings, bearings);
        else
            QVERIFY(result.text.contains("--bearing"));
    }
};

QTEST_MAIN(TestSimAntenna)
#include "tst_simantenna.moc"
