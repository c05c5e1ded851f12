#include "bytes.h"
#include "stationsocket.h"
#include "status_records.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>
#include <memory>
#include <optional>

namespace {

constexpr quint32 kFirstModem = 0x7F003E01; // 127.0.62.1, apart from other tests' modems

QHostAddress modemAddress(int number)
{
    return QHostAddress(kFirstModem + quint32(number - 1));
}

// zarnik-sim run as its own process, with its standard output read line by line.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args)
    {
        m_process.start(QStringLiteral(ZARNIK_SIM), args);
    }

    ~SimProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QProcess& process() { return m_process; }

    // The first output line starting with one of `prefixes`; empty when none came in time.
    QString waitForLine(const QStringList& prefixes, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                for (const QString& prefix : prefixes) {
                    if (line.startsWith(prefix))
                        return line;
                }
            }
            if (m_process.state() == QProcess::NotRunning)
                break;
            m_process.waitForReadyRead(20);
        }
        return QString();
    }

    QString waitForLine(const QString& prefix) { return waitForLine(QStringList{prefix}); }

    // Sends a control line and returns its answer.
    QString command(const QString& line)
    {
        m_process.write(line.toUtf8() + '\n');
        return waitForLine({QStringLiteral("ok: "), QStringLiteral("error: ")});
    }

private:
    QProcess m_process;
};

QByteArray getSegment(int offset, int length)
{
    const char request[] = {char(0xA1), char(offset & 0x7F), char(((offset >> 1) & 0x40) | (length & 0x3F))};
    return QByteArray(request, 3);
}

// The six one-byte datagrams of a 32-bit controller command.
void sendCommand32(QUdpSocket& socket, quint8 command, qint32 data)
{
    const quint32 v = quint32(data);
    const quint8 msbs = quint8(((v >> 7) & 1) | ((v >> 14) & 2) | ((v >> 21) & 4) | ((v >> 28) & 8));
    socket.write(QByteArray(1, char(command)));
    socket.write(QByteArray(1, char(msbs)));
    for (int i = 0; i < 4; ++i)
        socket.write(QByteArray(1, char((v >> (8 * i)) & 0x7F)));
}

// The present position as the rotator reads it: unanswered after 300 ms.
std::optional<qint32> readControllerPosition(QUdpSocket& controller)
{
    while (controller.hasPendingDatagrams())
        controller.receiveDatagram();
    controller.write(getSegment(0x22, 4));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300) {
        if (controller.hasPendingDatagrams())
            return bytes::i32(controller.receiveDatagram().data(), 0);
        QTest::qWait(5);
    }
    return std::nullopt;
}

int countFrom(const QList<QNetworkDatagram>& datagrams, const QHostAddress& from)
{
    return int(std::count_if(datagrams.cbegin(), datagrams.cend(),
        [&from](const QNetworkDatagram& d) { return d.senderAddress() == from; }));
}

} // namespace

// The zarnik-sim program: its command line, its control lines and its attenuator terminal.
class TestSimProcess : public QObject {
    Q_OBJECT

private slots:
    void init();

    void helpListsOptionsAndControlLines();
    void badCommandLineIsRefused_data();
    void badCommandLineIsRefused();
    void controlLinesChangeRunningNetwork();
    void verboseLinesNameRequestsAndStdinEndKeepsItRunning();
    void attenuatorOnPseudoTerminalAnswersAndDrivesLoss();
    void controllerFollowsTargetStallsAndFallsSilent();

private:
    QStringList networkArgs(int modems) const;

    std::unique_ptr<StationSocket> m_station;
};

void TestSimProcess::init()
{
    m_station = std::make_unique<StationSocket>();
}

QStringList TestSimProcess::networkArgs(int modems) const
{
    return {QStringLiteral("--modems"), QString::number(modems), QStringLiteral("--first-address"),
        modemAddress(1).toString(), QStringLiteral("--station"), QStringLiteral("127.0.0.1:%1").arg(m_station->port()),
        QStringLiteral("--period"), QStringLiteral("100ms")};
}

void TestSimProcess::helpListsOptionsAndControlLines()
{
    QProcess help;
    help.start(QStringLiteral(ZARNIK_SIM), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* word : {"--modems", "--station", "--attenuator", "--unsupported", "loss T P", "ctl-silence", "silence T [D]"})
        QVERIFY2(text.contains(QLatin1String(word)), word);
}

void TestSimProcess::badCommandLineIsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--colour"};
    QTest::newRow("station beyond loopback") << QStringList{"--station", "192.168.11.12:40005"};
}

void TestSimProcess::badCommandLineIsRefused()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(QStringLiteral(ZARNIK_SIM), args);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(QString::fromUtf8(sim.readAllStandardError()).contains(QLatin1String("--help")));
}

