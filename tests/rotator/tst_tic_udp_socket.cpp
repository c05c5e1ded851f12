#include "tic_udp_socket.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QtTest>

// The controller link's bytes on the wire, and how it takes or refuses an answer.
class TestTicUdpSocket : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandDatagrams_data();
    void commandDatagrams();
    void segmentAnswer_data();
    void segmentAnswer();
    void nothingSentWhileNotConnected();

private:
    QList<QByteArray> receive(int count);

    QUdpSocket* peer = nullptr;
    TicUdpSocket* tic = nullptr;
};

void TestTicUdpSocket::init()
{
    peer = new QUdpSocket;
    QVERIFY(peer->bind(QHostAddress(QHostAddress::LocalHost), 0));
    tic = new TicUdpSocket;
    QVERIFY(tic->bind(QHostAddress(QHostAddress::LocalHost), 0));
    tic->connectToHost(QHostAddress::LocalHost, peer->localPort(), QIODevice::ReadWrite);
    QCOMPARE(tic->state(), QAbstractSocket::ConnectedState);
}

void TestTicUdpSocket::cleanup()
{
    delete tic;
    delete peer;
}

QList<QByteArray> TestTicUdpSocket::receive(int count)
{
    QList<QByteArray> datagrams;
    while (datagrams.size() < count && (peer->hasPendingDatagrams() || peer->waitForReadyRead(2000)))
        datagrams << peer->receiveDatagram().data();
    return datagrams;
}

void TestTicUdpSocket::commandDatagrams_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<qint64>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QStringList>("datagrams");

    QTest::newRow("quick") << "quick" << 0x83 << qint64(0) << 0 << QStringList{"83"};
    QTest::newRow("7 bits keep the low seven") << "7" << 0x90 << qint64(0xFF) << 0 << QStringList{"90", "7f"};
    QTest::newRow("32 bits of -1") << "32" << 0xE0 << qint64(-1) << 0
                                   << QStringList{"e0", "0f", "7f", "7f", "7f", "7f"};
    QTest::newRow("32 bits of 200") << "32" << 0xE0 << qint64(200) << 0
                                    << QStringList{"e0", "01", "48", "00", "00", "00"};
    QTest::newRow("32 bits of -2500") << "32" << 0xE0 << qint64(-2500) << 0
                                      << QStringList{"e0", "0e", "3c", "76", "7f", "7f"};
    QTest::newRow("32 bits of the lowest") << "32" << 0xEC << qint64(INT32_MIN) << 0
                                           << QStringList{"ec", "08", "00", "00", "00", "00"};
    QTest::newRow("32 bits of the highest") << "32" << 0xEC << qint64(INT32_MAX) << 0
                                            << QStringList{"ec", "07", "7f", "7f", "7f", "7f"};
    QTest::newRow("position read") << "segment" << 0xA1 << qint64(0x22) << 4 << QStringList{"a12204"};
    QTest::newRow("high offset and long length") << "segment" << 0xA1 << qint64(0xC5) << 0x7F
                                                 << QStringList{"a1457f"};
}

void TestTicUdpSocket::commandDatagrams()
{
    QFETCH(QString, operation);
    QFETCH(int, cmd);
    QFETCH(qint64, a);
    QFETCH(int, b);
    QFETCH(QStringList, datagrams);

    uint8_t buffer[128] = {};
    if (operation == "quick")
        tic->command_quick(uint8_t(cmd));
    else if (operation == "7")
        tic->command_7(uint8_t(cmd), uint8_t(a));
    else if (operation == "32")
        tic->command_32(uint8_t(cmd), int32_t(a));
    else
        tic->get_segment(uint8_t(cmd), uint8_t(a), uint8_t(b), buffer);

    QStringList sent;
    for (const QByteArray& datagram : receive(datagrams.size()))
        sent << QString::fromLatin1(datagram.toHex());
    QCOMPARE(sent, datagrams);
    QVERIFY(!peer->hasPendingDatagrams());
}

void TestTicUdpSocket::segmentAnswer_data()
{
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("error");
    QTest::addColumn<QByteArray>("position");

    const QByteArray zero(4, '\0');
    QTest::newRow("exact") << true << QByteArray::fromHex("3cf6ffff") << 0 << QByteArray::fromHex("3cf6ffff");
    QTest::newRow("longer is cut") << true << QByteArray::fromHex("0102030405060708") << 0
                                   << QByteArray::fromHex("01020304");
    QTest::newRow("shorter is refused") << true << QByteArray::fromHex("010203") << 50 << zero;
    QTest::newRow("empty is refused") << true << QByteArray() << 50 << zero;
    QTest::newRow("silence") << false << QByteArray() << 50 << zero;
}

void TestTicUdpSocket::segmentAnswer()
{
    QFETCH(bool, answers);
    QFETCH(QByteArray, answer);
    QFETCH(int, error);
    QFETCH(QByteArray, position);

    if (answers)  // queued before the read: the link only has to find it
        QCOMPARE(peer->writeDatagram(answer, QHostAddress::LocalHost, tic->localPort()), qint64(answer.size()));

    uint8_t buffer[5];
    memset(buffer, 0xAA, sizeof buffer);
    QElapsedTimer clock;
    clock.start();
    tic->get_segment(0xA1, 0x22, 4, buffer);
    const qint64 waited = clock.elapsed();

    QCOMPARE(int(tic->last_error), error);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 4), position);
    QCOMPARE(buffer[4], uint8_t(0xAA));
    if (!answers)
        QVERIFY2(waited >= 250, qPrintable(QString::number(waited)));
    QCOMPARE(receive(1), QList<QByteArray>{QByteArray::fromHex("a12204")});
}

void TestTicUdpSocket::nothingSentWhileNotConnected()
{
    TicUdpSocket idle;
    QVERIFY(idle.bind(QHostAddress(QHostAddress::LocalHost), 0));
    idle.command_32(0xE0, 1250);
    uint8_t buffer[4] = {1, 2, 3, 4};
    idle.get_segment(0xA1, 0x22, 4, buffer);
    QCOMPARE(int(idle.last_error), 50);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 4), QByteArray(4, '\0'));

    // The first thing the peer hears is what was sent after connecting.
    idle.connectToHost(QHostAddress::LocalHost, peer->localPort(), QIODevice::ReadWrite);
    idle.command_quick(0x8C);
    QCOMPARE(receive(1), QList<QByteArray>{QByteArray::fromHex("8c")});
}

QTEST_GUILESS_MAIN(TestTicUdpSocket)
#include "tst_tic_udp_socket.moc"
