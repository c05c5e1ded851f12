#include "linktest.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>
#include <memory>

// Client over real loopback sockets: what goes out, what comes in, and who gets told.
class TestClient : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void signalsKeepTheirDeclaredOrder();
    void sendWritesFrameAndTrafficLine_data();
    void sendWritesFrameAndTrafficLine();
    void refusedSendTransmitsNothing_data();
    void refusedSendTransmitsNothing();
    void everyReportReachesItsOwnSignal_data();
    void everyReportReachesItsOwnSignal();
    void dispatchOnlyFromExactFilterSource_data();
    void dispatchOnlyFromExactFilterSource();
    void incomingLineDescribesEveryDatagram_data();
    void incomingLineDescribesEveryDatagram();
    void unknownOpcodeIsReportedForFilterSourceOnly();
    void oneDatagramPerCall();
    void statusReportFromOtherSourceUpdatesListOnly();
    void failedBindLeavesClientUnbound();
    void portIsSharedWithOtherSockets();
    void localAddressIsInNetworkOrder();

private:
    void modemSends(QUdpSocket& from, const QByteArray& datagram);
    QByteArray nextDatagramAtModem();
    QString modemText() const { return QStringLiteral("127.0.0.1:%1").arg(modem->localPort()); }

    std::unique_ptr<DebugCapture> capture;
    std::unique_ptr<ReceivePath> client;
    std::unique_ptr<QUdpSocket> modem;
    std::unique_ptr<QUdpSocket> otherModem;
};

void TestClient::init()
{
    capture = std::make_unique<DebugCapture>();
    client = std::make_unique<ReceivePath>();
    QVERIFY(client->initialize(QHostAddress::LocalHost, 0));
    modem = std::make_unique<QUdpSocket>();
    otherModem = std::make_unique<QUdpSocket>();
    QVERIFY(modem->bind(QHostAddress(QHostAddress::LocalHost), 0));
    QVERIFY(otherModem->bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void TestClient::cleanup()
{
    client.reset();
    modem.reset();
    otherModem.reset();
    capture.reset();
}

void TestClient::modemSends(QUdpSocket& from, const QByteArray& datagram)
{
    QCOMPARE(from.writeDatagram(datagram, QHostAddress::LocalHost, client->getControlLocalPort()),
             qint64(datagram.size()));
}

QByteArray TestClient::nextDatagramAtModem()
{
    if (!modem->hasPendingDatagrams())
        modem->waitForReadyRead(10000);
    return modem->receiveDatagram().data();
}

void TestClient::signalsKeepTheirDeclaredOrder()
{
    QStringList expected = {"signal_UpdatedAbonents", "signal_DeletedAbonents"};
    for (const ReportRoute& route : reportRoutes())
        expected << route.name;
    expected.swapItemsAt(expected.indexOf("signal_REP_UART_CONV_CONFIG"), expected.indexOf("signal_REP_ID_STATISTIC"));

    QStringList declared;
    const QMetaObject& meta = Client::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            declared << QString::fromLatin1(meta.method(i).name());
    }
    QCOMPARE(declared, expected);
}

void TestClient::sendWritesFrameAndTrafficLine_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("line");

    QTest::newRow("report request") << int(CMD_GET_REPORT) << QByteArray::fromHex("0781")
                                    << QByteArray::fromHex("01ff000000000781") << "0000->8107, 8 bytes";
    QTest::newRow("transmitter off") << int(CMD_SET_TX_MODE) << QByteArray::fromHex("01")
                                     << QByteArray::fromHex("01ff0000060101") << "0106, 7 bytes";
    const QByteArray defaults(protocol::kDefaultsRecordSize, '\x5a');
    QTest::newRow("defaults") << int(CMD_DEFAULTS_SET) << defaults
                              << QByteArray::fromHex("01ff00000401") + defaults << "0104, 1162 bytes";
}

void TestClient::sendWritesFrameAndTrafficLine()
{
    QFETCH(int, opcode);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, frame);
    QFETCH(QString, line);

    QVERIFY(client->send(OPCODE(opcode), protocol::payloadFrom(record), QStringLiteral("127.0.0.1"),
                         modem->localPort()));
    QCOMPARE(capture->lines(), QStringList{QStringLiteral("\"[OUT] -> '%1' - %2\"").arg(modemText(), line)});
    QCOMPARE(nextDatagramAtModem(), frame);
}

void TestClient::refusedSendTransmitsNothing_data()
{
    QTest::addColumn<bool>("bound");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("line");

    QTest::newRow("unbound") << false << int(CMD_GET_REPORT) << QByteArray() << "[OP] <X> Socket not initialized";
    QTest::newRow("gap in the table") << true << 0x0109 << QByteArray() << "\"[OUT] -> Unknown opcode 0109\"";
    QTest::newRow("report without length") << true << 0x810F << QByteArray() << "\"[OUT] -> Unknown opcode 810f\"";
    QTest::newRow("secret longer than the payload")
        << true << int(CMD_SESSION_SECRET) << QByteArray::fromHex("ff0f") << "\"[OUT] -> Bad length 4097 for 010d\"";
}