void TestSimProcess::controlLinesChangeRunningNetwork()
{
    SimProcess sim(networkArgs(2));
    QVERIFY(!sim.waitForLine(QStringLiteral("ready: 2 modems")).isEmpty());
    QVERIFY(!m_station->waitFor(modemAddress(1), REP_CONT_STATUS).isNull());
    QVERIFY(!m_station->waitFor(modemAddress(2), REP_CONT_STATUS).isNull());

    QCOMPARE(sim.command(QStringLiteral("silence 1")), QStringLiteral("ok: silence 1"));
    m_station->clear();
    QList<QNetworkDatagram> heard = m_station->collect(500);
    QCOMPARE(countFrom(heard, modemAddress(1)), 0);
    QVERIFY(countFrom(heard, modemAddress(2)) > 0);

    QCOMPARE(sim.command(QStringLiteral("resume 1")), QStringLiteral("ok: resume 1"));
    QVERIFY(!m_station->waitFor(modemAddress(1), REP_CONT_STATUS).isNull());

    QVERIFY(sim.command(QStringLiteral("loss 3 0.5")).startsWith(QLatin1String("error: ")));
    QCOMPARE(sim.command(QStringLiteral("quit")), QStringLiteral("ok: quit"));
    QVERIFY(sim.process().waitForFinished(10000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
}

void TestSimProcess::verboseLinesNameRequestsAndStdinEndKeepsItRunning()
{
    SimProcess sim(networkArgs(1) << QStringLiteral("--verbose"));
    QVERIFY(!sim.waitForLine(QStringLiteral("ready:")).isEmpty());
    sim.process().closeWriteChannel();
    m_station->getReport(modemAddress(1), REP_VERSION);
    QVERIFY(!m_station->waitFor(modemAddress(1), REP_VERSION).isNull());
    QVERIFY(!sim.waitForLine(QStringLiteral("modem 1: CMD_GET_REPORT REP_VERSION")).isEmpty());

    m_station->clear();
    QVERIFY(!m_station->waitFor(modemAddress(1), REP_CONT_STATUS).isNull());
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void TestSimProcess::attenuatorOnPseudoTerminalAnswersAndDrivesLoss()
{
    SimProcess sim(networkArgs(1) << QStringLiteral("--attenuator") << QStringLiteral("--extended"));
    const QString announced = sim.waitForLine(QStringLiteral("attenuator: "));
    QVERIFY(!announced.isEmpty());
    QSerialPort port(announced.mid(int(qstrlen("attenuator: "))));
    port.setBaudRate(115200);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));

    const auto set = [&port](const QByteArray& command) {
        port.write(command);
        port.flush();
        QByteArray reply;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000 && reply.size() < 5) {
            if (port.waitForReadyRead(50))
                reply += port.readAll();
        }
        return reply;
    };
    QCOMPARE(set("att-12.75\r\n"), QByteArray("attOK"));
    QCOMPARE(set("att-47.62\r\n"), QByteArray("attERR"));
    QCOMPARE(set("att-12.75\n"), QByteArray("attERR"));

    QCOMPARE(set("att-26.00\r\n"), QByteArray("attOK"));
    m_station->clear();
    const QNetworkDatagram lossy = m_station->waitFor(modemAddress(1), REP_EXTENDED_STATUS);
    QVERIFY(!lossy.isNull());
    QVERIFY(!(records::decodeExtendedStatus(protocol::payloadOf(lossy.data())).flags & REP_EXTENDED_STATUS_t::Synchronised));

    QCOMPARE(set("att-00.00\r\n"), QByteArray("attOK"));
    m_station->clear();
    const QNetworkDatagram clean = m_station->waitFor(modemAddress(1), REP_EXTENDED_STATUS);
    QVERIFY(!clean.isNull());
    const REP_EXTENDED_STATUS_t near = records::decodeExtendedStatus(protocol::payloadOf(clean.data()));
    QVERIFY(near.flags & REP_EXTENDED_STATUS_t::Synchronised);
    QVERIFY(near.received > 0);
}

void TestSimProcess::controllerFollowsTargetStallsAndFallsSilent()
{
    SimProcess sim(networkArgs(1) << QStringLiteral("--stepper-speed") << QStringLiteral("2000"));
    QVERIFY(!sim.waitForLine(QStringLiteral("ready:")).isEmpty());
    QUdpSocket controller;
    QVERIFY(controller.bind(QHostAddress(QHostAddress::LocalHost), 0));
    controller.connectToHost(modemAddress(1), 30000);
    QVERIFY(controller.waitForConnected(1000));
    QCOMPARE(readControllerPosition(controller), std::optional<qint32>(0));

    controller.write(QByteArray(1, char(0x83)));
    sendCommand32(controller, 0xE0, 600);
    // Polled as the rotator polls: 0x8C keeps the controller's command time-out from stopping it.
    QElapsedTimer moving;
    moving.start();
    std::optional<qint32> position;
    while (position != 600 && moving.elapsed() < 10000) {
        controller.write(QByteArray(1, char(0x8C)));
        position = readControllerPosition(controller);
        QTest::qWait(50);
    }
    QCOMPARE(position, std::optional<qint32>(600));

    QCOMPARE(sim.command(QStringLiteral("stall 1")), QStringLiteral("ok: stall 1"));
    controller.write(QByteArray(1, char(0x83)));
    sendCommand32(controller, 0xE0, -600);
    for (int poll = 0; poll < 4; ++poll) {
        controller.write(QByteArray(1, char(0x8C)));
        QCOMPARE(readControllerPosition(controller), std::optional<qint32>(600));
        QTest::qWait(50);
    }

    QCOMPARE(sim.command(QStringLiteral("ctl-silence 1")), QStringLiteral("ok: ctl-silence 1"));
    QCOMPARE(readControllerPosition(controller), std::nullopt);
    QCOMPARE(sim.command(QStringLiteral("ctl-silence 1 off")), QStringLiteral("ok: ctl-silence 1 off"));
    QVERIFY(readControllerPosition(controller));
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
