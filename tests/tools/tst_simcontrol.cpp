#include "controlcommand.h"
#include "protocol.h"
#include "ptyattenuator.h"
#include "simconfig.h"

#include <QtTest>

Q_DECLARE_METATYPE(ControlCommand::Verb)

// The simulator's command line, its control lines and the attenuator's command check.
class TestSimControl : public QObject {
    Q_OBJECT

private slots:
    void controlLines_data();
    void controlLines();
    void refusedControlLines_data();
    void refusedControlLines();
    void commandLine();
    void refusedCommandLines_data();
    void refusedCommandLines();
    void attenuatorCommands_data();
    void attenuatorCommands();
};

void TestSimControl::controlLines_data()
{
    using V = ControlCommand::Verb;
    QTest::addColumn<QString>("line");
    QTest::addColumn<V>("verb");
    QTest::addColumn<int>("target");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("jitter");
    QTest::addColumn<unsigned>("corruptions");
    QTest::addColumn<bool>("on");
    QTest::newRow("loss for all") << "loss all 0.3" << V::Loss << 0 << 0.3 << -1 << 0 << 0u << true;
    QTest::newRow("delay with jitter") << "delay 1 200ms 50" << V::Delay << 1 << 0.0 << 200 << 50 << 0u << true;
    QTest::newRow("corrupt every way") << "corrupt 3 0.5" << V::Corrupt << 3 << 0.5 << -1 << 0 << 7u << true;
    QTest::newRow("corrupt two ways") << "corrupt 3 0.5 signature,random" << V::Corrupt << 3 << 0.5 << -1 << 0 << 5u << true;
    QTest::newRow("silence for a while") << "silence 1 1.5s" << V::Silence << 1 << 0.0 << 1500 << 0 << 0u << true;
    QTest::newRow("silence for good") << "silence 1" << V::Silence << 1 << 0.0 << -1 << 0 << 0u << true;
    QTest::newRow("stall") << "stall 2" << V::Stall << 2 << 0.0 << -1 << 0 << 0u << true;
    QTest::newRow("stall off") << "stall 2 off" << V::Stall << 2 << 0.0 << -1 << 0 << 0u << false;
    QTest::newRow("controller silent") << "ctl-silence all on" << V::ControllerSilence << 0 << 0.0 << -1 << 0 << 0u << true;
    QTest::newRow("attenuation") << "att 12.5" << V::Attenuation << 0 << 12.5 << -1 << 0 << 0u << true;
}

void TestSimControl::controlLines()
{
    QFETCH(QString, line);
    QFETCH(ControlCommand::Verb, verb);
    QFETCH(int, target);
    QFETCH(double, value);
    QFETCH(int, duration);
    QFETCH(int, jitter);
    QFETCH(unsigned, corruptions);
    QFETCH(bool, on);
    QString error;
    const std::optional<ControlCommand> c = controlcommand::parse(line, error);
    QVERIFY2(c, qPrintable(error));
    QCOMPARE(c->verb, verb);
    QCOMPARE(c->target, target);
    QCOMPARE(c->value, value);
    QCOMPARE(c->durationMs, duration);
    QCOMPARE(c->jitterMs, jitter);
    QCOMPARE(c->corruptions, corruptions);
    QCOMPARE(c->on, on);
}

void TestSimControl::refusedControlLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("empty") << "";
    QTest::newRow("unknown verb") << "explode 1";
    QTest::newRow("modem zero") << "loss 0 0.5";
    QTest::newRow("no probability") << "loss 1";
    QTest::newRow("probability above one") << "duplicate 1 1.5";
    QTest::newRow("not a number") << "loss 1 nan";
    QTest::newRow("unknown corruption") << "corrupt 1 0.5 bits";
    QTest::newRow("bad duration") << "silence 1 soon";
    QTest::newRow("stall maybe") << "stall 1 maybe";
    QTest::newRow("attenuation of 100 dB") << "att 100";
}

void TestSimControl::refusedControlLines()
{
    QFETCH(QString, line);
    QString error;
    QVERIFY(!controlcommand::parse(line, error));
    QVERIFY(!error.isEmpty());
}

