#include "config_file.h"
#include "protocol.h"
#include "records.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <memory>

namespace {

const QString kFirstModem = QStringLiteral("127.0.18.11");
const QString kSecondModem = QStringLiteral("127.0.18.12");
// A modem that never answers: the test reads what reaches it.
const QString kQuietModem = QStringLiteral("127.0.18.200");
constexpr quint16 kStatusPort = 41818;

struct Run {
    int exit = -1;
    QString out;
    QString err;
};

} // namespace

// zarnik-cli run as a program against the zarnik-sim program, and against a silent socket that
// records every datagram the tool sends.
class TestFleetCli : public QObject {
    Q_OBJECT

    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<QTemporaryDir> m_dir;
    QUdpSocket m_quiet;

    Run cli(const QStringList& arguments)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir->path());
        p.start(QStringLiteral(ZARNIK_CLI), arguments);
        Run r;
        if (!p.waitForFinished(60000))
            p.kill();
        else if (p.exitStatus() == QProcess::NormalExit)
            r = {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
        p.waitForFinished();
        return r;
    }

    QJsonObject status(const QString& modem, const QString& report)
    {
        const QJsonObject all = QJsonDocument::fromJson(cli({"status", modem, "--json"}).out.toUtf8()).object();
        return all.value(report).toObject();
    }

    QString simLine()
    {
        while (!m_sim->canReadLine() && m_sim->waitForReadyRead(10000)) {
        }
        return QString::fromUtf8(m_sim->readLine()).trimmed();
    }

    void startSimulator(const QStringList& options = {})
    {
        m_sim = std::make_unique<QProcess>();
        m_sim->start(QStringLiteral(ZARNIK_SIM), QStringList{"--modems", "2", "--first-address", kFirstModem,
            "--station", QStringLiteral("127.0.0.1:%1").arg(kStatusPort), "--period", "100ms"} + options);
        QVERIFY(m_sim->waitForStarted(10000));
        QVERIFY(simLine().startsWith(QLatin1String("ready:")));
    }

    void simCommand(const QString& line)
    {
        m_sim->write(line.toUtf8() + '\n');
        QVERIFY(simLine().startsWith("ok"));
    }

    QString path(const QString& name) const { return m_dir->filePath(name); }

    QList<QNetworkDatagram> quietReceived()
    {
        QList<QNetworkDatagram> list;
        while (m_quiet.hasPendingDatagrams() || m_quiet.waitForReadyRead(200))
            list << m_quiet.receiveDatagram();
        return list;
    }

    void writeFile(const QString& name, const QByteArray& content)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(m_quiet.bind(QHostAddress(kQuietModem), 40005));
    }

    void cleanup()
    {
        m_quiet.close();
        if (m_sim) {
            m_sim->write("quit\n");
            if (!m_sim->waitForFinished(5000))
                m_sim->kill();
            m_sim.reset();
        }
    }

    void discoverListsTheModemsHeard()
    {
        startSimulator();
        const Run r = cli({"discover", "--port", QString::number(kStatusPort), "--time", "1500ms", "--json"});
        QCOMPARE(r.exit, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
        QCOMPARE(first.value("address").toString(), kFirstModem);
        QCOMPARE(first.value("port").toInt(), 40005);
        QCOMPARE(first.value("mode").toInt(), 4);
        QCOMPARE(first.value("role").toInt(), 0);
        QVERIFY(first.value("rssi_db").toInt() < 0);
        QCOMPARE(QJsonDocument::fromJson(lines.at(1).toUtf8()).object().value("role").toInt(), 1);
    }

    void statusMarksUnsupportedReports_data()
    {
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<int>("exit");
        QTest::newRow("all answered") << QStringList() << 0;
        QTest::newRow("band plan and converters refused") << QStringList{"REP_PARAMETERS", "REP_UART_CONV_CONFIG"} << 2;
    }

    void statusMarksUnsupportedReports()
    {
        QFETCH(QStringList, refused);
        QFETCH(int, exit);
        startSimulator(refused.isEmpty() ? QStringList() : QStringList{"--unsupported", refused.join(',')});
        const Run r = cli({"status", kFirstModem, "--json"});
        QCOMPARE(r.exit, exit);
        const QJsonObject all = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(all.size(), 10);
        for (const QString& name : all.keys()) {
            if (refused.contains(name))
                QCOMPARE(all.value(name).toString(), QStringLiteral("unsupported"));
            else
                QVERIFY2(all.value(name).isObject(), qPrintable(name));
        }
        QCOMPARE(all.value("REP_VERSION").toObject().value("major").toInt(), 2);
        QCOMPARE(all.value("REP_DEFAULTS_SET").toObject().value("ip_addr").toString(), kFirstModem);
        if (!refused.isEmpty())
            QVERIFY(r.err.contains("REP_UNSUPPORTED") && r.err.count('\n') == 1);
    }

    void backupChangeDiffRestoreDiff()
    {
        startSimulator();
        QCOMPARE(cli({"backup", kFirstModem, "-o", path("a.json"), "--include-secret"}).exit, 0);
        ModemConfiguration saved;
        QString error;
        QVERIFY2(configfile::readFile(path("a.json"), saved, error), qPrintable(error));
        QVERIFY(saved.firmware && saved.bandPlan && saved.secret);

        // Change the stored settings behind the tool's back, as a station would.
        ModemDefaults changed = saved.defaults;
        changed.tx_power_mode = 37;
        changed.sockets[2].dest_port = 777;
        const QByteArray frame = protocol::buildFrame(CMD_DEFAULTS_SET, protocol::payloadFrom(records::encodeDefaults(changed)));
        QCOMPARE(QUdpSocket().writeDatagram(frame, QHostAddress(kFirstModem), 40005), qint64(frame.size()));

        Run r;
        QTRY_VERIFY_WITH_TIMEOUT((r = cli({"diff", path("a.json"), kFirstModem})).exit == 1, 20000);
        QVERIFY2(r.out.contains("defaults.tx_power_mode_percent: 100 -> 37"), qPrintable(r.out));
        QVERIFY(r.out.contains("defaults.sockets[2].dest_port: 10003 -> 777"));
        QCOMPARE(r.out.count('\n'), 2);

        r = cli({"restore", path("a.json"), kFirstModem});
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QVERIFY(r.out.contains("defaults, converters, session secret"));
        r = cli({"diff", path("a.json"), kFirstModem});
        QCOMPARE(r.exit, 0);
        QCOMPARE(r.out, QString());
    }

    // Also: without --include-secret no secret reaches the files.
    void parallelBackupWritesOneFilePerModem()
    {
        startSimulator();
        QCOMPARE(cli({"backup", kFirstModem, kSecondModem, "-o", path("fleet"), "--jobs", "2"}).exit, 0);
        for (const QString& modem : {kFirstModem, kSecondModem}) {
            ModemConfiguration c;
            QString error;
            const QString name = path("fleet/%1_40005.json").arg(modem);
            QVERIFY2(configfile::readFile(name, c, error), qPrintable(error));
            QCOMPARE(c.source, modem + ":40005");
            QCOMPARE(QHostAddress(c.defaults.ip_addr).toString(), modem);
            QFile f(name);
            QVERIFY(f.open(QIODevice::ReadOnly) && !f.readAll().contains("secret_base64"));
        }
    }

    void misbehavingModemsFailTheCommand_data()
    {
        QTest::addColumn<QString>("damage"); // the simulator's corruption of the first modem's answers
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("messages");
        const QStringList backup{"backup", kFirstModem, "-o", "a.json", "--attempts", "2", "--timeout", "3s"};
        const QStringList noBackup{"no answer", "no file written"};
        QTest::newRow("silent modem") << QString() << QStringList{"status", kQuietModem, "--timeout", "600ms", "--attempts", "1"}
                                      << QStringList{"does not answer"};
        QTest::newRow("backup of answers cut short") << "truncate" << backup << noBackup;
        QTest::newRow("backup of answers with a bad signature") << "signature" << backup << noBackup;
        QTest::newRow("restore with a wrong read-back") << "random"
            << QStringList{"restore", "good.json", kFirstModem, "--attempts", "2"}
            << QStringList{"read-back of the defaults differs", "partly written configuration; confirmed: nothing"};
    }

    void misbehavingModemsFailTheCommand()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, messages);
        if (!damage.isEmpty()) {
            startSimulator();
            QCOMPARE(cli({"backup", kFirstModem, "-o", "good.json"}).exit, 0);
            simCommand("corrupt 1 1 " + damage);
        }
        const Run r = cli(arguments);
        QCOMPARE(r.exit, 1);
        for (const QString& message : messages)
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(path("a.json")));
    }

    void badInputGetsOneLineAndSendsNothing_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "FILE" stands for bad.json
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const QJsonObject good = QJsonDocument::fromJson(configfile::toJson(ModemConfiguration())).object();
        const auto edited = [&good](const QString& key, const QJsonValue& value) {
            QJsonObject root = good, d = good.value("defaults").toObject();
            root.contains(key) ? void(root.insert(key, value)) : value.isUndefined() ? d.remove(key) : void(d.insert(key, value));
            root.insert("defaults", d);
            return QJsonDocument(root).toJson();
        };
        const QStringList restore{"restore", "FILE", kQuietModem};
        QTest::newRow("restore: newer version") << restore << edited("format_version", 2) << "newer";
        QTest::newRow("restore: missing field") << restore << edited("tx_mute", QJsonValue::Undefined)
                                                << "defaults.tx_mute: missing";
        QTest::newRow("restore: power above 100") << restore << edited("tx_power_mode_percent", 101)
                                                  << "defaults.tx_power_mode_percent: 101 is out of range";
        QTest::newRow("restore: not json") << restore << QByteArray("{") << "not JSON";
        const QByteArray ok = QJsonDocument(good).toJson();
        QTest::newRow("restore: broadcast without yes") << QStringList{"restore", "FILE", "127.0.18.255"} << ok << "broadcast";
        QTest::newRow("unknown command") << QStringList{"reset", kQuietModem} << ok << "unknown command";
        QTest::newRow("unknown option") << QStringList{"status", kQuietModem, "--fast"} << ok << "unknown option --fast";
        QTest::newRow("option without value") << QStringList{"backup", kQuietModem, "-o"} << ok << "needs a value";
        QTest::newRow("port beyond 16 bits") << QStringList{"status", kQuietModem + ":70000"} << ok << "bad modem address";
        QTest::newRow("multicast") << QStringList{"reboot", "239.1.1.1"} << ok << "not a single host";
        QTest::newRow("power 101 %") << QStringList{"set-power", kQuietModem, "101"} << ok << "0..100";
        QTest::newRow("unknown antenna") << QStringList{"set-antenna", kQuietModem, "yagi"} << ok << "sector or omni";
        QTest::newRow("bad timeout") << QStringList{"status", kQuietModem, "--timeout", "soon"} << ok << "bad --timeout";
        QTest::newRow("jobs of 0") << QStringList{"backup", kQuietModem, "-o", "x", "--jobs", "0"} << ok << "bad --jobs";
        QTest::newRow("shared port for parallel jobs")
            << QStringList{"backup", kQuietModem, "-o", "x", "--jobs", "2", "--port", "40999"} << ok << "--port";
        QTest::newRow("diff with a missing file") << QStringList{"diff", "missing.json", kQuietModem} << ok
                                                  << "neither a file nor a modem address";
    }

    void badInputGetsOneLineAndSendsNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        writeFile("bad.json", file);
        arguments.replaceInStrings(QRegularExpression("^FILE$"), path("bad.json"));
        const Run r = cli(arguments);
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(quietReceived().isEmpty());
    }

    void restoreMovesTheModemOnlyWhenTold_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("address"); // the modem's own address afterwards
        QTest::newRow("kept by default") << QStringList() << 0 << kSecondModem;
        QTest::newRow("file's address without --yes") << QStringList{"--take-address"} << 2 << kSecondModem;
        QTest::newRow("file's address with --yes") << QStringList{"--take-address", "--yes"} << 0 << kFirstModem;
    }

    void restoreMovesTheModemOnlyWhenTold()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exit);
        QFETCH(QString, address);
        startSimulator();
        QCOMPARE(cli({"backup", kFirstModem, "-o", path("a.json")}).exit, 0);
        QCOMPARE(cli(QStringList{"restore", path("a.json"), kSecondModem} + options).exit, exit);
        const QJsonObject defaults = status(kSecondModem, "REP_DEFAULTS_SET");
        QCOMPARE(defaults.value("ip_addr").toString(), address);
        // A refused restore writes nothing: the second modem keeps its own role.
        QCOMPARE(defaults.value("opmode").toInt() & 0x1F, exit == 0 ? 8 : 9);
    }

    void dryRunSendsNothing()
    {
        writeFile("a.json", configfile::toJson(ModemConfiguration()));
        const Run r = cli({"restore", path("a.json"), kQuietModem, "--dry-run"});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.contains("defaults (0104), 1156 payload bytes"));
        QVERIFY(r.out.contains("converters (010b), 128 payload bytes"));
        QVERIFY(quietReceived().isEmpty());
    }

    void serviceCommandsSendTheStationsBytes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("count");
        QTest::newRow("reboot") << QStringList{"reboot", kQuietModem} << QByteArray::fromHex("01ff00000501dddddddd") << 5;
        QTest::newRow("forget") << QStringList{"forget", kQuietModem} << QByteArray::fromHex("01ff00000501cccccccc") << 5;
        QTest::newRow("power 40 %") << QStringList{"set-power", kQuietModem, "40"} << QByteArray::fromHex("01ff00000e0128") << 1;
        QTest::newRow("omnidirectional") << QStringList{"set-antenna", kQuietModem, "omni"}
                                         << QByteArray::fromHex("01ff0000030101") << 1;
    }

    void serviceCommandsSendTheStationsBytes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, frame);
        QFETCH(int, count);
        cli(arguments + QStringList{"--attempts", "1", "--timeout", "300ms"});
        const QList<QNetworkDatagram> got = quietReceived();
        QCOMPARE(got.size(), count);
        for (const QNetworkDatagram& d : got) {
            QCOMPARE(d.data(), frame);
            QVERIFY(d.senderPort() != 40005); // an ephemeral port, never the station's
        }
    }

    void setChannelAcceptsOnlyChannelsOfTheBandPlan_data()
    {
        QTest::addColumn<QString>("mhz");
        QTest::addColumn<int>("exit");
        QTest::newRow("a channel") << "1420" << 0;
        QTest::newRow("between channels") << "1425" << 2;
        QTest::newRow("not a number") << "abc" << 2;
    }

    void setChannelAcceptsOnlyChannelsOfTheBandPlan()
    {
        QFETCH(QString, mhz);
        QFETCH(int, exit);
        startSimulator();
        QCOMPARE(cli({"set-channel", kFirstModem, mhz}).exit, exit);
        const double hz = status(kFirstModem, "REP_RX_FREQUENCY").value("frequency_hz").toDouble();
        QCOMPARE(hz, exit == 0 ? mhz.toDouble() * 1e6 : 1400e6);
    }
};

QTEST_GUILESS_MAIN(TestFleetCli)
#include "tst_fleetcli.moc"
