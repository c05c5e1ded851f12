#include "linktest.h"
#include "packetlog.h"

#include <QDir>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>
#include <memory>
#include <sys/stat.h>

// Client over real loopback sockets: what goes out, what comes in, who gets told,
// the list of heard modems (on a test clock) and the packet log.
class TestClient : public QObject {
    Q_OBJECT

    std::unique_ptr<DebugCapture> capture;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ReceivePath> client;
    std::unique_ptr<QUdpSocket> modem;
    qint64 now = 0;

    bool send(OPCODE opcode, const char* record = "")
    {
        return client->send(opcode, protocol::payloadFrom(QByteArray::fromHex(record)), QStringLiteral("127.0.0.1"),
                            modem->localPort());
    }
    void modemSends(const QByteArray& hex, QUdpSocket* from = nullptr)
    {
        (from ? from : modem.get())
            ->writeDatagram(QByteArray::fromHex(hex), QHostAddress::LocalHost, client->getControlLocalPort());
    }
    QByteArray modemReceives() { return modem->waitForReadyRead(10000) ? modem->receiveDatagram().data() : ""; }
    QString modemText() const { return QStringLiteral("127.0.0.1:%1").arg(modem->localPort()); }
    void report(const char* address, quint16 port, const QByteArray& status = QByteArray(29, '\x11'))
    {
        client->feed(protocol::buildReport(REP_CONT_STATUS, 0, status), QHostAddress(QLatin1String(address)), port);
    }
    QStringList logFiles() const { return QDir(dir->path()).entryList({"log-*.bin"}, QDir::Files, QDir::Name); }
    QByteArray logFile(int index) const
    {
        QFile file(dir->filePath(logFiles().value(index)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<no log file>";
    }
    // Time, peer (the modem by default), direction, then the frame; little-endian.
    QByteArray logRecord(quint16 direction, const QByteArray& frame, quint32 peer = 0x7F000001, quint16 port = 0) const
    {
        QByteArray record;
        QDataStream out(&record, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << now << peer << (port ? port : modem->localPort()) << direction;
        return record + frame;
    }

private slots:
    void init()
    {
        capture = std::make_unique<DebugCapture>();
        dir = std::make_unique<QTemporaryDir>();
        client = std::make_unique<ReceivePath>();
        now = 0x0123456789AB;
        client->setClock([this] { return now; });
        QString path = dir->path();
        client->set_logger_path(path);
        QVERIFY(client->initialize(QHostAddress::LocalHost, 0));
        modem = std::make_unique<QUdpSocket>();
        QVERIFY(modem->bind(QHostAddress(QHostAddress::LocalHost), 0));
        client->filter(QStringLiteral("127.0.0.1"), modem->localPort());
    }
    void cleanup() { client.reset(); modem.reset(); dir.reset(); capture.reset(); }

    void sendWritesWholeFramesAndTrafficLines()
    {
        QUdpSocket exclusive;
        QVERIFY(exclusive.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));
        QVERIFY(!client->initialize(QHostAddress::LocalHost, exclusive.localPort()));
        QCOMPARE(client->getControlLocalPort(), quint16(0));
        QVERIFY(!send(CMD_GET_REPORT));
        QVERIFY(client->initialize(QHostAddress::LocalHost, 0));
        QVERIFY(send(CMD_GET_REPORT, "0881"));
        QVERIFY(!send(OPCODE(0x0109)));
        QVERIFY(!send(CMD_SESSION_SECRET, "ff0f"));
        QVERIFY(send(CMD_SET_TX_MODE, "01"));
        const QString to = QStringLiteral("\"[OUT] -> '%1' - ").arg(modemText());
        QCOMPARE(capture->lines, (QStringList{"[OP] <X> Socket not initialized", to + "0000->8108, 8 bytes\"",
                                              "\"[OUT] -> Unknown opcode 0109\"",
                                              "\"[OUT] -> Bad length 4097 for 010d\"", to + "0106, 7 bytes\""}));
        // Only the frames that were sent reach the modem.
        QCOMPARE(modemReceives().toHex(), QByteArray("01ff000000000881"));
        QCOMPARE(modemReceives().toHex(), QByteArray("01ff0000060101"));
    }

    void incomingLinesDescribeEveryDatagram()
    {
        for (const char* datagram : {"01ff2a000881", "02ff00000881", "7f", "01ff2a0008", "01ff07000901aabbcc"})
            modemSends(datagram);
        const auto in = [this](const char* words) {
            return QStringLiteral("\"[IN] <- '%1' - %2, filter '127.0.0.1'\"").arg(modemText(), words);
        };
        const QStringList expected = {in("ff01:8108, 6 bytes"), in("ff02:8108, 6 bytes"), "Bag signature",
                                      in("007f:0000, 1 bytes"), "Bag signature", in("ff01:0008, 5 bytes"),
                                      in("ff01:0109, 9 bytes"),
                                      QStringLiteral("\"[IN] <- Unknown 0109, 7 from %1\"").arg(modemText())};
        QTRY_COMPARE_WITH_TIMEOUT(capture->lines, expected, 10000);
        QCOMPARE(client->abonentsCount(), 1);
    }

    void statusReportFromOtherSourceUpdatesListOnly()
    {
        QSignalSpy listed(client.get(), &Client::signal_UpdatedAbonents);
        QSignalSpy dispatched(client.get(), &Client::signal_REP_CONT_STATUS);
        QUdpSocket otherPort, otherAddress;
        QVERIFY(otherPort.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QVERIFY(otherAddress.bind(QHostAddress(QStringLiteral("127.0.0.2")), modem->localPort()));
        modemSends("01ff050008810a", &otherPort);
        modemSends("01ff050008810b", &otherAddress);
        modemSends("01ff060008810c");
        QTRY_COMPARE_WITH_TIMEOUT(listed.count(), 3, 10000);
        QCOMPARE(dispatched.count(), 1);
        QCOMPARE(dispatched[0], (QVariantList{quint16(6), QByteArray("\x0c")}));
    }

    void oneDatagramPerCall()
    {
        QSignalSpy spy(client.get(), &Client::signal_REP_VERSION);
        modemSends("01ff01000781");
        modemSends("01ff02000781");
        // Loopback keeps order: once a later datagram has arrived here, both reports wait at the client.
        QUdpSocket marker;
        QVERIFY(marker.bind(QHostAddress(QHostAddress::LocalHost), 0));
        modem->writeDatagram("x", 1, QHostAddress::LocalHost, marker.localPort());
        QVERIFY(marker.waitForReadyRead(10000));
        client->controlRecv();
        QCOMPARE(spy.count(), 1);
        client->controlRecv();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy[1][0].toInt(), 2);
    }

    void ageingAndMarks_data()
    {
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("marked"); // the first of two entries
        QTest::addColumn<bool>("reportsAgain");
        QTest::addColumn<int>("remaining");
        QTest::newRow("4999 ms") << qint64(4999) << false << false << 2;
        QTest::newRow("5000 ms") << qint64(5000) << false << false << 0;
        QTest::newRow("clock stepped back") << qint64(-60000) << false << false << 2;
        QTest::newRow("marked") << qint64(0) << true << false << 1;
        QTest::newRow("marked, then reports again") << qint64(0) << true << true << 2;
    }
    void ageingAndMarks()
    {
        QFETCH(qint64, age);
        QFETCH(bool, marked);
        QFETCH(bool, reportsAgain);
        QFETCH(int, remaining);
        QSignalSpy deleted(client.get(), &Client::signal_DeletedAbonents);
        report("10.0.0.2", 40005);
        report("10.0.0.2", 40006);
        if (marked)
            client->abonentMarkDelete(QHostAddress(QStringLiteral("10.0.0.2")), 40005);
        if (reportsAgain)
            report("10.0.0.2", 40005);
        now += age;
        client->cleanupAbonentList();
        QCOMPARE(client->abonentsCount(), remaining);
        QCOMPARE(deleted.isEmpty() ? 0 : deleted[0][0].value<QList<OpAbonent>>().size(), 2 - remaining);
    }

    void eachAnnouncementFlagsOnlyItsEntry()
    {
        QSignalSpy spy(client.get(), &Client::signal_UpdatedAbonents);
        report("10.0.0.2", 40005);
        report("10.0.0.3", 40005);
        report("::ffff:10.0.0.2", 40005, "\x01\x02"); // the first one again, now with a short report
        report("10.0.0.2", 40006);
        // Each kept list shows the flags as they were at its own announcement.
        const QVector<int> flagged = {0, 1, 0, 2};
        QCOMPARE(spy.count(), flagged.size());
        for (int i = 0; i < spy.count(); ++i) {
            const auto list = spy[i][0].value<QList<OpAbonent>>();
            for (int entry = 0; entry < list.size(); ++entry)
                QCOMPARE(list[entry].updated, quint8(entry == flagged[i]));
        }
        // A short report keeps what it has; the rest of the copy is zero.
        QCOMPARE(spy[2][0].value<QList<OpAbonent>>()[0].status, QByteArray("\x01\x02") + QByteArray(27, '\0'));
    }

    void logHoldsWellSignedFramesOneFilePerEnable()
    {
        const QString name = QStringLiteral("'log-'yyyyMMdd-hhmmss-zzz'.bin'");
        const QStringList names = {QDateTime::fromMSecsSinceEpoch(now).toString(name),
                                   QDateTime::fromMSecsSinceEpoch(now + 1).toString(name)};
        client->logger_enable(true);
        QSignalSpy listed(client.get(), &Client::signal_UpdatedAbonents);
        QVERIFY(send(CMD_GET_REPORT, "0881"));
        const QByteArray status = protocol::buildReport(REP_CONT_STATUS, 42, QByteArray(29, '\x11'));
        modemSends("02ff00000881aa"); // bad signature
        modemSends("01ff2a00");       // cut header
        modemSends(status.toHex());
        QVERIFY(listed.wait(10000));
        client->logger_enable(true); // the same millisecond: the same file, kept
        QVERIFY(send(CMD_SET_TX_MODE));
        const QByteArray txOn = QByteArray::fromHex("01ff0000060100");
        const QByteArray first = logRecord(packetlog::Sent, QByteArray::fromHex("01ff000000000881"))
                                 + logRecord(packetlog::Received, status) + logRecord(packetlog::Sent, txOn);
        ++now;
        client->logger_enable(true);
        QVERIFY(send(CMD_SET_TX_MODE));
        QVERIFY(client->logger_enable(false));
        QVERIFY(send(CMD_SET_TX_MODE));
        QCOMPARE(logFiles(), names);
        QCOMPARE(logFile(0).toHex(), first.toHex());
        QCOMPARE(logFile(1).toHex(), logRecord(packetlog::Sent, txOn).toHex());
    }

    void logFileIsReadableByItsOwnerOnly()
    {
        // Even where the user's umask would let everyone read new files: the log holds secrets.
        const mode_t saved = ::umask(0);
        client->logger_enable(true);
        ::umask(saved);
        QVERIFY(send(CMD_SESSION_SECRET));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(dir->filePath(logFiles().value(0))).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        QVERIFY(logFile(0).size() > packetlog::kRecordHeaderSize);
    }

    void recordSurvivesKilledStation()
    {
        QProcess writer;
        writer.start(QStringLiteral(KILLED_LOG_WRITER), {dir->path()});
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        QCOMPARE(logFile(0).size(), 24);
        QCOMPARE(logFile(0).right(8).toHex(), QByteArray("01ff000000000881"));
    }

    // Tens of thousands of datagrams from a faulty modem: nothing crashes, and the log holds exactly
    // the whole, well-signed frames with their senders.
    void arbitraryDatagramsFollowTheRules()
    {
        QRandomGenerator rng(20240601);
        const QHostAddress senders[] = {QHostAddress(0x0A000002u), QHostAddress(QStringLiteral("::ffff:10.0.0.2")),
                                        QHostAddress(QHostAddress::LocalHostIPv6)};
        client->filter(QStringLiteral("10.0.0.2"), 40005);
        client->logger_enable(true);
        QByteArray expectedLog;
        for (int n = 0; n < 30000; ++n) {
            QByteArray payload(rng.bounded(rng.bounded(12) ? 40 : 1500), '\0');
            for (char& c : payload)
                c = char(rng.generate());
            const quint16 opcode = rng.bounded(5) ? quint16(0x8100 + rng.bounded(16)) : quint16(rng.generate());
            QByteArray datagram = protocol::buildReport(opcode, quint16(n), payload);
            if (rng.bounded(10) == 0)
                datagram.truncate(rng.bounded(1, 7));
            if (rng.bounded(20) == 0)
                datagram[rng.bounded(2)] = char(rng.generate());
            const QHostAddress& sender = senders[rng.bounded(3)];
            const quint16 port = rng.bounded(2) ? 40005 : 40006;
            now += rng.bounded(40);
            client->feed(datagram, sender, port);
            if (protocol::isFrame(datagram))
                expectedLog += logRecord(packetlog::Received, datagram, sender.toIPv4Address(), port);
        }
        QVERIFY(logFile(0) == expectedLog);
    }
};

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
