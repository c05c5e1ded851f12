#include "bytes.h"
#include "client.h"
#include "opcodenames.h"
#include "simnetwork.h"
#include "status_records.h"
#include "tic_udp_socket.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>
#include <memory>
#include <optional>

namespace {

constexpr quint32 kFirstModem = 0x7F003F01;    // 127.0.63.1, apart from other tests' modems
constexpr quint32 kThousandFirst = 0x7F400001; // 127.64.0.1

QHostAddress modemAddress(int number) { return QHostAddress(kFirstModem + quint32(number - 1)); }

QByteArray word(quint16 value) { return QByteArray(1, char(value & 0xFF)) + char(value >> 8); }

// The next line zarnik-sim prints; empty when none comes in time.
QString nextLine(QProcess& sim)
{
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(sim.readLine()).trimmed();
}

// Sends a control line and returns its answer.
QString command(QProcess& sim, const QString& line)
{
    sim.write(line.toUtf8() + '\n');
    return nextLine(sim);
}

} // namespace

// The station's Client against simulated modems, the peer it is written for: a network run
// in-process, and the zarnik-sim program with its control lines, attenuator and controllers.
class TestSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<Client> m_client;
    std::unique_ptr<SimNetwork> m_network;
    std::unique_ptr<QProcess> m_sim;

    void startNetwork(int modems, const QSet<quint16>& unsupported = {})
    {
        SimConfig config;
        config.modems = modems;
        config.firstAddress = kFirstModem;
        config.stationPort = m_client->getControlLocalPort();
        config.periodMs = 150;
        config.rebootMs = 1500;
        config.disconnectMs = 1500;
        config.idStatistic = true;
        config.profile.unsupported = unsupported;
        m_network = std::make_unique<SimNetwork>(config);
        QString error;
        QVERIFY2(m_network->start(error), qPrintable(error));
    }

    // zarnik-sim run as its own process, as beside a running station.
    void startProcess(int modems, const QStringList& options, quint32 first = kFirstModem, const char* period = "100ms")
    {
        m_sim = std::make_unique<QProcess>();
        m_sim->start(QStringLiteral(ZARNIK_SIM), QStringList{"--modems", QString::number(modems), "--first-address",
            QHostAddress(first).toString(), "--station", QStringLiteral("127.0.0.1:%1").arg(m_client->getControlLocalPort()),
            "--period", period} + options);
    }

    void send(quint16 opcode, const QByteArray& record, int modem = 1)
    {
        QVERIFY(m_client->send(OPCODE(opcode), protocol::payloadFrom(record), modemAddress(modem), 40005));
    }

    std::unique_ptr<QSignalSpy> spyOn(quint16 report)
    {
        const QByteArray signal = QMetaObject::normalizedSignature(
            qPrintable(QStringLiteral("signal_%1(quint16,QByteArray)").arg(opcodenames::name(report))));
        const int index = m_client->metaObject()->indexOfSignal(signal);
        return index < 0 ? nullptr : std::make_unique<QSignalSpy>(m_client.get(), m_client->metaObject()->method(index));
    }