void TestClient::refusedSendTransmitsNothing()
{
    QFETCH(bool, bound);
    QFETCH(int, opcode);
    QFETCH(QByteArray, record);
    QFETCH(QString, line);

    const quint16 port = client->getControlLocalPort();
    if (!bound)
        client->cleanup();
    QVERIFY(!client->send(OPCODE(opcode), protocol::payloadFrom(record), QHostAddress::LocalHost, modem->localPort()));
    QCOMPARE(capture->lines(), QStringList{line});

    // The next frame that does go out must be the first one the modem sees.
    if (!bound)
        QVERIFY(client->initialize(QHostAddress::LocalHost, port));
    OP_PAYLOAD_t txOn;
    QVERIFY(client->send(CMD_SET_TX_MODE, txOn, QHostAddress::LocalHost, modem->localPort()));
    QCOMPARE(nextDatagramAtModem(), QByteArray::fromHex("01ff0000060100"));
}

void TestClient::everyReportReachesItsOwnSignal_data()
{
    QTest::addColumn<int>("route");
    for (int i = 0; i < reportRoutes().size(); ++i)
        QTest::newRow(reportRoutes()[i].name) << i;
}

void TestClient::everyReportReachesItsOwnSignal()
{
    QFETCH(int, route);
    const ReportRoute& expected = reportRoutes()[route];
    client->filter(QStringLiteral("127.0.0.1"), modem->localPort());

    QVector<int> fired;
    for (int i = 0; i < reportRoutes().size(); ++i)
        connect(client.get(), reportRoutes()[i].signal, this, [&fired, i] { fired << i; });
    QSignalSpy spy(client.get(), expected.signal);

    const QByteArray payload = QByteArray::fromHex("0102030405");
    modemSends(*modem, protocol::buildReport(expected.opcode, 0xBEEF, payload));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(fired, QVector<int>{route});
    QCOMPARE(spy[0][0].value<quint16>(), quint16(0xBEEF));
    QCOMPARE(spy[0][1].toByteArray(), payload);
}

void TestClient::dispatchOnlyFromExactFilterSource_data()
{
    QTest::addColumn<bool>("setFilter");
    QTest::addColumn<QString>("filterAddress");
    QTest::addColumn<int>("portOffset"); // added to the modem's port
    QTest::addColumn<bool>("dispatched");

    QTest::newRow("exact source") << true << "127.0.0.1" << 0 << true;
    QTest::newRow("same address, other port") << true << "127.0.0.1" << 1 << false;
    QTest::newRow("other address, same port") << true << "127.0.0.2" << 0 << false;
    QTest::newRow("unparsable address") << true << "modem" << 0 << false;
    QTest::newRow("filter never set") << false << "" << 0 << false;
}

void TestClient::dispatchOnlyFromExactFilterSource()
{
    QFETCH(bool, setFilter);
    QFETCH(QString, filterAddress);
    QFETCH(int, portOffset);
    QFETCH(bool, dispatched);

    if (setFilter)
        client->filter(filterAddress, quint16(modem->localPort() + portOffset));
    QSignalSpy listSpy(client.get(), &Client::signal_UpdatedAbonents);
    QSignalSpy reportSpy(client.get(), &Client::signal_REP_CONT_STATUS);

    modemSends(*modem, statusReport(1));
    QTRY_COMPARE_WITH_TIMEOUT(listSpy.count(), 1, 10000);
    QCOMPARE(reportSpy.count(), dispatched ? 1 : 0);
}

void TestClient::incomingLineDescribesEveryDatagram_data()
{
    QTest::addColumn<bool>("setFilter");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("words"); // %3:%4, %5 bytes of the line
    QTest::addColumn<QString>("after"); // the line that follows, if any

    QTest::newRow("status report, no filter") << false << statusReport(1) << "ff01:8108, 35 bytes" << "";
    QTest::newRow("status report, filter set") << true << statusReport(1) << "ff01:8108, 35 bytes" << "";
    QTest::newRow("bad signature") << true << QByteArray::fromHex("02ff00000881") << "ff02:8108, 6 bytes"
                                   << "Bag signature";
    QTest::newRow("one garbage byte") << true << QByteArray::fromHex("7f") << "007f:0000, 1 bytes" << "Bag signature";
    QTest::newRow("signature only") << true << QByteArray::fromHex("01ff") << "ff01:0000, 2 bytes" << "";
    QTest::newRow("header cut before the opcode's second byte") << true << QByteArray::fromHex("01ff2a0008")
                                                               << "ff01:0008, 5 bytes" << "";
}

