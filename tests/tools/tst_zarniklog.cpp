#include "logbuilder.h"
#include "logformatter.h"
#include "opcodenames.h"
#include "recordfields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace logbuilder;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run zarnikLog(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(ZARNIK_LOG), arguments);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

Run csvOf(const QString& log) { return zarnikLog({"--format", "csv", log}); }

QList<QByteArray> lines(const QByteArray& text)
{
    return text.isEmpty() ? QList<QByteArray>() : (text.endsWith('\n') ? text.chopped(1) : text).split('\n');
}

// Cells of one CSV line, quotes and doubled quotes undone.
QStringList csvCells(const QByteArray& line)
{
    QList<QByteArray> cells{QByteArray()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == '"' && line.mid(i + 1, 1) == "\"")
            cells.last().append(line[++i]);
        else if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ',' && !quoted)
            cells.append(QByteArray());
        else
            cells.last().append(line[i]);
    }
    QStringList result;
    for (const QByteArray& cell : cells)
        result << QString::fromUtf8(cell);
    return result;
}

// name=value pairs of a fields cell; quoted values are JSON strings.
QMap<QString, QString> fieldPairs(const QString& cell)
{
    static const QRegularExpression pair(QStringLiteral("([^= ]+)=(\"(?:[^\"\\\\]|\\\\.)*\"|[^ ]*)"));
    QMap<QString, QString> pairs;
    for (auto it = pair.globalMatch(cell); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString value = m.captured(2);
        pairs.insert(m.captured(1), !value.startsWith(QLatin1Char('"')) ? value
                     : QJsonDocument::fromJson(('[' + value + ']').toUtf8()).array().at(0).toString());
    }
    return pairs;
}

} // namespace

// zarnik-log: the fields of each record, its three output formats, filters, statistics, the
// exit status, following a growing log and the pcap export read by tshark with the dissector.
class TestZarnikLog : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }

private slots:
    void fieldsOfKnownRecords_data()
    {
        QTest::addColumn<int>("opcode");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("expected");

        QTest::newRow("version") << int(REP_VERSION) << records::encodeVersion({1, 2, 3, 0x1A2B, 1, 0x0C})
                                 << "version.major=1 version.minor=2 version.revision=3 version.build=0x00001a2b "
                                    "version.hardware=0x01 version.function=0x0c";
        const QByteArray status = QByteArray::fromHex("43015519fe" "6400" "0100" "0200" "5a00" "e02e0000" "00000000"
                                                      "401f0000" "00000000");
        QTest::newRow("status") << int(REP_CONT_STATUS) << status
                                << "status.opmode=67 status.sync=1 status.rssi=85 status.temp1=25 status.temp2=-2 "
                                   "status.received=100 status.errors=1 status.lost=2 status.sent=90 "
                                   "status.rx_bits=12000 status.tx_bits=8000";
        QTest::newRow("status one byte short") << int(REP_CONT_STATUS) << status.left(28) << QString();
        QTest::newRow("ID statistics holding fewer entries than it names")
            << int(REP_ID_STATISTIC) << QByteArray(1, '\x05') + idStatistic(2).mid(1)
            << "idstat.count=5 idstat.own_index=1 idstat.identifier=1,2 idstat.rssi=500,501 idstat.range=1200,1300 "
               "idstat.rx_first=10,11 idstat.rx_second=20,21 idstat.further=30,31";
        QTest::newRow("hard reset names the modem") << int(CMD_REBOOT_DEVICE) << QByteArray::fromHex("c0a80b0c")
            << "service.code=0x0c0ba8c0 service=reset service.address=192.168.11.12";
        QTest::newRow("frequency set-up") << int(CMD_REBOOT_DEVICE) << QByteArray::fromHex("030000ff")
                                          << "service.code=0xff000003 service=setup-fn3";
        QTest::newRow("report asked for") << int(CMD_GET_REPORT) << word(REP_VERSION) << "report=REP_VERSION";
        QTest::newRow("unsupported names an unknown opcode")
            << int(REP_UNSUPPORTED) << word(0x0109) << "unsupported=0x0109";
        ConverterConfig c;
        c.converters[1] = {true, 38400, 20001, 30000, 0xC0A80BCD};
        QTest::newRow("converters") << int(REP_UART_CONV_CONFIG) << records::encodeConverters(c)
                                    << "conv.enabled=0,1,0,0 conv.baudrate=0,38400,0,0 conv.self_port=0,20001,0,0 "
                                       "conv.dest_addr=0.0.0.0,192.168.11.205,0.0.0.0,0.0.0.0 "
                                       "conv.dest_port=0,30000,0,0";
        QTest::newRow("secret shows only its length")
            << int(CMD_SESSION_SECRET) << QByteArray::fromHex("1180") + "HIDDENsecret1234" + '\0'
            << "secret.length=17 secret.save=1";
        QTest::newRow("unknown opcode") << 0x0109 << QByteArray(8, '\x01') << QString();
    }

    void fieldsOfKnownRecords()
    {
        QFETCH(int, opcode);
        QFETCH(QByteArray, payload);
        QFETCH(QString, expected);
        RecordFields fields;
        fields.decode(quint16(opcode), payload);
        QStringList parts;
        for (const RecordField& f : fields.fields())
            parts << QString::fromLatin1(f.name) + QLatin1Char('=') + QString::fromUtf8(fields.valueBytes(f));
        QCOMPARE(parts.join(QLatin1Char(' ')), expected);
    }

    // Text, CSV, JSON lines and the pcap export as tshark reads it with the dissector.
    void formatsCarryTheSameFacts()
    {
        const QVector<QByteArray> frames = everyOpcode() << QByteArray::fromHex("01ff0700090101020304");
        const QString log = write(QStringLiteral("every.bin"), logOf(frames));
        const Run csv = csvOf(log);
        QCOMPARE(csv.status, 0);
        const QList<QByteArray> textLines = lines(zarnikLog({log}).out);
        const QList<QByteArray> csvLines = lines(csv.out);
        const QList<QByteArray> jsonLines = lines(zarnikLog({"--format", "jsonl", log}).out);
        QCOMPARE(csvLines.first(), QByteArray("time,dir,peer,opcode,seqnum,length,fields"));
        QCOMPARE((QVector<int>{textLines.size(), csvLines.size() - 1, jsonLines.size()}),
                 QVector<int>(3, frames.size()));
        QStringList names{"opcode_name", "seqnum", "length"}; // what tshark is asked for
        for (int i = 0; i < frames.size(); ++i) {
            const protocol::FrameHeader h = protocol::parseHeader(frames[i]);
            const QString name = opcodenames::name(h.opcode);
            const QStringList cells = csvCells(csvLines[i + 1]);
            QCOMPARE(cells.size(), 7);
            QCOMPARE(cells.mid(1, 5), (QStringList{h.opcode < REP_UNSUPPORTED ? "out" : "in", "10.0.0.2:40005", name,
                                                    QString::number(h.seqnum), QString::number(frames[i].size() - 6)}));
            const QJsonObject o = QJsonDocument::fromJson(jsonLines[i]).object();
            QCOMPARE((QStringList{o.value("time").toString(), o.value("dir").toString(), o.value("opcode").toString(),
                                  QString::number(o.value("seqnum").toInt())}),
                     (QStringList{cells[0], cells[1], cells[3], cells[4]}));
            QCOMPARE(qint64(o.value("time_ms").toDouble()), kStartMs + 7 * i);
            const QMap<QString, QString> pairs = fieldPairs(cells[6]);
            const QJsonObject fields = o.value("fields").toObject();
            QCOMPARE(fields.keys(), pairs.keys());
            for (auto it = pairs.constBegin(); it != pairs.constEnd(); ++it) {
                if (!names.contains(it.key()))
                    names << it.key();
                const QJsonValue value = fields.value(it.key());
                if (value.isDouble() && value.toDouble() > 1e15) { // beyond a double's exact integers
                    QCOMPARE(value.toDouble(), it.value().toDouble());
                    continue;
                }
                QStringList items;
                for (const QJsonValue& item : value.isArray() ? value.toArray() : QJsonArray{value})
                    items << (item.isString() ? item.toString() : QString::number(item.toDouble(), 'f', 0));
                QCOMPARE(items.join(QLatin1Char(',')), it.value());
            }
            const QString textLine = QString::fromUtf8(textLines[i]);
            QVERIFY2(textLine.startsWith(cells[0]) && textLine.endsWith(cells[6])
                         && textLine.contains(QStringLiteral(" %1 seq=%2 ").arg(name).arg(h.seqnum)),
                     qPrintable(textLine));
        }
        QCOMPARE(fieldPairs(csvCells(csvLines[12]).at(6)).value("defaults.gst_fm2"),
                 QStringLiteral("videotestsrc ! x264enc ! rtph264pay"));

        const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
        if (tshark.isEmpty())
            QSKIP("tshark is not installed; the pcap is not checked against the dissector");
        const QString pcap = m_dir.filePath(QStringLiteral("p.pcap"));
        QCOMPARE(zarnikLog({"--pcap", pcap, "--station", "192.168.11.100:40005", log}).status, 0);
        QStringList arguments{"-X", "lua_script:" ZARNIK_LUA, "-r", pcap, "-T", "fields", "-E", "occurrence=a",
                              "-e", "ip.src", "-e", "udp.checksum.status", "-e", "ip.checksum.status",
                              "-o", "udp.check_checksum:TRUE", "-o", "ip.check_checksum:TRUE"};
        for (const QString& name : names)
            arguments << "-e" << "zarnik." + name;
        QProcess p;
        p.start(tshark, arguments);
        QVERIFY(p.waitForFinished(60000));
        const QList<QByteArray> rows = lines(p.readAllStandardOutput());
        QCOMPARE(rows.size(), frames.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList got = QString::fromUtf8(rows[i]).split(QLatin1Char('\t'));
            const QStringList cells = csvCells(csvLines[i + 1]);
            const QString source = cells[1] == QLatin1String("out") ? "192.168.11.100" : "10.0.0.2";
            QCOMPARE(got.mid(0, 6), QStringList({source, "1", "1"}) + cells.mid(3, 3)); // "1": checksums good
            const QMap<QString, QString> pairs = fieldPairs(cells[6]);
            for (int n = 3; n < names.size(); ++n) {
                if (got[3 + n] != pairs.value(names[n]))
                    QFAIL(qPrintable(QStringLiteral("record %1 %2: %3 = \"%4\" in tshark, \"%5\" in zarnik-log")
                                         .arg(i).arg(cells[3], names[n], got[3 + n], pairs.value(names[n]))));
            }
        }
    }

    // Filters, the exit status and what stderr says: 0 clean, 1 damaged file, 2 unusable command line or file.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments"); // the log's path is added when there is a log
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("outLines"); // -1: not checked
        QTest::addColumn<QString>("error"); // empty: no error output; "*": any
        const auto row = [](const char* name, const QStringList& arguments, const QByteArray& log, int status,
                            int outLines, const QString& error = QString()) {
            QTest::newRow(name) << arguments << log << status << outLines << error;
        };

        const QByteArray get = request(CMD_GET_REPORT, word(REP_VERSION));
        const auto status = [](quint16 seq) { return protocol::buildReport(REP_CONT_STATUS, seq, QByteArray(29, 0)); };
        const QByteArray six = record(kStartMs, 1, get)
            + record(kStartMs + 1000, 0, protocol::buildReport(REP_VERSION, 1, QByteArray(12, 0)))
            + record(kStartMs + 2000, 0, status(2)) + record(kStartMs + 3000, 0, status(3), kModem, 40006)
            + record(kStartMs + 4000, 1, get, 0x0A000003) + record(kStartMs + 5000, 0, status(4), 0x0A000003);
        const QDateTime third = QDateTime::fromMSecsSinceEpoch(kStartMs + 2000);
        row("all", {}, six, 0, 6);
        row("peer address", {"--peer", "10.0.0.3"}, six, 0, 2);
        row("peer and port", {"--peer", "10.0.0.2:40006"}, six, 0, 1);
        row("opcodes by name and number", {"--opcode", "rep_version,0x0000"}, six, 0, 3);
        row("sent only", {"--dir", "out"}, six, 0, 2);
        row("since", {"--since", third.toString("yyyy-MM-dd hh:mm:ss")}, six, 0, 4);
        row("until", {"--until", third.toString("yyyy-MM-ddThh:mm:ss")}, six, 0, 3);
        row("combined", {"--peer", "10.0.0.2", "--dir", "in", "--opcode", "REP_CONT_STATUS"}, six, 0, 2);

        const QByteArray clean = logOf(everyOpcode());
        const int all = everyOpcode().size() + 1; // with the CSV heading
        QByteArray middle = clean;
        middle.insert(24, QByteArray(21, '\xEE'));
        row("clean", {"--format", "csv"}, clean, 0, all);
        row("torn tail", {"--format", "csv"}, clean.left(clean.size() - 4), 1, all - 1,
            QStringLiteral("offset %1: the last 20 bytes are a torn record").arg(clean.size() - 24));
        row("garbage in the middle", {"--format", "csv"}, middle, 1, all,
            "offset 24: 21 bytes that are no record, skipped");

        row("missing file", {m_dir.filePath("absent.bin")}, {}, 2, -1, "*");
        row("no file", {}, {}, 2, -1, "*");
        row("unknown format", {"--format", "xml", "x.bin"}, {}, 2, -1, "*");
        row("bad peer", {"--peer", "10.0.0", "x.bin"}, {}, 2, -1, "*");
        row("bad opcode", {"--opcode", "REP_NOTHING", "x.bin"}, {}, 2, -1, "*");
        row("bad time", {"--since", "yesterday", "x.bin"}, {}, 2, -1, "*");
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, log);
        QFETCH(int, status);
        QFETCH(int, outLines);
        QFETCH(QString, error);
        const Run run = zarnikLog(log.isEmpty() ? arguments : arguments << write(QStringLiteral("run.bin"), log));
        QCOMPARE(run.status, status);
        if (outLines >= 0)
            QCOMPARE(lines(run.out).size(), outLines);
        const bool errorAsExpected = error == "*" ? !run.err.isEmpty()
                                     : error.isEmpty() ? run.err.isEmpty() : run.err.contains(error.toUtf8());
        QVERIFY2(errorAsExpected, run.err.constData());
    }

    void statsCountLossOnlyWhereTheModemNumbersItsReports()
    {
        QByteArray log;
        qint64 t = kStartMs;
        for (quint16 seqnum : {10, 11, 12, 15, 16, 17, 18, 20}) { // 13, 14 and 19 missing
            log += record(t, 0, protocol::buildReport(REP_CONT_STATUS, seqnum, QByteArray(29, 0)));
            log += record(t + 1, 0, protocol::buildReport(REP_CONT_STATUS, 0, QByteArray(29, 0)), 0x0A000003);
            t += 500;
        }
        log += record(t, 1, request(CMD_GET_REPORT, word(REP_VERSION)));
        const Run run = zarnikLog({QStringLiteral("--stats"), write(QStringLiteral("s.bin"), log)});
        QCOMPARE(run.status, 0);
        const QString out = QString::fromUtf8(run.out);
        const int second = out.indexOf(QStringLiteral("10.0.0.3:40005"));
        QVERIFY(second > 0);
        for (const char* expected : {"control-link loss: 27\\.27 % \\(3 of 11 reports missing by seqnum\\)",
                                     "status reports: 2\\.00/s", "REP_CONT_STATUS +8\\n", "CMD_GET_REPORT +1\\n"})
            QVERIFY2(out.left(second).contains(QRegularExpression(expected)), qPrintable(out));
        QVERIFY2(out.mid(second).contains(QStringLiteral("loss: unknown")), qPrintable(out));
    }

    void followPrintsRecordsAsTheStationWritesThem()
    {
        const QString path = m_dir.filePath(QStringLiteral("growing.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(record(kStartMs, 1, request(CMD_GET_REPORT, word(REP_VERSION))));
        file.flush();
        QProcess follower;
        follower.start(QStringLiteral(ZARNIK_LOG), {"--follow", "--format", "csv", path});
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT((seen += follower.readAllStandardOutput()).contains("CMD_GET_REPORT"), 20000);
        const QByteArray reply = record(kStartMs + 3, 0, protocol::buildReport(REP_VERSION, 5, QByteArray(12, 1)));
        file.write(reply.left(20)); // as if caught in the middle of a write
        file.flush();
        file.write(reply.mid(20));
        file.flush();
        QTRY_VERIFY_WITH_TIMEOUT((seen += follower.readAllStandardOutput()).contains("REP_VERSION,5,12"), 20000);
        QVERIFY(follower.readAllStandardError().isEmpty());
        follower.kill();
        follower.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestZarnikLog)
#include "tst_zarniklog.moc"