private slots:
    void initTestCase()
    {
        // A line per datagram from a thousand modems would drown the test output.
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }

    void init()
    {
        m_client = std::make_unique<Client>();
        QVERIFY(m_client->initialize(QHostAddress(QHostAddress::LocalHost), 0));
        m_client->filter(modemAddress(1).toString(), 40005);
    }

    void cleanup()
    {
        if (m_sim) {
            m_sim->kill();
            m_sim->waitForFinished(5000);
        }
        m_sim.reset();
        m_network.reset();
        m_client.reset();
    }

    void everyModemBecomesAnAbonent()
    {
        QSignalSpy updated(m_client.get(), &Client::signal_UpdatedAbonents);
        startNetwork(3);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
        const QList<OpAbonent> list = updated.last().at(0).value<QList<OpAbonent>>();
        QStringList addresses;
        for (const OpAbonent& a : list) {
            addresses << a.address.toString();
            QCOMPARE(a.port, quint16(40005));
            QVERIFY(records::decodeContStatus(a.status).sync);
        }
        addresses.sort();
        QCOMPARE(addresses, (QStringList{"127.0.63.1", "127.0.63.2", "127.0.63.3"}));
    }

    void everyReportAskedForIsAnswered_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<bool>("markedUnsupported");
        QTest::addColumn<int>("answer");
        for (quint16 op : {REP_TX_FREQUENCY, REP_RX_FREQUENCY, REP_ANTENNA_SEL, REP_DEFAULTS_SET, REP_REBOOT_DEVICE,
                 REP_SET_TX_MODE, REP_VERSION, REP_CONT_STATUS, REP_PARAMETERS, REP_EXTENDED_STATUS,
                 REP_UART_CONV_CONFIG, REP_ID_STATISTIC, REP_SESSION_SECRET, REP_TX_POWER_MODE, REP_SET_HS_CHANNEL_MOD})
            QTest::newRow(qPrintable(opcodenames::name(op))) << int(op) << false << int(op);
        QTest::newRow("marked unsupported") << int(REP_PARAMETERS) << true << int(REP_UNSUPPORTED);
        QTest::newRow("no modem has it") << 0x8000 << false << int(REP_UNSUPPORTED);
        QTest::newRow("a request, not a report") << int(CMD_DEFAULTS_SET) << false << int(REP_UNSUPPORTED);
    }

    void everyReportAskedForIsAnswered()
    {
        QFETCH(int, wanted);
        QFETCH(bool, markedUnsupported);
        QFETCH(int, answer);
        startNetwork(1, markedUnsupported ? QSet<quint16>{quint16(wanted)} : QSet<quint16>{});
        const auto spy = spyOn(quint16(answer));
        QVERIFY(spy);

        send(CMD_GET_REPORT, word(quint16(wanted)));
        QTRY_VERIFY_WITH_TIMEOUT(!spy->isEmpty(), 5000);
        const QByteArray rep = spy->first().at(1).toByteArray();
        const uint8_t head[2] = {bytes::u8(rep, 0), bytes::u8(rep, 1)};
        if (answer == REP_UNSUPPORTED)
            QCOMPARE(rep.left(2), word(quint16(wanted)));
        else if (answer == REP_ID_STATISTIC)
            QCOMPARE(rep.size(), records::kIdStatisticHeadSize + records::kIdStatisticEntrySize * int(head[0]));
        else if (const int length = protocol::payloadLength(quint16(answer), head); length >= 0)
            QCOMPARE(rep.size(), length);
    }

    void settingWrittenIsReadBack_data()
    {
        QTest::addColumn<int>("request");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("report");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray freq = records::encodeFrequency(1410012345);
        QTest::newRow("tx frequency") << int(CMD_TX_FREQUENCY) << freq << int(REP_TX_FREQUENCY) << freq;
        QTest::newRow("rx frequency") << int(CMD_RX_FREQUENCY) << freq << int(REP_RX_FREQUENCY) << freq;
        QTest::newRow("omni antenna") << int(CMD_ANTENNA_SEL) << QByteArray("\x01", 1) << int(REP_ANTENNA_SEL) << QByteArray("\x01", 1);
        QTest::newRow("transmitter off") << int(CMD_SET_TX_MODE) << QByteArray("\x01", 1) << int(REP_SET_TX_MODE) << QByteArray("\x01", 1);
        QTest::newRow("power above 100 is capped")
            << int(CMD_TX_POWER_MODE) << QByteArray("\xc8", 1) << int(REP_TX_POWER_MODE) << QByteArray("\x64", 1);
        QTest::newRow("FM4 by high byte") << int(CMD_SET_HS_CHANNEL_MOD) << word(0x0100) << int(REP_SET_HS_CHANNEL_MOD) << word(1);

        const QByteArray secretImage = records::encodeSessionSecret({true, QByteArray("Ab3dEf7hIj1lMn9p", 17)});
        QTest::newRow("saved secret") << int(CMD_SESSION_SECRET) << secretImage << int(REP_SESSION_SECRET) << secretImage;

        ModemDefaults defaults = ModemModel::factoryDefaults(0, kFirstModem, BandPlan());
        defaults.opmode = 149;
        const QByteArray defaultsImage = records::encodeDefaults(defaults);
        QTest::newRow("defaults") << int(CMD_DEFAULTS_SET) << defaultsImage << int(REP_DEFAULTS_SET) << defaultsImage;
    }

    void settingWrittenIsReadBack()
    {
        QFETCH(int, request);
        QFETCH(QByteArray, record);
        QFETCH(int, report);
        QFETCH(QByteArray, expected);
        startNetwork(1);
        const auto spy = spyOn(quint16(report));
        QVERIFY(spy);

        send(quint16(request), record);
        QTRY_COMPARE_WITH_TIMEOUT(spy->count(), 1, 5000);
        send(CMD_GET_REPORT, word(quint16(report)));
        QTRY_COMPARE_WITH_TIMEOUT(spy->count(), 2, 5000);
        QCOMPARE(spy->at(0).at(1).toByteArray(), expected);
        QCOMPARE(spy->at(1).at(1).toByteArray(), expected);
    }

    void serviceCodeDropsAbonentUntilItReturns_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("reboot") << QByteArray::fromHex("dddddddd");
        QTest::newRow("disconnect") << QByteArray::fromHex("cccccccc");
        QTest::newRow("hard reset by its own address") << QByteArray::fromHex("7f003f02");
    }

    void serviceCodeDropsAbonentUntilItReturns()
    {
        QFETCH(QByteArray, code);
        startNetwork(3);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
        QSignalSpy deleted(m_client.get(), &Client::signal_DeletedAbonents);

        // As the station forgets or reboots an abonent: five requests, then the mark.
        for (int i = 0; i < 5; ++i)
            send(CMD_REBOOT_DEVICE, code, 2);
        QTest::qWait(100);
        m_client->abonentMarkDelete(modemAddress(2), 40005);

        QTRY_VERIFY_WITH_TIMEOUT(!deleted.isEmpty(), 5000);
        const QList<OpAbonent> gone = deleted.first().at(0).value<QList<OpAbonent>>();
        QCOMPARE(gone.size(), 1);
        QCOMPARE(gone.first().address, modemAddress(2));
        QCOMPARE(m_client->abonentsCount(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
    }

    void lossAndCorruptionNeverStopTheLink()
    {
        startNetwork(3);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 3, 10000);
        QString events;
        const QObject listener; // goes before `events` does
        connect(m_network.get(), &SimNetwork::event, &listener, [&events](const QString& line) { events += line + '\n'; });
        for (const char* line : {"loss all 0.3", "corrupt all 0.3", "duplicate all 0.2", "reorder all 0.2", "delay all 30 20"})
            QVERIFY(m_network->execute(QLatin1String(line)).startsWith(QLatin1String("ok: ")));
        QSignalSpy deleted(m_client.get(), &Client::signal_DeletedAbonents);
        QSignalSpy version(m_client.get(), &Client::signal_REP_VERSION);

        // The station's stage machine: ask every 100 ms until the answer comes.
        for (int round = 0; round < 30; ++round) {
            send(CMD_GET_REPORT, word(REP_VERSION));
            QTest::qWait(100);
        }
        QCOMPARE(deleted.count(), 0);
        QCOMPARE(m_client->abonentsCount(), 3);
        QVERIFY(version.count() > 0);
        // Every fault really reached the wire.
        for (const char* fault : {"lost ", "bad signature on ", "truncated ", "random bytes in ", "duplicated ", "held back "})
            QVERIFY2(events.contains(QLatin1String(fault)), fault);
    }

    void thousandModemsAreThousandAbonents()
    {
        startProcess(1000, {}, kThousandFirst, "1s");
        QTRY_COMPARE_WITH_TIMEOUT(m_client->abonentsCount(), 1000, 90000);
    }

    void addressBeyondLoopbackIsRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("station") << QStringList{"--station", "192.168.11.12:40005"};
        QTest::newRow("modems") << QStringList{"--first-address", "10.0.0.1"};
        QTest::newRow("modems running past the end") << QStringList{"--first-address", "127.255.255.250", "-n", "10"};
    }

    void addressBeyondLoopbackIsRefused()
    {
        QFETCH(QStringList, args);
        QProcess sim;
        sim.start(QStringLiteral(ZARNIK_SIM), args);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(QString::fromUtf8(sim.readAllStandardError()).contains(QLatin1String("--help")));
    }

    void refusedControlLineNeverRunsItsTail_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("answer");
        const QString tooLong = QStringLiteral("error: control line too long");
        const QString nul = QStringLiteral("error: control line holds a NUL byte");
        QTest::newRow("junk then a command on the same line") << QByteArray(8192, 'x') + "silence all\n" << tooLong;
        QTest::newRow("junk just past the limit") << QByteArray(4097, 'x') + "\n" << tooLong;
        QTest::newRow("NUL inside a command") << QByteArray("loss all 1\0 rest\n", 17) << nul;
        QTest::newRow("a line of NULs") << QByteArray(3, '\0') + '\n' << nul;
    }

    void refusedControlLineNeverRunsItsTail()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, answer);
        startProcess(1, {});
        QVERIFY(nextLine(*m_sim).startsWith(QLatin1String("ready:")));
        // Written in small pieces, so the limit cannot depend on how the reads split the line.
        for (int at = 0; at < input.size(); at += 1000) {
            m_sim->write(input.mid(at, 1000));
            QVERIFY(m_sim->waitForBytesWritten(5000));
        }
        QCOMPARE(nextLine(*m_sim), answer);
        // The next answer is the next command's: nothing of the refused line ran.
        QCOMPARE(command(*m_sim, QStringLiteral("clear all")), QStringLiteral("ok: clear all"));
    }

    void attenuatorOnPseudoTerminalAnswersAndDrivesLoss()
    {
        startProcess(1, {"--attenuator", "--extended"});
        const QString announced = nextLine(*m_sim);
        QVERIFY2(announced.startsWith(QLatin1String("attenuator: ")), qPrintable(announced));
        // Started with no control channel, as beside a station: the network runs on.
        m_sim->closeWriteChannel();
        QSerialPort port(announced.mid(int(qstrlen("attenuator: "))));
        port.setBaudRate(115200);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));

        const auto set = [&port](const QByteArray& command) {
            port.write(command);
            return port.waitForBytesWritten(1000) && port.waitForReadyRead(5000) ? port.readAll() : QByteArray();
        };
        QCOMPARE(set("att-12.75\r\n"), QByteArray("attOK"));
        QCOMPARE(set("att-47.62\r\n"), QByteArray("attERR"));
        QCOMPARE(set("att-12.75\n"), QByteArray("attERR"));
        // An overlong line is refused once, and its tail is not taken for a command.
        QCOMPARE(set(QByteArray(1024, 'x') + "att-12.75\r\n"), QByteArray("attERR"));
        QCOMPARE(set(QByteArray("att-12.75\r\0x\n", 13)), QByteArray("attERR"));

        QSignalSpy extended(m_client.get(), &Client::signal_REP_EXTENDED_STATUS);
        const auto last = [&extended] { return records::decodeExtendedStatus(extended.last().at(1).toByteArray()); };
        QCOMPARE(set("att-26.00\r\n"), QByteArray("attOK"));
        QTRY_VERIFY_WITH_TIMEOUT(!extended.isEmpty() && !(last().flags & ExtendedStatus::Synchronised), 5000);
        QCOMPARE(set("att-00.00\r\n"), QByteArray("attOK"));
        QTRY_VERIFY_WITH_TIMEOUT(last().flags & ExtendedStatus::Synchronised, 5000);
        QVERIFY(last().received > 0);
    }

    void controllerFollowsTargetStallsAndFallsSilent()
    {
        startProcess(1, {"--stepper-speed", "2000"});
        QVERIFY(nextLine(*m_sim).startsWith(QLatin1String("ready:")));
        // The rotator's own controller link; its reads fail on silence.
        TicUdpSocket controller;
        controller.connectToHost(modemAddress(1), 30000, QIODevice::ReadWrite);
        const auto position = [&controller]() -> std::optional<qint32> {
            uint8_t answer[4];
            controller.get_segment(0xA1, 0x22, 4, answer);
            return controller.last_error ? std::nullopt : std::optional<qint32>(qFromLittleEndian<qint32>(answer));
        };
        QCOMPARE(position(), std::optional<qint32>(0));

        // Polled as the rotator polls, with 0x8C so that the controller's command time-out does not stop it.
        const auto poll = [&] {
            controller.command_quick(0x8C);
            return position();
        };
        controller.command_quick(0x83);
        controller.command_32(0xE0, -600);
        QTRY_COMPARE_WITH_TIMEOUT(poll(), std::optional<qint32>(-600), 10000);

        QCOMPARE(command(*m_sim, QStringLiteral("stall 1")), QStringLiteral("ok: stall 1"));
        controller.command_quick(0x83);
        controller.command_32(0xE0, 600);
        for (int i = 0; i < 4; ++i) {
            QTest::qWait(100);
            QCOMPARE(poll(), std::optional<qint32>(-600));
        }

        QCOMPARE(command(*m_sim, QStringLiteral("ctl-silence 1")), QStringLiteral("ok: ctl-silence 1"));
        QCOMPARE(position(), std::nullopt);
        QCOMPARE(command(*m_sim, QStringLiteral("ctl-silence 1 off")), QStringLiteral("ok: ctl-silence 1 off"));
        QVERIFY(position());

        QCOMPARE(command(*m_sim, QStringLiteral("quit")), QStringLiteral("ok: quit"));
        QVERIFY(m_sim->waitForFinished(10000));
        QCOMPARE(m_sim->exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
