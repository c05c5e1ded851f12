#include "linktest.h"
#include "packetlog.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <memory>

// The binary traffic log, byte for byte, and what reaches the disk.
class TestPacketLog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordHeaderLayout();
    void fileNameCarriesLocalTime();
    void sentRequestMakesOneRecord();
    void receivedStatusReportMakesOneRecord();
    void onlyWellSignedWholeFramesAreLogged_data();
    void onlyWellSignedWholeFramesAreLogged();
    void eachEnableStartsNewFile();
    void sameNameAgainKeepsEarlierRecords();
    void unwritableFolderLeavesLogOff();
    void recordSurvivesKilledStation();

private:
    QStringList logFiles() const { return QDir(dir->path()).entryList({"log-*.bin"}, QDir::Files, QDir::Name); }
    QByteArray logContents(int index = -1) const;
    QByteArray header(quint16 port, packetlog::Direction direction) const;

    std::unique_ptr<DebugCapture> capture;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ReceivePath> client;
    std::unique_ptr<QUdpSocket> modem;
    qint64 now = 0x0123456789AB;
};

void TestPacketLog::init()
{
    capture = std::make_unique<DebugCapture>();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    client = std::make_unique<ReceivePath>();
    now = 0x0123456789AB;
    client->setClock([this] { return now; });
    QString path = dir->path();
    client->set_logger_path(path);
    QVERIFY(client->initialize(QHostAddress(QHostAddress::LocalHost), 0));
    modem = std::make_unique<QUdpSocket>();
    QVERIFY(modem->bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void TestPacketLog::cleanup()
{
    client.reset();
    modem.reset();
    dir.reset();
    capture.reset();
}

QByteArray TestPacketLog::logContents(int index) const
{
    const QStringList files = logFiles();
    if (files.isEmpty())
        return "<no log file>";
    QFile file(dir->filePath(index < 0 ? files.last() : files.at(index)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray TestPacketLog::header(quint16 port, packetlog::Direction direction) const
{
    QByteArray out(packetlog::kRecordHeaderSize, '\0');
    packetlog::putHeader(reinterpret_cast<uint8_t*>(out.data()), now, 0x7F000001, port, direction);
    return out;
}

void TestPacketLog::recordHeaderLayout()
{
    uint8_t out[packetlog::kRecordHeaderSize];
    packetlog::putHeader(out, 0x0102030405060708, 0x0A000002, 40005, packetlog::Sent);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(out), sizeof out),
             QByteArray::fromHex("0807060504030201" "0200000a" "459c" "0100"));
    packetlog::putHeader(out, -1, 0, 0, packetlog::Received);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(out), sizeof out),
             QByteArray::fromHex("ffffffffffffffff" "00000000" "0000" "0000"));
}

void TestPacketLog::fileNameCarriesLocalTime()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(17, 8, 9, 10), Qt::LocalTime);
    QCOMPARE(packetlog::fileName(QStringLiteral("./"), when), QStringLiteral(".//log-20240305-170809-010.bin"));
}

void TestPacketLog::sentRequestMakesOneRecord()
{
    client->logger_enable(true);
    OP_PAYLOAD_t request;
    request.bytes[0] = 0x08;
    request.bytes[1] = 0x81;
    QVERIFY(client->send(CMD_GET_REPORT, request, QStringLiteral("127.0.0.1"), modem->localPort()));

    const QByteArray record = logContents();
    QCOMPARE(record.size(), 24);
    QCOMPARE(record, header(modem->localPort(), packetlog::Sent) + QByteArray::fromHex("01ff000000000881"));
}

void TestPacketLog::receivedStatusReportMakesOneRecord()
{
    client->logger_enable(true);
    QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
    const QByteArray report = statusReport(42);
    modem->writeDatagram(report, QHostAddress(QHostAddress::LocalHost), client->getControlLocalPort());
    QVERIFY(spy.wait(10000));

    const QByteArray record = logContents();
    QCOMPARE(record.size(), 51);
    QCOMPARE(record, header(modem->localPort(), packetlog::Received) + report);
}

void TestPacketLog::onlyWellSignedWholeFramesAreLogged_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("bad signature") << QByteArray::fromHex("02ff00000881") + QByteArray(29, '\0');
    QTest::newRow("cut header") << QByteArray::fromHex("01ff2a00");
    QTest::newRow("empty") << QByteArray();
}

void TestPacketLog::onlyWellSignedWholeFramesAreLogged()
{
    QFETCH(QByteArray, datagram);
    client->logger_enable(true);
    QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
    const QHostAddress loopback(QHostAddress::LocalHost);
    modem->writeDatagram(datagram, loopback, client->getControlLocalPort());
    modem->writeDatagram(statusReport(1), loopback, client->getControlLocalPort());
    QVERIFY(spy.wait(10000));

    QCOMPARE(logContents(), header(modem->localPort(), packetlog::Received) + statusReport(1));
}

void TestPacketLog::eachEnableStartsNewFile()
{
    client->logger_enable(true);
    now += 1;
    client->logger_enable(true);
    QCOMPARE(logFiles().size(), 2);

    OP_PAYLOAD_t request;
    QVERIFY(client->send(CMD_GET_REPORT, request, QHostAddress(QHostAddress::LocalHost), modem->localPort()));
    QCOMPARE(logContents(0), QByteArray());
    QCOMPARE(logContents(1).size(), 24);

    QVERIFY(client->logger_enable(false));
    QVERIFY(client->send(CMD_GET_REPORT, request, QHostAddress(QHostAddress::LocalHost), modem->localPort()));
    QCOMPARE(logContents(1).size(), 24);
    QCOMPARE(logFiles().size(), 2);
}

void TestPacketLog::sameNameAgainKeepsEarlierRecords()
{
    OP_PAYLOAD_t request;
    client->logger_enable(true);
    QVERIFY(client->send(CMD_GET_REPORT, request, QHostAddress(QHostAddress::LocalHost), modem->localPort()));
    client->logger_enable(true); // within the same millisecond
    QVERIFY(client->send(CMD_SET_TX_MODE, request, QHostAddress(QHostAddress::LocalHost), modem->localPort()));

    QCOMPARE(logFiles().size(), 1);
    QCOMPARE(logContents(),
             header(modem->localPort(), packetlog::Sent) + QByteArray::fromHex("01ff000000000000")
                 + header(modem->localPort(), packetlog::Sent) + QByteArray::fromHex("01ff0000060100"));
}

void TestPacketLog::unwritableFolderLeavesLogOff()
{
    QString missing = dir->filePath(QStringLiteral("missing"));
    client->set_logger_path(missing);
    capture->lines().clear();
    QVERIFY(client->logger_enable(true));
    QCOMPARE(capture->lines(), QStringList{"can't open log file"});
    QVERIFY(client->send(CMD_GET_REPORT, OP_PAYLOAD_t(), QHostAddress(QHostAddress::LocalHost), modem->localPort()));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestPacketLog::recordSurvivesKilledStation()
{
    QProcess writer;
    writer.start(QStringLiteral(KILLED_LOG_WRITER), {dir->path()});
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    const QByteArray record = logContents();
    QCOMPARE(record.size(), 24);
    QCOMPARE(record.mid(8, 6).left(4), QByteArray::fromHex("0100007f"));
    QCOMPARE(record.right(8), QByteArray::fromHex("01ff000000000881"));
}

QTEST_GUILESS_MAIN(TestPacketLog)
#include "tst_packetlog.moc"