void TestClient::incomingLineDescribesEveryDatagram()
{
    QFETCH(bool, setFilter);
    QFETCH(QByteArray, datagram);
    QFETCH(QString, words);
    QFETCH(QString, after);

    if (setFilter)
        client->filter(QStringLiteral("127.0.0.1"), modem->localPort());
    QSignalSpy listSpy(client.get(), &Client::signal_UpdatedAbonents);
    QSignalSpy reportSpy(client.get(), &Client::signal_REP_CONT_STATUS);
    modemSends(*modem, datagram);

    QStringList expected = {QStringLiteral("\"[IN] <- '%1' - %2, filter '%3'\"")
                                .arg(modemText(), words, setFilter ? QStringLiteral("127.0.0.1") : QString())};
    if (!after.isEmpty())
        expected << after;
    QTRY_COMPARE_WITH_TIMEOUT(capture->lines(), expected, 10000);

    // Only a whole, well-signed status report may reach the list or the handlers.
    const bool whole = datagram.size() >= protocol::kHeaderSize && after.isEmpty();
    QTRY_COMPARE_WITH_TIMEOUT(listSpy.count(), whole ? 1 : 0, 10000);
    QCOMPARE(reportSpy.count(), whole && setFilter ? 1 : 0);
    QCOMPARE(client->abonentsCount(), whole ? 1 : 0);
}

void TestClient::unknownOpcodeIsReportedForFilterSourceOnly()
{
    client->filter(QStringLiteral("127.0.0.1"), modem->localPort());
    modemSends(*otherModem, protocol::buildReport(0x0109, 7, QByteArray(3, '\0')));
    modemSends(*modem, protocol::buildReport(0x0109, 7, QByteArray(3, '\0')));

    QTRY_COMPARE_WITH_TIMEOUT(capture->lines().size(), 3, 10000);
    QVERIFY(capture->lines()[0].contains(QStringLiteral("ff01:0109, 9 bytes")));
    QVERIFY(capture->lines()[1].contains(QStringLiteral("ff01:0109, 9 bytes")));
    QCOMPARE(capture->lines()[2], QStringLiteral("\"[IN] <- Unknown 0109, 7 from %1\"").arg(modemText()));
}

void TestClient::oneDatagramPerCall()
{
    client->filter(QStringLiteral("127.0.0.1"), modem->localPort());
    QSignalSpy spy(client.get(), &Client::signal_REP_VERSION);
    modemSends(*modem, protocol::buildReport(REP_VERSION, 1, QByteArray(12, '\0')));
    modemSends(*modem, protocol::buildReport(REP_VERSION, 2, QByteArray(12, '\0')));

    // Loopback keeps order: once a later datagram has arrived here, both reports wait at the client.
    QUdpSocket marker;
    QVERIFY(marker.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QVERIFY(modem->writeDatagram(QByteArray("x"), QHostAddress::LocalHost, marker.localPort()) == 1);
    QVERIFY(marker.waitForReadyRead(10000));

    // However many datagrams wait, a call takes one; the loops only ride out a slow delivery.
    QDeadlineTimer deadline(10000);
    while (spy.count() == 0 && !deadline.hasExpired())
        client->controlRecv();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].value<quint16>(), quint16(1));
    while (spy.count() == 1 && !deadline.hasExpired())
        client->controlRecv();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy[1][0].value<quint16>(), quint16(2));
}

void TestClient::statusReportFromOtherSourceUpdatesListOnly()
{
    client->filter(QStringLiteral("127.0.0.1"), modem->localPort());
    QStringList events;
    connect(client.get(), &Client::signal_UpdatedAbonents, this,
            [&events](const QList<OpAbonent>& list) { events << QStringLiteral("list %1").arg(list.size()); });
    connect(client.get(), &Client::signal_REP_CONT_STATUS, this,
            [&events](quint16 seqnum, const QByteArray& rep) { events << QStringLiteral("report %1 %2").arg(seqnum).arg(rep.size()); });

    modemSends(*otherModem, statusReport(5));
    QTRY_COMPARE_WITH_TIMEOUT(events, QStringList{"list 1"}, 10000);
    modemSends(*modem, statusReport(6));
    QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{"list 1", "list 2", "report 6 29"}), 10000);
}

void TestClient::failedBindLeavesClientUnbound()
{
    QUdpSocket exclusive;
    QVERIFY(exclusive.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress));

    QVERIFY(!client->initialize(QHostAddress::LocalHost, exclusive.localPort()));
    QCOMPARE(client->getControlLocalPort(), quint16(0));
    QCOMPARE(client->getLocalAddress(), quint32(0));
    QVERIFY(!client->send(CMD_GET_REPORT, OP_PAYLOAD_t(), QHostAddress::LocalHost, modem->localPort()));
    QCOMPARE(capture->lines(), QStringList{"[OP] <X> Socket not initialized"});
}

void TestClient::portIsSharedWithOtherSockets()
{
    Client second;
    QVERIFY(second.initialize(QHostAddress::LocalHost, client->getControlLocalPort()));
    QCOMPARE(second.getControlLocalPort(), client->getControlLocalPort());
}

void TestClient::localAddressIsInNetworkOrder()
{
    const quint32 address = client->getLocalAddress();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&address), 4), QByteArray::fromHex("7f000001"));

    QVERIFY(client->initialize(QHostAddress::AnyIPv4, 0));
    QCOMPARE(client->getLocalAddress(), quint32(0));
    QVERIFY(client->getControlLocalPort() != 0);
}

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