void TestSimControl::commandLine()
{
    SimConfig config;
    const QStringList args{"zarnik-sim", "-n", "1000", "--first-address", "127.1.0.1", "--station", "127.0.0.5:40100",
        "--period", "200ms", "--band", "1400-1430/7", "--unsupported", "REP_PARAMETERS,0x810b",
        "--att50", "12.5", "--doppler50", "20000", "--loss", "0.25", "--delay", "50", "--corrupt", "0.1",
        "--extended", "--attenuator", "--verbose"};
    const simconfig::ParseResult result = simconfig::parse(args, config);
    QCOMPARE(result.status, simconfig::ParseResult::Run);
    QCOMPARE(config.modems, 1000);
    QCOMPARE(config.firstAddress, 0x7F010001u);
    QCOMPARE(config.stationAddress, QHostAddress(QStringLiteral("127.0.0.5")));
    QCOMPARE(config.stationPort, quint16(40100));
    QCOMPARE(config.periodMs, 200);
    QCOMPARE(config.profile.band.lowest, quint64(1400000000));
    QCOMPARE(config.profile.band.highest, quint64(1430000000));
    QCOMPARE(config.profile.band.step, 7000000u);
    QCOMPARE(config.profile.unsupported, (QSet<quint16>{REP_PARAMETERS, REP_UART_CONV_CONFIG}));
    QCOMPARE(config.curves.att50Db, 12.5);
    QCOMPARE(config.curves.offset50Hz, 20000.0);
    QCOMPARE(config.curves.offsetWidthHz, 2000.0);
    QCOMPARE(config.faults.loss, 0.25);
    QCOMPARE(config.faults.delayMs, 50);
    QCOMPARE(config.faults.corrupt, 0.1);
    QVERIFY(config.extendedStatus && config.attenuator && config.verbose && !config.idStatistic);
}

void TestSimControl::refusedCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--colour"};
    QTest::newRow("no modems") << QStringList{"-n", "0"};
    QTest::newRow("station off loopback") << QStringList{"--station", "192.168.11.12:40005"};
    QTest::newRow("station on a modem") << QStringList{"--station", "127.0.0.12:40005"};
    QTest::newRow("modems off loopback") << QStringList{"--first-address", "10.0.0.1"};
    QTest::newRow("modems running past loopback") << QStringList{"--first-address", "127.255.255.250", "-n", "10"};
    QTest::newRow("band without step") << QStringList{"--band", "1400-1450"};
    QTest::newRow("unknown report") << QStringList{"--unsupported", "REP_WEATHER"};
}

void TestSimControl::refusedCommandLines()
{
    QFETCH(QStringList, args);
    SimConfig config;
    const simconfig::ParseResult result = simconfig::parse(QStringList{"zarnik-sim"} + args, config);
    QCOMPARE(result.status, simconfig::ParseResult::Error);
    QVERIFY(!result.text.isEmpty());
}

void TestSimControl::attenuatorCommands_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("db");
    QTest::newRow("12.75") << QByteArray("att-12.75\r") << 12.75;
    QTest::newRow("the device's top") << QByteArray("att-31.75\r") << 31.75;
    QTest::newRow("beyond the device") << QByteArray("att-47.62\r") << -1.0;
    QTest::newRow("without CR") << QByteArray("att-12.75") << -1.0;
    QTest::newRow("negative") << QByteArray("att--1.00\r") << -1.0;
    QTest::newRow("three digits") << QByteArray("att-100.00\r") << -1.0;
    QTest::newRow("noise before") << QByteArray("xatt-12.75\r") << -1.0;
}

void TestSimControl::attenuatorCommands()
{
    QFETCH(QByteArray, line);
    QFETCH(double, db);
    const std::optional<double> value = PtyAttenuator::parseCommand(line);
    QCOMPARE(value.has_value(), db >= 0.0);
    if (value)
        QCOMPARE(*value, db);
}

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_simcontrol.moc"
