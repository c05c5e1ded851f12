#include "stationsocket.h"
#include "status_records.h"

#include <QProcess>
#include <QSerialPort>
#include <QtTest>
#include <memory>

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

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
